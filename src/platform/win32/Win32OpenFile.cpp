#include "platform/win32/Win32OpenFile.h"

#include "platform/win32/FileErrors.h"

namespace qvr {

bool Win32OpenFile::Read(void* buffer, std::uint32_t count, std::uint32_t& got) {
  DWORD done = 0;
  const BOOL ok = ::ReadFile(handle_.Get(), buffer, count, &done, nullptr);
  got = done;
  if (!ok) RememberLastError();
  return ok != FALSE;
}

bool Win32OpenFile::Write(const void* buffer, std::uint32_t count, std::uint32_t& written) {
  DWORD done = 0;
  const BOOL ok = ::WriteFile(handle_.Get(), buffer, count, &done, nullptr);
  written = done;
  if (!ok) RememberLastError();
  return ok != FALSE;
}

bool Win32OpenFile::Size(std::uint64_t& size) {
  LARGE_INTEGER value;
  if (!::GetFileSizeEx(handle_.Get(), &value)) {
    RememberLastError();
    return false;
  }
  size = static_cast<std::uint64_t>(value.QuadPart);
  return true;
}

}  // namespace qvr
