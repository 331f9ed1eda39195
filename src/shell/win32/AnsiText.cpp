#include "shell/win32/AnsiText.h"

#include <windows.h>

namespace qvr {

namespace {

std::string FromWide(UINT codePage, const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size, nullptr, nullptr);
  }
  return result;
}

}  // namespace

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
  }
  return result;
}

std::string WideToAnsi(const std::wstring& text) {
  return FromWide(CP_ACP, text);
}

std::string WideToUtf8(const std::wstring& text) {
  return FromWide(CP_UTF8, text);
}

}  // namespace qvr
