#include "platform/win32/Win32OpenFile.h"

#include "platform/win32/FileErrors.h"

namespace qvr::win32 {

Result<std::uint32_t> Win32OpenFile::Read(void* buffer, std::uint32_t count) {
  DWORD done = 0;
  if (!::ReadFile(handle_.Get(), buffer, count, &done, nullptr)) return LastErrorOf("read", path_);
  return static_cast<std::uint32_t>(done);
}

Result<void> Win32OpenFile::Write(const void* buffer, std::uint32_t count) {
  DWORD done = 0;
  if (!::WriteFile(handle_.Get(), buffer, count, &done, nullptr))
    return LastErrorOf("write", path_);
  // A synchronous write to a file writes all of it or fails.
  if (done != count) return ErrorOf("write", path_, ERROR_WRITE_FAULT);
  return {};
}

Result<void> Win32OpenFile::Seek(std::uint64_t offset) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(handle_.Get(), position, nullptr, FILE_BEGIN)) {
    return LastErrorOf("seek in", path_);
  }
  return {};
}

Result<std::uint64_t> Win32OpenFile::Size() {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(handle_.Get(), &size)) return LastErrorOf("read the size of", path_);
  return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace qvr::win32
