#include "framework/win32/Win32Backend.h"

#include <windows.h>

#include <cstdlib>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/win32/Win32Common.h"
#include "framework/win32/Win32Controls.h"
#include "framework/win32/Win32Form.h"
#include "framework/win32/Win32MessageDialog.h"

namespace qvr {

Win32Backend::Win32Backend() {
  Win32FormPeer::RegisterWindowClass();
  Win32ControlPeer::RegisterClasses();
  RegisterMessageDialogClass();
}

Win32Backend::~Win32Backend() {
  SetCallbackErrorSink(nullptr);
}

void Win32Backend::Initialize(TApplication& app) {
  if (!com_) com_.emplace();
  SetCallbackErrorSink(&app);
}

std::unique_ptr<FormPeer> Win32Backend::CreateFormPeer(TForm& form) {
  return std::make_unique<Win32FormPeer>(form);
}

std::unique_ptr<ControlPeer> Win32Backend::CreateControlPeer(TControl& control) {
  return std::make_unique<Win32ControlPeer>(control);
}

void Win32Backend::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Left for the loop that waits for it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    HWND active = GetActiveWindow();
    if (active == nullptr || !IsDialogMessageW(active, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

void Win32Backend::RunMessageLoop(TApplication& app) {
  MSG msg;
  while (!app.Terminated()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Win32Backend::RunModal(TForm& form) {
  TApplication& app = form.Application();
  HWND window = static_cast<HWND>(form.WindowHandle());
  ModalOwnerLock lock(window);
  SetActiveWindow(window);
  RunModalLoop(window, [&] { return app.Terminated() || form.ModalResult != mrNone; });
}

void Win32Backend::Terminating() {
  PostQuitMessage(0);
}

TModalResult Win32Backend::ShowMessageDialog(const MessageDialogRequest& request) {
  return ShowWin32MessageDialog(request);
}

void Win32Backend::Beep() {
  MessageBeep(0);
}

void Win32Backend::Halt(int exitCode) {
  std::exit(exitCode);
}

}  // namespace qvr
