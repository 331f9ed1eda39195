#include "WindowQuery.h"

#include <algorithm>
#include <cwctype>

namespace qvr::e2e {

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t buffer[256] = {};
  int length = GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
  return std::wstring(buffer, std::max(length, 0));
}

// WM_GETTEXT is marshalled across processes, and the timeout keeps a busy target
// from blocking the driver; the stored window text is the fallback.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length) &&
      length > 0) {
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, 2000, &copied)) {
      text.resize(std::min<size_t>(copied, length));
      return text;
    }
  }
  int stored = GetWindowTextLengthW(window);
  if (stored <= 0) return {};
  std::wstring text(static_cast<size_t>(stored) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), stored + 1);
  text.resize(std::max(copied, 0));
  return text;
}

std::wstring WithoutAmpersands(const std::wstring& text) {
  std::wstring plain;
  for (wchar_t c : text) {
    if (c != L'&') plain += c;
  }
  return plain;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

}  // namespace

WindowInfo Describe(HWND window) {
  WindowInfo info;
  info.handle = window;
  info.className = ClassOf(window);
  info.text = TextOf(window);
  GetWindowRect(window, &info.rect);
  info.visible = IsWindowVisible(window) != FALSE;
  info.enabled = IsWindowEnabled(window) != FALSE;
  return info;
}

std::vector<WindowInfo> TopLevelWindows() {
  std::vector<HWND> handles;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&handles));
  std::vector<WindowInfo> windows;
  for (HWND handle : handles) windows.push_back(Describe(handle));
  return windows;
}

HWND FindVisibleTopLevel(const std::wstring& caption) {
  std::vector<HWND> handles;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&handles));
  for (HWND handle : handles) {
    if (!IsWindowVisible(handle)) continue;
    int length = GetWindowTextLengthW(handle);
    if (length != static_cast<int>(caption.size())) continue;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(std::max(GetWindowTextW(handle, text.data(), length + 1), 0));
    if (text == caption) return handle;
  }
  return nullptr;
}

std::vector<WindowInfo> Descendants(HWND parent) {
  std::vector<HWND> handles;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&handles));
  std::vector<WindowInfo> children;
  for (HWND handle : handles) children.push_back(Describe(handle));
  return children;
}

HWND FindButton(HWND parent, const std::wstring& text) {
  auto isButton = [](const WindowInfo& child) {
    return child.visible && _wcsicmp(child.className.c_str(), L"Button") == 0;
  };
  std::vector<WindowInfo> children = Descendants(parent);
  for (const WindowInfo& child : children) {
    if (isButton(child) && child.text == text) return child.handle;
  }
  for (const WindowInfo& child : children) {
    if (isButton(child) && WithoutAmpersands(child.text) == WithoutAmpersands(text)) {
      return child.handle;
    }
  }
  return nullptr;
}

}  // namespace qvr::e2e
