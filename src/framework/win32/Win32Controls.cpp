#include "framework/win32/Win32Controls.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/PackedPicture.h"
#include "framework/Texts.h"
#include "framework/win32/Win32Common.h"
#include "platform/win32/WinText.h"

namespace qvr {
namespace {

constexpr wchar_t kPanelClass[] = L"QvrPanel";
constexpr wchar_t kPictureClass[] = L"QvrPicture";

LRESULT PanelMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleChildMessage(message, wParam, lParam, GetSysColorBrush(COLOR_BTNFACE), result)) {
    return result;
  }
  if (message == WM_PAINT) {
    PaintScope paint(window);
    RECT r;
    GetClientRect(window, &r);
    FillRect(paint.Get(), &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(paint.Get(), &r, BDR_RAISEDINNER, BF_RECT);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT PictureMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PaintScope paint(window);
    TControl* control = ControlOf(window);
    auto* peer = control != nullptr ? static_cast<Win32ControlPeer*>(control->Peer()) : nullptr;
    if (peer == nullptr || peer->Picture() == nullptr) return 0;
    BITMAP info{};
    GetObjectW(peer->Picture(), sizeof info, &info);
    gdi::UniqueDc memory(CreateCompatibleDC(paint.Get()));
    gdi::ScopedSelection selected(memory.Get(), peer->Picture());
    RECT r;
    GetClientRect(window, &r);
    SetStretchBltMode(paint.Get(), HALFTONE);
    SetBrushOrgEx(paint.Get(), 0, 0, nullptr);
    StretchBlt(paint.Get(), 0, 0, r.right, r.bottom, memory.Get(), 0, 0, info.bmWidth,
               info.bmHeight, SRCCOPY);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(window, message, wParam, lParam);
}

// The window procedure of our own control classes: `handle` runs guarded, an error
// being shown over the control's form.
template <LRESULT (*handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK GuardedControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const TControl* control = ControlOf(window);
  return Guarded(
      control != nullptr ? &control->Form() : nullptr,
      [&] { return handle(window, message, wParam, lParam); },
      [&] { return DefWindowProcW(window, message, wParam, lParam); });
}

struct WindowKind {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

WindowKind KindOf(const TControl& control) {
  const DWORD align = control.Alignment == taCenter         ? SS_CENTER
                      : control.Alignment == taRightJustify ? SS_RIGHT
                      : control.WordWrap                    ? SS_LEFT
                                                            : SS_LEFTNOWORDWRAP;
  switch (control.Kind()) {
    case ControlKind::Panel:
      return {kPanelClass, WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case ControlKind::Label:
      return {L"STATIC", align | SS_NOPREFIX, 0};
    case ControlKind::Memo: {
      const DWORD edit = control.Alignment == taCenter ? ES_CENTER : ES_LEFT;
      return {
          L"EDIT",
          WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | edit | (control.ReadOnly ? ES_READONLY : 0),
          WS_EX_CLIENTEDGE};
    }
    case ControlKind::Button:
      return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::Image:
      return {kPictureClass, 0, 0};
  }
  return {L"STATIC", 0, 0};
}

// The bytes of the program's raw-data resource `name`; none when it is missing.
std::span<const std::uint8_t> RawResource(const std::wstring& name) {
  HRSRC found = FindResourceW(ProgramInstance(), name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found != nullptr ? LoadResource(ProgramInstance(), found) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return {};
  return {static_cast<const std::uint8_t*>(data), SizeofResource(ProgramInstance(), found)};
}

// A DIB section of the 24-bit bitmap `dib` (its info header, then its pixels), as
// LoadImage makes one of a bitmap resource; null when `dib` is no such bitmap.
gdi::UniqueBitmap DibSection(const std::vector<std::uint8_t>& dib) {
  BITMAPINFO info{};
  const BITMAPINFOHEADER& h = info.bmiHeader;
  if (dib.size() < sizeof h) return {};
  std::memcpy(&info.bmiHeader, dib.data(), sizeof h);
  const std::size_t stride = ((static_cast<std::size_t>(h.biWidth) * 24 + 31) / 32) * 4;
  if (h.biSize != sizeof h || h.biBitCount != 24 || h.biCompression != BI_RGB || h.biWidth <= 0 ||
      h.biHeight <= 0 || dib.size() - sizeof h != stride * static_cast<std::size_t>(h.biHeight)) {
    return {};
  }
  void* bits = nullptr;
  gdi::UniqueBitmap picture(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (picture) std::memcpy(bits, dib.data() + sizeof h, dib.size() - sizeof h);
  return picture;
}

}  // namespace

void Win32ControlPeer::RegisterClasses() {
  WNDCLASSEXW panel{};
  panel.cbSize = sizeof panel;
  panel.lpfnWndProc = GuardedControlProc<PanelMessage>;
  panel.hInstance = ProgramInstance();
  panel.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  panel.lpszClassName = kPanelClass;
  RegisterClassExW(&panel);

  WNDCLASSEXW picture = panel;
  picture.lpfnWndProc = GuardedControlProc<PictureMessage>;
  picture.lpszClassName = kPictureClass;
  RegisterClassExW(&picture);
}

Win32ControlPeer::Win32ControlPeer(TControl& control) : control_(control) {
  const WindowKind kind = KindOf(control);
  const TBounds& b = control.Bounds();
  DWORD style = WS_CHILD | kind.style;
  if (control.Visible()) style |= WS_VISIBLE;
  if (!control.Enabled()) style |= WS_DISABLED;
  window_.Reset(CreateWindowExW(kind.exStyle, kind.className, Utf8ToWide(control.Caption()).c_str(),
                                style, b.Left, b.Top, b.Width, b.Height,
                                static_cast<HWND>(control.ParentHandle()), nullptr,
                                ProgramInstance(), nullptr));
  if (!window_) throw Exception(texts::kControlNotCreated);
  SetControlOf(window_.Get(), &control);
  if (control.Kind() == ControlKind::Image) {
    const auto& image = static_cast<const TImage&>(control);
    // Stored packed (framework/PackedPicture.h); a picture that is missing stays empty.
    if (const auto dib = UnpackPicture(RawResource(Utf8ToWide(image.PictureName)))) {
      picture_ = DibSection(*dib);
    }
  }
  Changed(ControlChange::Font);
}

void Win32ControlPeer::FitToText() {
  if (!control_.AutoSize || control_.WordWrap) return;
  const std::wstring text = Utf8ToWide(control_.Caption());
  WindowDc dc(window_.Get());
  gdi::ScopedSelection selected(dc.Get(), font_.Get());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  SetWindowPos(window_.Get(), nullptr, 0, 0, r.right, r.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ControlPeer::Changed(ControlChange what) {
  HWND w = window_.Get();
  const TBounds& b = control_.Bounds();
  switch (what) {
    case ControlChange::Bounds:
      SetWindowPos(w, nullptr, b.Left, b.Top, b.Width, b.Height, SWP_NOZORDER | SWP_NOACTIVATE);
      FitToText();
      InvalidateRect(w, nullptr, TRUE);
      break;
    case ControlChange::Visible:
      ShowWindow(w, control_.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case ControlChange::Enabled:
      EnableWindow(w, control_.Enabled() ? TRUE : FALSE);
      break;
    case ControlChange::Caption:
      SetWindowTextW(w, Utf8ToWide(control_.Caption()).c_str());
      FitToText();
      break;
    case ControlChange::Font: {
      // The control lets go of the old font before it is deleted.
      gdi::UniqueFont font = gdi::CreatePixelFont(control_.Font());
      SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
      font_ = std::move(font);
      FitToText();
      break;
    }
  }
}

}  // namespace qvr
