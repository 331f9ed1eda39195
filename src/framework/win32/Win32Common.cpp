#include "framework/win32/Win32Common.h"

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "platform/win32/WinText.h"

namespace qvr {
namespace {

TApplication* callbackErrorSink = nullptr;

}  // namespace

HINSTANCE ProgramInstance() {
  return GetModuleHandleW(nullptr);
}

HBRUSH SystemBrush(TColor color) {
  if (IsSystemColor(color)) return GetSysColorBrush(static_cast<int>(color & 0xFF));
  return nullptr;
}

std::wstring WindowText(const std::string& text) {
  return Utf8ToWide(WithCrLf(text));
}

TControl* ControlOf(HWND window) {
  return reinterpret_cast<TControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void SetControlOf(HWND window, TControl* control) {
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
}

bool HandleChildMessage(UINT message, WPARAM wParam, LPARAM lParam, HBRUSH background,
                        LRESULT& result) {
  switch (message) {
    case WM_COMMAND: {
      const auto child = reinterpret_cast<HWND>(lParam);
      if (child == nullptr || HIWORD(wParam) != BN_CLICKED) return false;
      if (TControl* control = ControlOf(child);
          control != nullptr && control->Kind() == ControlKind::Button) {
        control->Click();
      }
      result = 0;
      return true;
    }
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      TControl* control = ControlOf(reinterpret_cast<HWND>(lParam));
      if (control == nullptr) return false;
      if (control->Kind() == ControlKind::Memo) {
        // A read-only or disabled memo keeps the white of a text field.
        SetTextColor(dc, GetSysColor(control->Enabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        return true;
      }
      SetTextColor(dc, gdi::ColorRef(control->Font().Color));
      SetBkMode(dc, TRANSPARENT);
      result = reinterpret_cast<LRESULT>(background);
      return true;
    }
    default:
      return false;
  }
}

void* WindowObject(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void SetCallbackErrorSink(TApplication* application) {
  callbackErrorSink = application;
}

void ReportCallbackError(const std::exception_ptr& error, const TCustomForm* owner) noexcept {
  try {
    if (callbackErrorSink != nullptr) {
      callbackErrorSink->RunHandler([&error] { std::rethrow_exception(error); }, owner);
      return;
    }
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    // No application to show it, or its error box failed: the debugger still sees it.
    OutputDebugStringA(e.what());
  } catch (...) {
    OutputDebugStringA("An error without a message escaped a window procedure");
  }
}

bool RunModalLoop(HWND modal, const std::function<bool()>& done) {
  MSG msg;
  while (!done()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (got == -1) return false;
    if (!IsDialogMessageW(modal, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

ModalOwnerLock::ModalOwnerLock(HWND modal) : modal_(modal) {
  EnumThreadWindows(GetCurrentThreadId(), &ModalOwnerLock::Collect, reinterpret_cast<LPARAM>(this));
  for (HWND window : disabled_) EnableWindow(window, FALSE);
}

ModalOwnerLock::~ModalOwnerLock() {
  // Enabled again before the modal window goes, so that activation returns to them.
  for (HWND window : disabled_) EnableWindow(window, TRUE);
}

BOOL CALLBACK ModalOwnerLock::Collect(HWND window, LPARAM self) {
  return Guarded(
      nullptr,
      [window, self] {
        auto* lock = reinterpret_cast<ModalOwnerLock*>(self);
        if (window != lock->modal_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
          lock->disabled_.push_back(window);
        }
        return TRUE;
      },
      [] { return FALSE; });
}

}  // namespace qvr
