#include <iostream>
#include <string>
#include <vector>

#include "QvrPackTool.h"
#include "ToolConsole.h"

int main(int argc, char** argv) {
  qvr::tool::PrepareConsole();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return qvr::tool::RunQvrPack(args, qvr::SystemFileSystem(), std::cout, std::cerr,
                               qvr::tool::StderrIsTerminal());
}
