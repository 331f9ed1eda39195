#include "platform/win32/SystemErrors.h"

#include <windows.h>

#include "platform/SystemMessage.h"
#include "platform/win32/WinText.h"

namespace qvr {

std::string SystemMessage(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text =
      length > 0 && buffer != nullptr ? WideToUtf8(std::wstring(buffer, length)) : "";
  LocalFree(buffer);
  return text;
}

std::string SystemErrorText(std::uint32_t code) {
  std::string text = TrimSystemMessage(SystemMessage(code));
  if (text.empty()) text = "Windows error " + std::to_string(code);
  return text;
}

}  // namespace qvr
