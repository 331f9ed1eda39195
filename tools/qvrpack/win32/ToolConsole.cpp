#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "ToolConsole.h"
#include "platform/win32/Win32Paths.h"
#include "platform/win32/WinText.h"

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

// The ANSI argv would have lost every character outside the system's code page.
std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) args.push_back(WideToUtf8(wide[i]));
  LocalFree(wide);
  return args;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::string full = win32::FullPath(path);
  return full.empty() ? path : full;
}

}  // namespace qvr::tool
