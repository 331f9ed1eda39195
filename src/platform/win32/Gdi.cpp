#include "platform/win32/Gdi.h"

#include <string>

#include "platform/win32/WinText.h"

namespace qvr::gdi {

COLORREF ColorRef(TColor color) {
  if (IsSystemColor(color)) return GetSysColor(static_cast<int>(color & 0xFF)) & 0x00FFFFFF;
  return static_cast<COLORREF>(color & 0x00FFFFFF);
}

UniqueFont CreatePixelFont(std::string_view name, int height, bool bold) {
  const std::wstring face = Utf8ToWide(name);
  return UniqueFont(CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

}  // namespace qvr::gdi
