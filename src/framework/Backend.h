// The seam between the portable forms and controls and a window system. A form or
// control keeps its own state; a peer mirrors that state into a native window.
// The headless backend has no peers at all, the Win32 backend one window per peer.
#pragma once

#include <cstddef>
#include <memory>

#include "base/Component.h"
#include "framework/Accessible.h"
#include "framework/Types.h"

namespace qvr {

class TApplication;
class TControl;
class TForm;
struct MessageDialogRequest;

enum class ControlChange { Bounds, Visible, Enabled, Caption, Font };

class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  // Reads the changed property back from the control it was created for.
  virtual void Changed(ControlChange what) = 0;
  virtual NativeWindow Handle() const = 0;
};

class FormPeer : public ControlPeer {
 public:
  // The window's outer bounds as the window system has them now (maximised, moved).
  virtual TBounds OuterBounds() const = 0;
  // Marks a part of the client area for repainting.
  virtual void Invalidate(const TBounds& area) = 0;
  // Tells assistive technology that the form's windowless element `element` changed.
  virtual void AccessibleElementChanged(std::size_t element, AccessibleEvent event) = 0;
};

class WindowBackend {
 public:
  virtual ~WindowBackend() = default;

  // Called once by TApplication::Initialize, with the application whose error handling
  // takes what escapes the backend's window procedures and callbacks.
  virtual void Initialize(TApplication& app) = 0;
  // Null when the backend keeps no native windows. A window on a display of another
  // density than the form's lays the form out for it (TForm::ScaleForDpi) before
  // this returns, so the controls' windows are made at their final size.
  virtual std::unique_ptr<FormPeer> CreateFormPeer(TForm& form) = 0;
  virtual std::unique_ptr<ControlPeer> CreateControlPeer(TControl& control) = 0;

  // Dispatches every pending message, then returns.
  virtual void ProcessMessages() = 0;
  // Dispatches messages until the application is terminated.
  virtual void RunMessageLoop(TApplication& app) = 0;
  // Shows `form` modally: returns once its ModalResult is set or the application is
  // terminated (at once when it already is).
  virtual void RunModal(TForm& form) = 0;
  // Wakes the loops after TApplication::Terminate.
  virtual void Terminating() = 0;

  virtual TModalResult ShowMessageDialog(const MessageDialogRequest& request) = 0;
  // The default system beep.
  virtual void Beep() = 0;
  // Ends the program at once with `exitCode`: never returns to the caller.
  [[noreturn]] virtual void Halt(int exitCode) = 0;
};

}  // namespace qvr
