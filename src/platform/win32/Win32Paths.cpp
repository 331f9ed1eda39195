#include "platform/win32/Win32Paths.h"

#include "platform/win32/WinText.h"

namespace qvr::win32 {
namespace {

// A path the system writes into a buffer: `call(buffer, size)` answers its length, or
// the size it needs when the buffer is too small. Empty when the system gives none.
template <typename Call>
std::wstring SystemPath(Call call) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = call(path.data(), static_cast<DWORD>(path.size()));
  if (length >= path.size()) {
    path.resize(length);
    length = call(path.data(), length);
  }
  path.resize(length < path.size() ? length : 0);
  return path;
}

}  // namespace

std::string FullPath(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  return WideToUtf8(SystemPath([&wide](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
  }));
}

std::wstring LongPath(const std::wstring& path) {
  return SystemPath([&path](wchar_t* buffer, DWORD size) {
    return ::GetLongPathNameW(path.c_str(), buffer, size);
  });
}

std::wstring FinalPath(HANDLE handle) {
  return SystemPath([handle](wchar_t* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleW(handle, buffer, size, 0);
  });
}

bool SamePath(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace qvr::win32
