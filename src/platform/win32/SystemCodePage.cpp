// Code pages other than 1252 as Windows converts them.
#include <windows.h>

#include "platform/Text.h"

namespace qvr {

bool LoadSystemCodePage(unsigned number, CodePage::UpperHalf& upper) {
  // 0 to 3 and 42 name no code page but the system's current ones or the symbol font's.
  CPINFO info{};
  if (number <= CP_THREAD_ACP || number == CP_SYMBOL || number == CP_UTF7 || number == CP_UTF8 ||
      !::GetCPInfo(number, &info) || info.MaxCharSize != 1) {
    return false;
  }
  for (unsigned byte = 0; byte < 256; ++byte) {
    const char in = static_cast<char>(byte);
    wchar_t out[2] = {};
    // Windows itself reads an undefined byte as its C1 control.
    if (::MultiByteToWideChar(number, 0, &in, 1, out, 2) != 1) return false;
    if (byte < 0x80 && out[0] != byte) return false;
    if (byte >= 0x80) upper[byte - 0x80] = out[0];
  }
  return true;
}

}  // namespace qvr
