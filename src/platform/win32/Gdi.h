// GDI for the Win32 framework and the gauge's GDI canvas alike: the one resolver of
// colours and the one creation of fonts.
#pragma once

#include <windows.h>

#include "base/Colors.h"
#include "base/Font.h"
#include "platform/win32/GdiHandles.h"

namespace qvr::gdi {

// The RGB value of a colour; system colours come from GetSysColor.
COLORREF ColorRef(TColor color);

// A font by its UTF-8 face name, pixel height and weight, as a form's design gives it
// (its colour is for the text drawn with it); null when the system cannot create it.
UniqueFont CreatePixelFont(const TFont& font);

}  // namespace qvr::gdi
