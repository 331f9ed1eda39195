// Helpers shared by the Win32 forms, controls and message dialog.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "framework/Types.h"
#include "platform/win32/Gdi.h"

namespace qvr {

class TApplication;
class TControl;
class TCustomForm;

HINSTANCE ProgramInstance();

HBRUSH SystemBrush(TColor color);

// Text for a window: UTF-16, and a lone CR, which separates lines in our texts,
// as CR LF, the only line break that STATIC and EDIT windows know. Control captions
// hold CR LF already (TControl::SetCaption) and need only Utf8ToWide.
std::wstring WindowText(const std::string& text);

// The control that owns a child window, or null for a window of another kind.
TControl* ControlOf(HWND window);
void SetControlOf(HWND window, TControl* control);

// The messages a window with child controls handles for them: button clicks and the
// colours of labels and read-only text. True when the message was handled.
bool HandleChildMessage(UINT message, WPARAM wParam, LPARAM lParam, HBRUSH background,
                        LRESULT& result);

// The object a window was created for (the last argument of CreateWindowExW), kept with
// the window from WM_NCCREATE on; null before that message.
void* WindowObject(HWND window, UINT message, LPARAM lParam);

// The application whose error box shows what escapes a window procedure or callback;
// the backend sets it when the application initialises it.
void SetCallbackErrorSink(TApplication* application);
// Hands an error that escaped a window procedure or callback to the application's error
// handling: its error box, over `owner` when one is known.
void ReportCallbackError(const std::exception_ptr& error, const TCustomForm* owner) noexcept;

// Runs the body of a window procedure or system callback. Nothing may unwind through the
// window system: an error goes to ReportCallbackError, and `fallback` gives the result.
template <typename Body, typename Fallback>
auto Guarded(const TCustomForm* owner, Body&& body, Fallback&& fallback) noexcept
    -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    ReportCallbackError(std::current_exception(), owner);
  }
  return fallback();
}

// The modal loop: dispatches this thread's messages, with the dialog keys of `modal`,
// until `done` returns true. False when it ended otherwise: the application is quitting
// (the quit message is posted again for the loop outside) or the queue failed.
bool RunModalLoop(HWND modal, const std::function<bool()>& done);

// Enables or disables every other visible top-level window of this thread for the
// life of the object, as a modal window needs.
class ModalOwnerLock {
 public:
  explicit ModalOwnerLock(HWND modal);
  ~ModalOwnerLock();
  ModalOwnerLock(const ModalOwnerLock&) = delete;
  ModalOwnerLock& operator=(const ModalOwnerLock&) = delete;

 private:
  static BOOL CALLBACK Collect(HWND window, LPARAM self);
  HWND modal_;
  std::vector<HWND> disabled_;
};

}  // namespace qvr
