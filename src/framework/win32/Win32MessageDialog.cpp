#include "framework/win32/Win32MessageDialog.h"

#include <algorithm>
#include <string>

#include "framework/win32/Win32Common.h"
#include "framework/win32/WinHandles.h"
#include "platform/win32/GdiHandles.h"
#include "platform/win32/WinText.h"

namespace qvr {
namespace {

constexpr wchar_t kDialogClass[] = L"QvrMessageDialog";
constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 6;
constexpr int kIconSize = 32;

struct DialogState {
  TModalResult result = mrNone;
  int defaultId = 0;
};

LPCWSTR SystemIcon(DialogIcon icon) {
  switch (icon) {
    case DialogIcon::Warning:
      return MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(IDI_WARNING));
    case DialogIcon::Error:
      return MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(IDI_ERROR));
    case DialogIcon::Information:
      return MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(IDI_INFORMATION));
    case DialogIcon::Question:
      return MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(IDI_QUESTION));
    case DialogIcon::None:
      break;
  }
  return nullptr;
}

// The window that carries the program's taskbar button: an owned box has none.
void FlashTaskbarButton(HWND box, DWORD flags) {
  FLASHWINFO flash{sizeof flash, GetAncestor(box, GA_ROOTOWNER), flags, 0, 0};
  FlashWindowEx(&flash);
}

// A box raised while another program is active comes to the front; where the
// system refuses the focus, the taskbar button flashes until the user comes back.
void BringToFront(HWND box) {
  if (SetForegroundWindow(box) && GetForegroundWindow() == box) return;
  FlashTaskbarButton(box, FLASHW_ALL | FLASHW_TIMER);
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (state != nullptr) {
    switch (message) {
      case WM_COMMAND:
        // From a button, or IDCANCEL for Escape and the default button's ID for Enter.
        if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
          const int id = LOWORD(wParam);
          if (id == IDYES || id == IDNO || id == IDOK || id == IDCANCEL) state->result = id;
        }
        return 0;
      case DM_GETDEFID:
        return MAKELRESULT(state->defaultId, DC_HASDEFID);
      case WM_CLOSE:
        state->result = mrCancel;
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) FlashTaskbarButton(window, FLASHW_STOP);
        break;
      case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

gdi::UniqueFont MessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    return gdi::UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
  }
  return MakeFont(TFont{});
}

SIZE MeasureText(HFONT font, const std::wstring& text) {
  WindowDc dc(nullptr);
  gdi::ScopedSelection selected(dc.Get(), font);
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN) * 2 / 3, 0};
  DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

void RegisterMessageDialogClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DialogProc;
  wc.hInstance = ProgramInstance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kDialogClass;
  RegisterClassExW(&wc);
}

TModalResult ShowWin32MessageDialog(const MessageDialogRequest& request) {
  DialogState state;
  const gdi::UniqueFont font = MessageFont();
  const std::wstring text = WindowText(request.text);
  const SIZE textSize = MeasureText(font.Get(), text);
  const LPCWSTR iconName = SystemIcon(request.icon);

  const int buttonCount = static_cast<int>(request.buttons.size());
  const int buttonsWidth = buttonCount * kButtonWidth + std::max(0, buttonCount - 1) * kButtonGap;
  const int textLeft = kMargin + (iconName != nullptr ? kIconSize + kMargin : 0);
  const int contentHeight = std::max<int>(textSize.cy, iconName != nullptr ? kIconSize : 0);
  const int clientWidth =
      std::max<int>(textLeft + textSize.cx + kMargin, buttonsWidth + 2 * kMargin);
  const int clientHeight = kMargin + contentHeight + kMargin + kButtonHeight + kMargin;

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
  const DWORD ex = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&outer, style, FALSE, ex);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  // Owned by the asking form, not by whichever window is active: while another
  // program is active this thread has no active window at all.
  HWND owner =
      request.owner != nullptr ? static_cast<HWND>(request.owner->WindowHandle()) : nullptr;
  UniqueWindow dialog(CreateWindowExW(ex, kDialogClass, Utf8ToWide(request.caption).c_str(), style,
                                      left, top, width, height, owner, nullptr, ProgramInstance(),
                                      &state));
  if (!dialog) return mrCancel;
  HWND d = dialog.Get();

  if (iconName != nullptr) {
    HWND icon =
        CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON, kMargin, kMargin,
                        kIconSize, kIconSize, d, nullptr, ProgramInstance(), nullptr);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, iconName)), 0);
  }
  const int textTop = kMargin + (contentHeight - textSize.cy) / 2;
  HWND label = CreateWindowExW(0, L"STATIC", text.c_str(),
                               WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, textLeft, textTop,
                               textSize.cx, textSize.cy, d, nullptr, ProgramInstance(), nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);

  HWND firstButton = nullptr;
  int x = (clientWidth - buttonsWidth) / 2;
  const int y = clientHeight - kMargin - kButtonHeight;
  for (TMsgDlgBtn b : request.buttons) {
    const int id = ButtonResult(b);
    const DWORD kind = firstButton == nullptr ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    HWND button = CreateWindowExW(
        0, L"BUTTON", Utf8ToWide(ButtonText(b)).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind,
        x, y, kButtonWidth, kButtonHeight, d, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        ProgramInstance(), nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    if (firstButton == nullptr) {
      firstButton = button;
      state.defaultId = id;
    }
    x += kButtonWidth + kButtonGap;
  }

  {
    ModalOwnerLock lock(d);
    ShowWindow(d, SW_SHOW);
    BringToFront(d);
    if (firstButton != nullptr) SetFocus(firstButton);
    MSG msg;
    while (state.result == mrNone) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        // The application is ending: hand the quit on to the outer loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
        state.result = mrCancel;
        break;
      }
      if (got == -1) {
        state.result = mrCancel;
        break;
      }
      if (!IsDialogMessageW(d, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
  // Answered without ever being activated (by a tool, say): the flashing ends too.
  FlashTaskbarButton(d, FLASHW_STOP);
  return state.result;
}

}  // namespace qvr
