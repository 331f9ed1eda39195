#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qvr::test {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char kDelimiter = '\\';
#else
constexpr char kDelimiter = '/';
#endif

// Tests leave read-only files and folders without access rights behind; the
// removal needs them writable and listable first.
void MakeRemovable(const fs::path& folder) {
  std::error_code ec;
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ec);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    if (fs::is_directory(status)) {
      MakeRemovable(it->path());
    } else if (fs::is_regular_file(status)) {
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
  }
}

#ifdef _WIN32
// The POSIX name of a Windows path when running under Wine, else "".
std::string UnixName(const std::string& path) {
  using Convert = char*(__cdecl*)(const wchar_t*);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  const std::wstring wide = PathOf(path).wstring();
  char* name = convert(wide.c_str());
  if (name == nullptr) return {};
  std::string result = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// Runs a POSIX shell command under Wine and waits until it has run. Wine starts POSIX
// programs but gives a Windows program no handle to wait for, so the command leaves a
// marker file behind when it is done.
void RunPosixShell(const std::string& command) {
  static int runs = 0;
  const fs::path marker =
      fs::temp_directory_path() /
      ("qvr-posix-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++runs));
  std::string commandLine = "/bin/sh -c \"" + command + "; : >'" + UnixName(Utf8Of(marker)) + "'\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA("Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    throw std::runtime_error("cannot run " + command);
  }
  for (int i = 0; i < 3000 && !fs::exists(marker); ++i) ::Sleep(10);
  std::error_code ec;
  if (!fs::remove(marker, ec)) throw std::runtime_error("did not run: " + command);
}
#endif

}  // namespace

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / ("qvr-test-" + std::to_string(random() % 1000000000000ULL));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = Utf8Of(candidate);
      if (path_.back() != '/' && path_.back() != '\\') path_ += kDelimiter;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder in " + base.string());
}

TempDir::~TempDir() {
#ifdef _WIN32
  // Wine takes a POSIX link for what it leads to and would delete the target; the
  // POSIX side removes the links themselves.
  if (const std::string posixName = UnixName(path_); !posixName.empty()) {
    RunPosixShell("rm -rf '" + posixName + "'");
    return;
  }
#endif
  const fs::path folder = PathOf(path_);
  MakeRemovable(folder);
  std::error_code ec;
  fs::remove_all(folder, ec);
}

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

void WriteFile(const std::string& path, std::string_view bytes) {
  const fs::path parent = PathOf(path).parent_path();
  if (!parent.empty()) MakeDirs(Utf8Of(parent));
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MakeSymlink(const std::string& target, const std::string& link) {
#ifdef _WIN32
  const std::string posixTarget = UnixName(target);
  const std::string posixLink = UnixName(link);
  if (!posixTarget.empty() && !posixLink.empty()) {
    RunPosixShell("ln -s '" + posixTarget + "' '" + posixLink + "'");
    return;
  }
#endif
  std::error_code ec;
  fs::create_symlink(PathOf(target), PathOf(link), ec);
  if (ec) throw std::runtime_error("cannot create a link at " + link + ": " + ec.message());
}

void MakeDirs(const std::string& path) {
  std::error_code ec;
  fs::create_directories(PathOf(path), ec);
  if (ec || !fs::is_directory(PathOf(path))) {
    throw std::runtime_error("cannot create folder " + path + ": " + ec.message());
  }
}

}  // namespace qvr::test
