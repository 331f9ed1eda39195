#include <windows.h>

#include <vector>

#include "ToolConsole.h"

namespace qvr::tool {
namespace {

// Switches the console to UTF-8 output and back when the process ends.
class ConsoleCodePage {
 public:
  ConsoleCodePage() : previous_(GetConsoleOutputCP()) {
    if (previous_ != 0) SetConsoleOutputCP(CP_UTF8);
  }
  ~ConsoleCodePage() {
    if (previous_ != 0) SetConsoleOutputCP(previous_);
  }
  ConsoleCodePage(const ConsoleCodePage&) = delete;
  ConsoleCodePage& operator=(const ConsoleCodePage&) = delete;

 private:
  UINT previous_;
};

}  // namespace

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void PrepareConsole() {
  static ConsoleCodePage codePage;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::vector<char> full(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) return std::string(full.data(), length);
    full.resize(length + 1);
  }
}

}  // namespace qvr::tool
