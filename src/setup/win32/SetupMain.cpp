// The entry of Setup.exe: unit initialisation (the installation paths), the
// application object, the background screen and the install dialog, the message
// loop, and the finalisations at the end.

#include <windows.h>

#include <exception>
#include <string>

#include "framework/Application.h"
#include "framework/win32/Win32Backend.h"
#include "gauge/win32/GdiCanvas.h"
#include "packer/QVRPacker.h"
#include "platform/win32/WinText.h"
#include "setup/InstallPaths.h"
#include "setup/UnitInstall.h"
#include "setup/UnitMain.h"
#include "setup/win32/WindowlessSurface.h"

namespace qvr {
namespace {

// Both through the wide functions: a setup renamed "Installation für Kunden.exe" or
// started from "Übergabe" keeps its umlauts in the paths and in the title.
std::string ModuleFileName() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return WideToUtf8(std::wstring_view(buffer, length));
}

// The environment variable "windir", empty when it is not set.
std::string ReadWindirVariable() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"windir", buffer, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::string()
                                           : WideToUtf8(std::wstring_view(buffer, length));
}

// Static objects, so that an end of the program at once (std::exit) runs the same
// finalisations as the normal end, in reverse order: the paths are emptied after
// the application object has let go of COM.
struct UnitInstallLifetime {
  UnitInstallLifetime() { InitInstallPaths(ModuleFileName(), ReadWindirVariable); }
  ~UnitInstallLifetime() { FinalizeInstallPaths(); }
};

UnitInstallLifetime unitInstall;
Win32Backend backend;
TApplication application(backend);

int RunSetup() {
  TApplication& app = application;
  app.Title = TitleFromExeName(ModuleFileName());
  try {
    app.Initialize();
    TQVRPacker::SetMessagePump([&app] { app.ProcessMessages(); });
    TForm1 form1(app);
    TFormInstall formInstall(app, GdiGraphics());
    // A screen reader names the bar after the installing text beside it.
    WindowlessSurface gaugeSurface(formInstall, formInstall.StatusGauge,
                                   formInstall.Label4.Caption());
    formInstall.StatusGauge.SetSurface(&gaugeSurface);
    form1.FormInstall = &formInstall;
    app.Run();
  } catch (const std::exception& e) {
    app.ShowException(e.what());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace qvr

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return qvr::RunSetup();
}
