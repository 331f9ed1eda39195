// Display densities for the Win32 windows. The program is per-monitor aware where
// Windows knows it (manifest); the calls that came with that awareness are looked
// up at run time, and older Windows gets the system density instead.
#pragma once

#include <windows.h>

namespace qvr {

// The pixels per inch of the display a window is on; the system's where Windows
// has no density per window. Null: the system's.
int WindowDpi(HWND window);

// The outer size of a window with this client size, style and density.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

// The font of message boxes at a density.
LOGFONTW MessageLogFont(int dpi);

}  // namespace qvr
