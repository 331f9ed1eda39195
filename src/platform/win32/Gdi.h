// GDI for the Win32 framework and the gauge's GDI canvas alike: the one resolver of
// colours and the one creation of fonts.
#pragma once

#include <windows.h>

#include <string_view>

#include "base/Colors.h"
#include "platform/win32/GdiHandles.h"

namespace qvr::gdi {

// The RGB value of a colour; system colours come from GetSysColor.
COLORREF ColorRef(TColor color);

// A font by its UTF-8 face name and pixel height (negative: the character height), as
// a form's design gives it; null when the system cannot create it.
UniqueFont CreatePixelFont(std::string_view name, int height, bool bold);

}  // namespace qvr::gdi
