#include "framework/win32/Win32MessageDialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "framework/win32/Win32Accessible.h"
#include "framework/win32/Win32Common.h"
#include "framework/win32/Win32Dpi.h"
#include "framework/win32/WinHandles.h"
#include "platform/win32/GdiHandles.h"
#include "platform/win32/WinText.h"

namespace qvr {
namespace {

constexpr wchar_t kDialogClass[] = L"QvrMessageDialog";

// The box's measures at a display density; the design's are for 96 pixels per inch.
struct Metrics {
  explicit Metrics(int dpi)
      : margin(MulDiv(12, dpi, kDesignPixelsPerInch)),
        buttonWidth(MulDiv(75, dpi, kDesignPixelsPerInch)),
        buttonHeight(MulDiv(25, dpi, kDesignPixelsPerInch)),
        buttonGap(MulDiv(6, dpi, kDesignPixelsPerInch)),
        iconSize(MulDiv(32, dpi, kDesignPixelsPerInch)) {}
  int margin;
  int buttonWidth;
  int buttonHeight;
  int buttonGap;
  int iconSize;
};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The system's message boxes are dialogs to assistive technology, so ours is one too:
// a screen reader then reads its caption and its text when it opens.
struct BoxAccessibility final : AccessibleSource {
  LONG ClientRole() const override { return ROLE_SYSTEM_DIALOG; }
};

struct DialogState {
  TModalResult result = mrNone;
  int defaultId = 0;
  // The controls and what their layout needs again on a display of another density.
  std::wstring text;
  LPCWSTR iconName = nullptr;
  HWND icon = nullptr;
  HWND label = nullptr;
  std::vector<HWND> buttons;
  gdi::UniqueFont font;
  BoxAccessibility accessibility;
  AccessibleClientArea accessible{accessibility};
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

// Centred over the owner, moved inside the work area of the owner's monitor; a
// minimised or hidden owner gives only its monitor. Without an owner, centred on
// the primary screen.
POINT BoxPlace(HWND owner, SIZE size) {
  const auto centred = [size](const RECT& around) {
    return POINT{around.left + (around.right - around.left - size.cx) / 2,
                 around.top + (around.bottom - around.top - size.cy) / 2};
  };
  if (owner == nullptr) {
    return centred({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
  }
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  RECT around = work;
  if (IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
  POINT place = centred(around);
  // The top left corner wins over the bottom right one when the box is larger.
  place.x = std::max<LONG>(std::min<LONG>(place.x, work.right - size.cx), work.left);
  place.y = std::max<LONG>(std::min<LONG>(place.y, work.bottom - size.cy), work.top);
  return place;
}

gdi::UniqueFont MessageFont(int dpi) {
  const LOGFONTW font = MessageLogFont(dpi);
  return gdi::UniqueFont(CreateFontIndirectW(&font));
}

SIZE MeasureText(HFONT font, const std::wstring& text) {
  WindowDc dc(nullptr);
  gdi::ScopedSelection selected(dc.Get(), font);
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN) * 2 / 3, 0};
  DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  return {r.right - r.left, r.bottom - r.top};
}

// Sizes and places the icon, the text and the buttons for a density and gives them
// that density's message font; returns the box's outer size.
SIZE LayOut(DialogState& state, int dpi) {
  const Metrics m(dpi);
  gdi::UniqueFont font = MessageFont(dpi);
  const SIZE textSize = MeasureText(font.Get(), state.text);
  const bool hasIcon = state.icon != nullptr;

  const int buttonCount = static_cast<int>(state.buttons.size());
  const int buttonsWidth = buttonCount * m.buttonWidth + std::max(0, buttonCount - 1) * m.buttonGap;
  const int textLeft = m.margin + (hasIcon ? m.iconSize + m.margin : 0);
  const int contentHeight = std::max<int>(textSize.cy, hasIcon ? m.iconSize : 0);
  const int clientWidth =
      std::max<int>(textLeft + textSize.cx + m.margin, buttonsWidth + 2 * m.margin);
  const int clientHeight = m.margin + contentHeight + m.margin + m.buttonHeight + m.margin;

  constexpr UINT kPlace = SWP_NOZORDER | SWP_NOACTIVATE;
  if (hasIcon) {
    // The system's icon drawn at the box's scale: SS_REALSIZECONTROL keeps the
    // control's size instead of the icon's.
    SetWindowPos(state.icon, nullptr, m.margin, m.margin, m.iconSize, m.iconSize, kPlace);
    const auto image = static_cast<HICON>(
        LoadImageW(nullptr, state.iconName, IMAGE_ICON, m.iconSize, m.iconSize, LR_SHARED));
    SendMessageW(
        state.icon, STM_SETICON,
        reinterpret_cast<WPARAM>(image != nullptr ? image : LoadIconW(nullptr, state.iconName)), 0);
  }
  const int textTop = m.margin + (contentHeight - textSize.cy) / 2;
  SetWindowPos(state.label, nullptr, textLeft, textTop, textSize.cx, textSize.cy, kPlace);
  SendMessageW(state.label, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  int x = (clientWidth - buttonsWidth) / 2;
  const int y = clientHeight - m.margin - m.buttonHeight;
  for (HWND button : state.buttons) {
    SetWindowPos(button, nullptr, x, y, m.buttonWidth, m.buttonHeight, kPlace);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    x += m.buttonWidth + m.buttonGap;
  }
  // The old font goes only now that no control draws with it.
  state.font = std::move(font);
  return OuterSizeForClient(clientWidth, clientHeight, kDialogStyle, kDialogExStyle, dpi);
}

LRESULT HandleDialogMessage(HWND window, DialogState& state, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // From a button, or IDCANCEL for Escape and the default button's ID for Enter.
      if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
        const int id = LOWORD(wParam);
        if (id == IDYES || id == IDNO || id == IDOK || id == IDCANCEL) state.result = id;
      }
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(state.defaultId, DC_HASDEFID);
    case WM_CLOSE:
      state.result = mrCancel;
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) FlashTaskbarButton(window, FLASHW_STOP);
      break;
    case WM_DPICHANGED: {
      // Moved to a display of another density: laid out again for it.
      const SIZE size = LayOut(state, HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_GETOBJECT:
      if (const LRESULT answer = state.accessible.Answer(window, wParam, lParam)) return answer;
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<DialogState*>(WindowObject(window, message, lParam));
  const auto byDefault = [&] { return DefWindowProcW(window, message, wParam, lParam); };
  if (state == nullptr) return byDefault();
  return Guarded(
      nullptr, [&] { return HandleDialogMessage(window, *state, message, wParam, lParam); },
      byDefault);
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
  state.text = WindowText(request.text);
  state.iconName = SystemIcon(request.icon);

  // Owned by the asking form, not by whichever window is active: while another
  // program is active this thread has no active window at all.
  HWND owner =
      request.owner != nullptr ? static_cast<HWND>(request.owner->WindowHandle()) : nullptr;
  UniqueWindow dialog(CreateWindowExW(kDialogExStyle, kDialogClass,
                                      Utf8ToWide(request.caption).c_str(), kDialogStyle, 0, 0, 0, 0,
                                      owner, nullptr, ProgramInstance(), &state));
  if (!dialog) return mrCancel;
  HWND d = dialog.Get();

  // Made without a size; LayOut sizes and places them.
  if (state.iconName != nullptr) {
    state.icon =
        CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZECONTROL,
                        0, 0, 0, 0, d, nullptr, ProgramInstance(), nullptr);
  }
  state.label = CreateWindowExW(0, L"STATIC", state.text.c_str(),
                                WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, d,
                                nullptr, ProgramInstance(), nullptr);
  for (TMsgDlgBtn b : request.buttons) {
    const int id = ButtonResult(b);
    const DWORD kind = state.buttons.empty() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    state.buttons.push_back(CreateWindowExW(0, L"BUTTON", Utf8ToWide(ButtonText(b)).c_str(),
                                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, 0, 0, 0, 0,
                                            d, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                            ProgramInstance(), nullptr));
    if (state.buttons.size() == 1) state.defaultId = id;
  }
  // At the density of the display the box is on, over the form that asks.
  const SIZE size = LayOut(state, WindowDpi(d));
  const POINT place = BoxPlace(owner, size);
  SetWindowPos(d, nullptr, place.x, place.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  HWND firstButton = state.buttons.empty() ? nullptr : state.buttons.front();

  {
    ModalOwnerLock lock(d);
    ShowWindow(d, SW_SHOW);
    // As the system does for its dialogs: a screen reader announces the box, then the
    // button that has the keyboard.
    NotifyWinEvent(EVENT_SYSTEM_DIALOGSTART, d, OBJID_WINDOW, CHILDID_SELF);
    BringToFront(d);
    if (firstButton != nullptr) SetFocus(firstButton);
    // Ended by the application quitting: the box counts as cancelled.
    if (!RunModalLoop(d, [&state] { return state.result != mrNone; })) state.result = mrCancel;
    NotifyWinEvent(EVENT_SYSTEM_DIALOGEND, d, OBJID_WINDOW, CHILDID_SELF);
  }
  // Answered without ever being activated (by a tool, say): the flashing ends too.
  FlashTaskbarButton(d, FLASHW_STOP);
  return state.result;
}

}  // namespace qvr
