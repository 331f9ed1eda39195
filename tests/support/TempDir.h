// Scratch folders and small file helpers for tests.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qvr::test {

// A fresh, uniquely named folder under the system's temporary folder. It is
// created on construction and removed with everything in it on destruction,
// also when tests left read-only files or unreadable folders in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, ending with the platform's delimiter ('/' or '\\'), so that a
  // name can be appended directly: dir.Path() + "file.bin".
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Paths are UTF-8, as everywhere in the program; these convert for std::filesystem,
// whose narrow strings are the ANSI code page on Windows.
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// Writes `bytes` to the file at `path`, replacing it; creates missing parent
// folders. Throws std::runtime_error when the file cannot be written.
void WriteFile(const std::string& path, std::string_view bytes);
// The whole content of the file at `path`. Throws std::runtime_error when it
// cannot be read.
std::string ReadFile(const std::string& path);
// Creates the folder `path` and every missing parent (a trailing delimiter is
// allowed). Throws std::runtime_error on failure.
void MakeDirs(const std::string& path);
// Creates a symbolic link at `link` leading to `target`, as a user could plant one.
// Under Wine, where a Windows program cannot create one, it is made on the POSIX side.
// Throws std::runtime_error where no link can be made.
void MakeSymlink(const std::string& target, const std::string& link);

}  // namespace qvr::test
