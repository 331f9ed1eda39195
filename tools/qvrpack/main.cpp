#include <iostream>
#include <string>
#include <vector>

#include "QvrPackTool.h"
#include "ToolConsole.h"

int main(int argc, char** argv) {
  qvr::tool::PrepareConsole();
  const std::vector<std::string> args = qvr::tool::Arguments(argc, argv);
  return qvr::tool::RunQvrPack(args, qvr::SystemFileSystem(), std::cout, std::cerr,
                               qvr::tool::StderrIsTerminal());
}
