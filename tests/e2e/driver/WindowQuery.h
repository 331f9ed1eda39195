// Looking at another process's windows from inside the same Wine prefix: top-level
// windows by caption, their child controls by class and text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/WinText.h"

namespace qvr::e2e {

struct WindowInfo {
  HWND handle = nullptr;
  std::wstring className;
  std::wstring text;
  RECT rect{};
  bool visible = false;
  bool enabled = false;
};

WindowInfo Describe(HWND window);

// Every top-level window of the desktop, visible or not, in z-order.
std::vector<WindowInfo> TopLevelWindows();

// The first visible top-level window whose caption is exactly `caption`, or null.
HWND FindVisibleTopLevel(const std::wstring& caption);

// Every descendant of `parent` (children, grandchildren, ...), in the order the
// system enumerates them, which follows the z-order of each level.
std::vector<WindowInfo> Descendants(HWND parent);

// A visible BUTTON descendant whose text is `text`; also matches when the text
// differs only by the mnemonic ampersands, so "&Ja" and "Ja" both find "&Ja".
HWND FindButton(HWND parent, const std::wstring& text);

}  // namespace qvr::e2e
