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
#include "setup/InstallPaths.h"
#include "setup/UnitInstall.h"
#include "setup/UnitMain.h"
#include "setup/win32/WindowlessSurface.h"

namespace qvr {
namespace {

std::string ModuleFileName() {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, length);
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
    WindowlessSurface gaugeSurface(formInstall);
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
