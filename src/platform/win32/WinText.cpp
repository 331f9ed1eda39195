#include "platform/win32/WinText.h"

#include <windows.h>

namespace qvr {
namespace {

// Invalid input is not an error here: the system substitutes replacement
// characters, which is what a message box should show rather than nothing.
std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring result(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), length, result.data(), needed);
  return result;
}

std::string FromWide(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed =
      ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string result(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
  return result;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
  return ToWide(CP_UTF8, text);
}
std::string WideToUtf8(std::wstring_view text) {
  return FromWide(CP_UTF8, text);
}
std::wstring AnsiToWide(std::string_view text) {
  return ToWide(CP_ACP, text);
}
std::string WideToAnsi(std::wstring_view text) {
  return FromWide(CP_ACP, text);
}

}  // namespace qvr
