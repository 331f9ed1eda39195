#include "InstallTimer.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "BenchArchives.h"
#include "framework/Application.h"
#include "gauge/win32/GdiCanvas.h"
#include "packer/QVRPacker.h"
#include "platform/win32/WinText.h"
#include "setup/InstallPaths.h"
#include "setup/win32/WindowlessSurface.h"

namespace qvr::bench {
namespace {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

constexpr char kFinalMessageCaption[] = "Warnung";

// The run in progress, for the window system's hook.
struct BoxWatch {
  double shownAt = 0;
  std::string unexpected;  // the caption of any other box
};
BoxWatch* watch = nullptr;

std::string Caption(HWND window) {
  wchar_t text[128];
  const int length = GetWindowTextW(window, text, 128);
  return WideToUtf8(std::wstring_view(text, static_cast<std::size_t>(length)));
}

// Notes when the final message comes to the front and answers it with "Nein", as a user
// would; any other box is closed and remembered.
LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && watch != nullptr) {
    const auto box = reinterpret_cast<HWND>(wParam);
    const std::string caption = Caption(box);
    if (caption == kFinalMessageCaption && watch->shownAt == 0) {
      watch->shownAt = Now();
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    } else if (GetWindow(box, GW_OWNER) != nullptr) {
      watch->unexpected = caption;
      PostMessageW(box, WM_CLOSE, 0, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class HookScope {
 public:
  explicit HookScope(BoxWatch& w)
      : hook_(SetWindowsHookExW(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId())) {
    if (hook_ == nullptr) throw std::runtime_error("cannot hook the message boxes");
    watch = &w;
  }
  ~HookScope() {
    watch = nullptr;
    UnhookWindowsHookEx(hook_);
  }
  HookScope(const HookScope&) = delete;
  HookScope& operator=(const HookScope&) = delete;

 private:
  HHOOK hook_;
};

// The dialog's surface, counting the bar paints it presents and timing their copy to
// the window.
class CountingSurface : public ControlSurface {
 public:
  CountingSurface(TFormInstall& form, int& presents, double& presenting)
      : inner_(form, form.StatusGauge, form.Label4.Caption()),
        presents_(presents),
        presenting_(presenting) {}
  bool CanDraw() const override { return inner_.CanDraw(); }
  void Present(const Bitmap& buffer, int left, int top) override {
    ++presents_;
    const double t0 = Now();
    inner_.Present(buffer, left, top);
    presenting_ += Now() - t0;
  }
  void Changed(GaugeChange change) override { inner_.Changed(change); }

 private:
  WindowlessSurface inner_;
  int& presents_;
  double& presenting_;
};

// The quit message that the last dialog's end posted, which would end the next one's
// message boxes at once.
void DropQuitMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// Until the dialog has been shown and painted and nothing is left to do.
void LetSettle(TApplication& app) {
  for (int i = 0; i < 20; ++i) {
    app.ProcessMessages();
    Sleep(10);
  }
}

}  // namespace

void SetInstallPaths(const std::string& setupFolder, const std::string& run) {
  SetupPfad = setupFolder;
  LaufwerkPfad = run + "drive\\";
  InstallPfad = LaufwerkPfad + kInstallFolderName + "\\";
  ProgrammPfad = TreePath(InstallPfad, TreeFolder::ProgramFiles);
  BilderPfad = TreePath(InstallPfad, TreeFolder::Pictures);
  FontsPfad = TreePath(InstallPfad, TreeFolder::Fonts);
  WinFontsPfad = run + "fonts\\";
}

InstallTimes TimedInstall(Win32Backend& backend) {
  DropQuitMessages();
  TApplication app(backend);
  app.Title = "setup_bench";
  app.Initialize();
  InstallTimes times;
  int presents = 0;
  // The shortcut is written; the restart is never asked for, and must not be.
  RestartCalls noRestart{
      [] { return std::string("BENCH"); },
      [](const std::string&, const std::string&, const std::string&, bool, std::string&) -> int {
        throw std::runtime_error("the benchmark asked for a restart");
      }};
  TFormInstall form(app, GdiGraphics(), SystemFileSystem(), DefaultShellLinkBinding(),
                    std::move(noRestart));
  CountingSurface surface(form, presents, times.presenting);
  form.StatusGauge.SetSurface(&surface);

  std::array<double, kStepCount> started{};
  form.OnStep = [&started](InstallStep step) { started[static_cast<std::size_t>(step)] = Now(); };
  const TOnProgress progress = form.QVRPacker1.OnProgress;
  form.QVRPacker1.OnProgress = [&](std::int32_t value) {
    const std::int32_t before = form.StatusGauge.Position();
    const double t0 = Now();
    progress(value);
    const double spent = Now() - t0;
    if (form.StatusGauge.Position() != before) {
      times.paints += spent;
      ++times.paintCount;
    } else {
      times.events += spent;
      ++times.eventCount;
    }
  };
  std::vector<double> pumps;
  pumps.reserve(1 << 16);
  TQVRPacker::SetMessagePump([&] {
    const int presentsBefore = presents;
    const double t0 = Now();
    app.ProcessMessages();
    pumps.push_back(Now() - t0);
    times.pumps += pumps.back();
    ++times.pumpCount;
    times.pumpPaintCount += presents - presentsBefore;
  });

  form.Show();
  LetSettle(app);
  BoxWatch boxes;
  double clicked = 0;
  {
    HookScope hook(boxes);
    clicked = Now();
    app.RunHandler([&form] { form.InstallButtonClick(&form.InstallButton); }, &form);
  }
  TQVRPacker::SetMessagePump(nullptr);
  if (!boxes.unexpected.empty()) {
    throw std::runtime_error("an unexpected box \"" + boxes.unexpected + "\" appeared");
  }
  if (boxes.shownAt == 0) throw std::runtime_error("the final message did not appear");

  times.whole = boxes.shownAt - clicked;
  if (!pumps.empty()) {
    std::nth_element(pumps.begin(), pumps.begin() + pumps.size() / 2, pumps.end());
    times.medianPump = pumps[pumps.size() / 2];
  }
  for (std::size_t i = 0; i < kStepCount; ++i) {
    const double end = i + 1 < kStepCount ? started[i + 1] : boxes.shownAt;
    times.step[i] = end - started[i];
  }
  return times;
}

void ProbeMessageCalls(Win32Backend& backend) {
  DropQuitMessages();
  TApplication app(backend);
  app.Initialize();
  TFormInstall form(app, GdiGraphics());
  WindowlessSurface surface(form, form.StatusGauge, form.Label4.Caption());
  form.StatusGauge.SetSurface(&surface);
  form.Show();
  LetSettle(app);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE folder = CreateFileW(L"C:\\windows\\system32", FILE_LIST_DIRECTORY, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  int position = 0;
  const std::pair<const char*, std::function<void()>> calls[] = {
      {"WaitForSingleObject, not signalled", [event] { WaitForSingleObject(event, 0); }},
      {"PeekMessageW until empty (the pump)", [&app] { app.ProcessMessages(); }},
      {"GetQueueStatus", [] { GetQueueStatus(QS_ALLINPUT); }},
      {"MsgWaitForMultipleObjectsEx, no wait",
       [] { MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE); }},
      {"SwitchToThread", [] { SwitchToThread(); }},
      {"GetFinalPathNameByHandleW of a folder",
       [folder] {
         wchar_t path[MAX_PATH];
         GetFinalPathNameByHandleW(folder, path, MAX_PATH, 0);
       }},
      {"CreateFileW and CloseHandle of a folder",
       [] {
         CloseHandle(CreateFileW(L"C:\\windows", FILE_LIST_DIRECTORY, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
       }},
      {"GetDC and ReleaseDC of the dialog",
       [&form] {
         const auto window = static_cast<HWND>(form.WindowHandle());
         ReleaseDC(window, GetDC(window));
       }},
      {"bar paint then pump",
       [&] {
         form.StatusGauge.SetPosition(position = position % 100 + 1);
         app.ProcessMessages();
       }},
      {"bar paint (a new Position)",
       [&] { form.StatusGauge.SetPosition(position = position % 100 + 1); }},
      {"QueryPerformanceCounter", [] { Now(); }},
  };
  constexpr int kCalls = 1000;
  for (const auto& [name, call] : calls) {
    std::vector<double> rounds;
    for (int round = 0; round < 5; ++round) {
      const double t0 = Now();
      for (int i = 0; i < kCalls; ++i) call();
      rounds.push_back((Now() - t0) / kCalls);
    }
    std::sort(rounds.begin(), rounds.end());
    std::printf("%-40s %8.2f us per call (%.2f - %.2f)\n", name, rounds[2] * 1e6,
                rounds.front() * 1e6, rounds.back() * 1e6);
  }
  CloseHandle(event);
  CloseHandle(folder);
  std::fflush(stdout);
}

void ProbeFileCalls(FileSystem& fs, Folder& work) {
  const auto FileName = [](int number) {
    char name[16];
    std::snprintf(name, sizeof name, "f%d", number);
    return std::string(name);
  };
  const std::unique_ptr<Folder> probe = FreshFolder(work, "probe");
  const std::unique_ptr<Folder> plain = probe->CreateFolder("plain").Take();
  const std::unique_ptr<Folder> secured =
      probe->CreateFolder("secured", Rights::Administrators).Take();
  const std::unique_ptr<Folder> byPath = probe->CreateFolder("bypath").Take();
  constexpr int kFiles = 200;
  int counter = 0;
  const std::pair<const char*, std::function<void()>> calls[] = {
      {"CreateFileW by path, new file",
       [&] {
         const std::wstring path = Utf8ToWide(byPath->Path() + FileName(counter++) + ".dat");
         CloseHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
       }},
      {"Folder::Create, new file",
       [&] { static_cast<void>(plain->Create(FileName(counter++), IfExists::Replace)); }},
      {"Folder::Create in a secured folder",
       [&] { static_cast<void>(secured->Create(FileName(counter++), IfExists::Replace)); }},
      {"Folder::Open of an existing file",
       [&] { static_cast<void>(plain->Open(FileName(kFiles + counter++ % kFiles))); }},
      {"GetFinalPathNameByHandleW, folder of 400",
       [&] {
         static HANDLE h = CreateFileW(Utf8ToWide(plain->Path()).c_str(), FILE_LIST_DIRECTORY,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
         wchar_t path[MAX_PATH];
         GetFinalPathNameByHandleW(h, path, MAX_PATH, 0);
       }},
      {"GetFinalPathNameByHandleW, file among 400",
       [&] {
         static HANDLE h =
             CreateFileW(Utf8ToWide(plain->Path() + "f300").c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
         wchar_t path[MAX_PATH];
         GetFinalPathNameByHandleW(h, path, MAX_PATH, 0);
       }},
      {"Folder::OpenFolder", [&] { static_cast<void>(probe->OpenFolder("plain")); }},
      {"FileSystem::OpenFolder by path",
       [&] { static_cast<void>(fs.OpenFolder(probe->Path() + "plain")); }},
  };
  for (const auto& [name, call] : calls) {
    const double t0 = Now();
    for (int i = 0; i < kFiles; ++i) call();
    std::printf("%-40s %8.2f us per call\n", name, (Now() - t0) / kFiles * 1e6);
  }
  std::fflush(stdout);
}

double TimedBareUnpack(FileSystem& fs, const std::string& archive, const std::string& target) {
  TQVRPacker packer(nullptr, fs);
  packer.PackModus = Entpacken;
  packer.QuellPfad = archive;
  packer.ZielPfad = target;
  std::int32_t status = -1;
  packer.OnStatus = [&status](std::int32_t code, const std::string&) { status = code; };
  TQVRPacker::SetMessagePump(nullptr);
  const double t0 = Now();
  packer.Starten();
  const double spent = Now() - t0;
  if (status != 0) {
    throw std::runtime_error("the bare unpack ended with status " + std::to_string(status) + ": " +
                             TQVRPacker::LastFailure().error.Message());
  }
  return spent;
}

}  // namespace qvr::bench
