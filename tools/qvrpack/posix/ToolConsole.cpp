#include "ToolConsole.h"

#include <unistd.h>

#include <vector>

namespace qvr::tool {

bool StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

// Terminals here take UTF-8 as it is.
void PrepareConsole() {}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::string full = path;
  if (path.front() != '/') {
    std::vector<char> cwd(4096);
    while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
      if (cwd.size() > (1u << 20)) return path;
      cwd.resize(cwd.size() * 2);
    }
    full = std::string(cwd.data()) + "/" + path;
  }
  // Lexical clean-up; symbolic links stay as the user named them.
  std::vector<std::string> parts;
  std::size_t start = 1;
  while (start <= full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  // A trailing delimiter stays, as on Windows: it tells that the path names a folder.
  if (!result.empty() && path.back() == '/') result.push_back('/');
  return result.empty() ? "/" : result;
}

}  // namespace qvr::tool
