#include "framework/win32/Win32Form.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Texts.h"
#include "framework/win32/Win32Common.h"
#include "framework/win32/Win32Dpi.h"
#include "platform/win32/WinText.h"

namespace qvr {
namespace {

constexpr wchar_t kFormClass[] = L"QvrForm";
// Posted on activation, so that OnActivate (which may show a modal dialog) runs
// after the window system has finished activating the form.
constexpr UINT kActivateMessage = WM_APP + 1;

DWORD StyleOf(const TForm& form) {
  DWORD style = WS_CLIPCHILDREN;
  if (form.BorderStyle == bsDialog) {
    style |= WS_POPUP | WS_CAPTION | WS_DLGFRAME;
  } else {
    style |= WS_OVERLAPPEDWINDOW;
  }
  if (!form.BorderIcons) style &= ~static_cast<DWORD>(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  return style;
}

DWORD ExStyleOf(const TForm& form) {
  DWORD ex = WS_EX_CONTROLPARENT;
  if (form.BorderStyle == bsDialog) ex |= WS_EX_DLGMODALFRAME;
  return ex;
}

RECT WorkArea() {
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

}  // namespace

void Win32FormPeer::RegisterWindowClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32FormPeer::WindowProc;
  wc.hInstance = ProgramInstance();
  wc.hIcon = LoadIconW(ProgramInstance(), L"MAINICON");
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
}

Win32FormPeer::Win32FormPeer(TForm& form) : form_(form) {
  const DWORD style = StyleOf(form);
  const DWORD ex = ExStyleOf(form);
  const TForm* main = form.Application().MainForm();
  HWND owner = main != nullptr && main != &form ? static_cast<HWND>(main->WindowHandle()) : nullptr;
  // Made at the form's current scale, then laid out for the density of the display
  // the window is on, before it is shown and before the controls' windows exist.
  const SIZE size =
      OuterSizeForClient(form.ClientWidth, form.ClientHeight, style, ex, form.PixelsPerInch());
  const TBounds b = form.BoundsRect();
  HWND window = CreateWindowExW(ex, kFormClass, Utf8ToWide(form.Caption()).c_str(), style, b.Left,
                                b.Top, size.cx, size.cy, owner, nullptr, ProgramInstance(), this);
  if (window == nullptr) throw Exception(texts::kWindowNotCreated);
  window_.Reset(window);
  if (const int dpi = WindowDpi(window); dpi != form.PixelsPerInch()) {
    form.ScaleForDpi(dpi);
    FitClientSize();
  }
}

void Win32FormPeer::FitClientSize() {
  // The frame as the window has it now, which is already the new density's when the
  // system has scaled the title bar and borders.
  HWND w = window_.Get();
  RECT outer{};
  RECT client{};
  GetWindowRect(w, &outer);
  GetClientRect(w, &client);
  const int frameWidth = (outer.right - outer.left) - client.right;
  const int frameHeight = (outer.bottom - outer.top) - client.bottom;
  SetWindowPos(w, nullptr, 0, 0, form_.ClientWidth + frameWidth, form_.ClientHeight + frameHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormPeer::DpiChanged(int dpi, const RECT& suggested) {
  form_.ScaleForDpi(dpi);
  // A dialog keeps its client size at the new scale exactly; a resizable window
  // takes the rectangle the system suggests.
  const bool fixed = form_.BorderStyle == bsDialog && !IsZoomed(window_.Get());
  if (fixed) FitClientSize();
  SetWindowPos(window_.Get(), nullptr, suggested.left, suggested.top,
               suggested.right - suggested.left, suggested.bottom - suggested.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (fixed ? SWP_NOSIZE : 0));
  form_.DpiChanged();
  InvalidateRect(window_.Get(), nullptr, TRUE);
}

void Win32FormPeer::Changed(ControlChange what) {
  HWND w = window_.Get();
  switch (what) {
    case ControlChange::Caption:
      SetWindowTextW(w, Utf8ToWide(form_.Caption()).c_str());
      break;
    case ControlChange::Bounds: {
      const TBounds& b = form_.RequestedBounds();
      MoveWindow(w, b.Left, b.Top, b.Width, b.Height, TRUE);
      break;
    }
    case ControlChange::Visible:
      if (!form_.Visible()) {
        ShowWindow(w, SW_HIDE);
        break;
      }
      if (!shownOnce_) PlaceForFirstShow();
      shownOnce_ = true;
      // No UpdateWindow: the activation handler, posted by the showing, lays the
      // controls out before the first paint, so the design bounds are never seen.
      ShowWindow(w, form_.WindowState == wsMaximized ? SW_SHOWMAXIMIZED : SW_SHOW);
      break;
    case ControlChange::Enabled:
    case ControlChange::Font:
      break;
  }
}

void Win32FormPeer::PlaceForFirstShow() {
  RECT own;
  GetWindowRect(window_.Get(), &own);
  const int w = own.right - own.left;
  const int h = own.bottom - own.top;
  RECT around = WorkArea();
  if (form_.Position == poMainFormCenter) {
    const TForm* main = form_.Application().MainForm();
    if (main != nullptr && main != &form_ && main->WindowHandle() != nullptr) {
      GetWindowRect(static_cast<HWND>(main->WindowHandle()), &around);
    }
  } else if (form_.Position != poScreenCenter) {
    return;
  }
  const int left = around.left + (around.right - around.left - w) / 2;
  const int top = around.top + (around.bottom - around.top - h) / 2;
  SetWindowPos(window_.Get(), nullptr, std::max(left, 0), std::max(top, 0), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TBounds Win32FormPeer::OuterBounds() const {
  RECT r{};
  GetWindowRect(window_.Get(), &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Win32FormPeer::Invalidate(const TBounds& area) {
  RECT r{area.Left, area.Top, area.Left + area.Width, area.Top + area.Height};
  InvalidateRect(window_.Get(), &r, TRUE);
}

void Win32FormPeer::AccessibleElementChanged(std::size_t element, AccessibleEvent event) {
  accessible_.Notify(window_.Get(), element, event);
}

bool Win32FormPeer::IsDecoration(HWND child) const {
  const auto& controls = form_.Controls();
  return std::any_of(controls.begin(), controls.end(), [child](const TControl* control) {
    return control->Decorative && control->Handle() == child;
  });
}

const std::vector<DescribeAccessible>& Win32FormPeer::Elements() const {
  return form_.AccessibleElements();
}

std::size_t Win32FormPeer::ChildWindowCount() const {
  // Every child window of a form is one of its controls outside a panel.
  const auto& controls = form_.Controls();
  return static_cast<std::size_t>(
      std::count_if(controls.begin(), controls.end(), [](const TControl* control) {
        return control->Parent() == nullptr && control->Handle() != nullptr;
      }));
}

LRESULT CALLBACK Win32FormPeer::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  auto* peer = static_cast<Win32FormPeer*>(WindowObject(window, message, lParam));
  const auto byDefault = [&] { return DefWindowProcW(window, message, wParam, lParam); };
  if (peer == nullptr || peer->window_.Get() != window) return byDefault();
  return Guarded(
      &peer->form_, [&] { return peer->Handle(message, wParam, lParam); }, byDefault);
}

LRESULT Win32FormPeer::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND w = window_.Get();
  TApplication& app = form_.Application();
  LRESULT result = 0;
  const TColor color = form_.Color;
  HBRUSH systemBrush = SystemBrush(color);
  if (HandleChildMessage(message, wParam, lParam,
                         systemBrush != nullptr ? systemBrush : GetSysColorBrush(COLOR_BTNFACE),
                         result)) {
    return result;
  }
  switch (message) {
    case WM_ACTIVATE: {
      if (LOWORD(wParam) == WA_INACTIVE) {
        // Remembered so that a message box closing gives the keyboard back to the
        // control that had it, as in a dialog.
        if (HWND focus = GetFocus(); IsChild(w, focus)) lastFocus_ = focus;
        break;
      }
      PostMessageW(w, kActivateMessage, 0, 0);
      DefWindowProcW(w, message, wParam, lParam);
      if (IsChild(w, GetFocus())) return 0;
      // Else the first control that takes the keyboard.
      HWND target = lastFocus_;
      if (!IsChild(w, target) || !IsWindowVisible(target) || !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(w, nullptr, FALSE);
      }
      if (target != nullptr) SetFocus(target);
      return 0;
    }
    case WM_COMMAND:
      // Enter: the dialog manager asks for the default button; a focused push button
      // is clicked, as in a dialog whose focused button is its default.
      if (lParam == 0 && LOWORD(wParam) == IDOK) {
        HWND focus = GetFocus();
        if (TControl* control = IsChild(w, focus) ? ControlOf(focus) : nullptr;
            control != nullptr && control->Kind() == ControlKind::Button) {
          control->Click();
        }
        return 0;
      }
      break;
    case kActivateMessage:
      form_.Activate();
      return 0;
    case WM_DPICHANGED:
      // The window moved to a display of another density: laid out again for it.
      DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      app.RunHandler([this] { form_.Close(); }, &form_);
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT answer = accessible_.Answer(w, wParam, lParam)) return answer;
      break;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(w, &r);
      gdi::UniqueGdiObject<HBRUSH> own(
          systemBrush == nullptr ? CreateSolidBrush(gdi::ColorRef(color)) : nullptr);
      FillRect(reinterpret_cast<HDC>(wParam), &r, systemBrush != nullptr ? systemBrush : own.Get());
      return 1;
    }
    case WM_PAINT: {
      {
        PaintScope paint(w);
      }
      // Windowless controls draw through their own device context once the paint
      // cycle has validated the window.
      form_.PaintWindowless();
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(w, message, wParam, lParam);
}

}  // namespace qvr
