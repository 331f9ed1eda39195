// e2e-driver: finds, reads and clicks the windows of a program running in the same
// Wine prefix. Results go to stdout as UTF-8; the exit code is 0 when the command did
// what it was asked, 1 when it did not, 2 on bad usage. `serve` keeps one process for
// many commands: one command per input line, one answer line per command.

#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "WindowQuery.h"

namespace qvr::e2e {
namespace {

constexpr double kDefaultSeconds = 20.0;

const char kUsage[] =
    "usage: e2e-driver COMMAND ARGS...\n"
    "       e2e-driver serve\n"
    "  serve                            read commands from standard input, one a line with\n"
    "                                   its arguments separated by tabs, until its end; answer\n"
    "                                   each with one line 'CODE<tab>OUTPUT<tab>ERRORS', where\n"
    "                                   a backslash, tab, CR and newline in OUTPUT and ERRORS\n"
    "                                   are written as \\\\, \\t, \\r and \\n\n"
    "  list                             every top-level window: handle, visibility, class, "
    "caption\n"
    "  wait-window CAPTION [SECONDS]    wait until a visible window has this caption\n"
    "  wait-gone CAPTION [SECONDS]      wait until no visible window has this caption\n"
    "  exists CAPTION                   exit 0 when a visible window has this caption now\n"
    "  click CAPTION BUTTON [SECONDS]   post a click to the window's visible button BUTTON\n"
    "  buttons CAPTION [SECONDS]        the texts of the window's visible buttons\n"
    "  text CAPTION [SECONDS]           class and text of every child control with a text\n"
    "  rect CAPTION [SECONDS]           'window L T R B', 'client X Y W H' in screen pixels and\n"
    "                                   'state maximized|minimized|normal'\n"
    "  controls CAPTION [SECONDS]       every visible child: class, 'L T W H' in its parent's\n"
    "                                   client area, for a text field 'lines N fits yes|no',\n"
    "                                   then its text's first line\n"
    "  close CAPTION [SECONDS]          post the window-close command (as Alt+F4 does)\n"
    "  key CAPTION KEY [SECONDS]        post KEY (escape, enter, space, tab) to the focused "
    "control\n"
    "  focus CAPTION [SECONDS]          'focus \"TEXT\"' of the control that has the keyboard in\n"
    "                                   the window's thread (the window's caption when none "
    "has)\n"
    "  owner CAPTION [SECONDS]          'owner \"CAPTION\"' (or 'owner none') and 'above-owner "
    "yes|no'\n"
    "  foreground                       'foreground \"CAPTION\"' of the window in front, or "
    "'foreground none'\n"
    "  open-window CAPTION X Y SECONDS  show a window of this program at X Y for SECONDS, as\n"
    "                                   another program for the user to switch to; prints\n"
    "                                   'front \"CAPTION\"' whenever another window comes to the "
    "front\n"
    "  dpi-change CAPTION DPI [SECONDS] send WM_DPICHANGED for DPI pixels per inch, with the\n"
    "                                   window's rectangle as the suggested one (a window that\n"
    "                                   keeps its place, as a maximised one does)\n"
    "SECONDS defaults to 20. Captions and texts are compared exactly; for buttons the\n"
    "mnemonic '&' may be left out.\n";

// Where a command's lines go: straight out in the one-shot form, where a long
// command (open-window) reports as it goes; gathered for one answer line when
// serving.
struct Output {
  bool gather = false;
  std::string out;
  std::string errors;
};

Output& CurrentOutput() {
  static Output output;
  return output;
}

void Emit(std::FILE* stream, std::string& gathered, const std::string& line) {
  if (CurrentOutput().gather) {
    gathered += line;
    gathered += '\n';
    return;
  }
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void Print(const std::string& line) {
  Emit(stdout, CurrentOutput().out, line);
}

void PrintError(const std::string& line) {
  Emit(stderr, CurrentOutput().errors, line);
}

void PrintUsage(std::FILE* stream) {
  if (CurrentOutput().gather) {
    CurrentOutput().errors += kUsage;
  } else {
    std::fputs(kUsage, stream);
  }
}

std::string Hex(HWND window) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%08lx",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
  return buffer;
}

// Lines of a control's text on their own output lines; a lone CR separates the
// lines of a message text.
std::string Flatten(const std::wstring& text) {
  std::string utf8 = WideToUtf8(text);
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      out += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

// Polls `found` every 100 ms until it holds or `seconds` have passed.
bool WaitFor(double seconds, const std::function<bool()>& found) {
  ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000.0);
  for (;;) {
    if (found()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(100);
  }
}

HWND WaitForWindow(const std::wstring& caption, double seconds) {
  HWND window = nullptr;
  WaitFor(seconds, [&] { return (window = FindVisibleTopLevel(caption)) != nullptr; });
  if (window == nullptr) PrintError("no visible window \"" + WideToUtf8(caption) + "\"");
  return window;
}

struct Arguments {
  std::vector<std::wstring> values;

  size_t Count() const { return values.size(); }
  const std::wstring& operator[](size_t i) const { return values[i]; }
  double Seconds(size_t i) const {
    if (i >= values.size()) return kDefaultSeconds;
    return std::wcstod(values[i].c_str(), nullptr);
  }
};

int List() {
  for (const WindowInfo& window : TopLevelWindows()) {
    Print(Hex(window.handle) + (window.visible ? " visible " : " hidden  ") +
          WideToUtf8(window.className) + " \"" + WideToUtf8(window.text) + "\"");
  }
  return 0;
}

int WaitWindow(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(2));
  if (window == nullptr) return 1;
  Print("found " + Hex(window));
  return 0;
}

int WaitGone(const Arguments& args) {
  if (!WaitFor(args.Seconds(2), [&] { return FindVisibleTopLevel(args[1]) == nullptr; })) {
    PrintError("window \"" + WideToUtf8(args[1]) + "\" is still there");
    return 1;
  }
  Print("gone");
  return 0;
}

int Exists(const Arguments& args) {
  HWND window = FindVisibleTopLevel(args[1]);
  Print(window != nullptr ? "exists " + Hex(window) : "absent");
  return window != nullptr ? 0 : 1;
}

// Posted, not sent: the click handler of the program under test may run a whole
// installation or a modal message box before it returns.
int Click(const Arguments& args) {
  HWND button = nullptr;
  bool found = WaitFor(args.Seconds(3), [&] {
    HWND window = FindVisibleTopLevel(args[1]);
    button = window != nullptr ? FindButton(window, args[2]) : nullptr;
    return button != nullptr && IsWindowEnabled(button);
  });
  if (!found) {
    PrintError("no enabled button \"" + WideToUtf8(args[2]) + "\" in a visible window \"" +
               WideToUtf8(args[1]) + "\"");
    return 1;
  }
  if (!PostMessageW(button, BM_CLICK, 0, 0)) {
    PrintError("posting the click failed, error " + std::to_string(GetLastError()));
    return 1;
  }
  Print("clicked " + Hex(button));
  return 0;
}

int Buttons(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(2));
  if (window == nullptr) return 1;
  for (const WindowInfo& child : Descendants(window)) {
    if (child.visible && _wcsicmp(child.className.c_str(), L"Button") == 0) {
      Print(WideToUtf8(child.text));
    }
  }
  return 0;
}

int Text(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(2));
  if (window == nullptr) return 1;
  for (const WindowInfo& child : Descendants(window)) {
    if (!child.visible || child.text.empty()) continue;
    std::string line = "[";
    line += WideToUtf8(child.className);
    line += "] ";
    line += Flatten(child.text);
    Print(line);
  }
  return 0;
}

int Rect(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(2));
  if (window == nullptr) return 1;
  RECT outer{};
  RECT client{};
  POINT origin{0, 0};
  if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client) ||
      !ClientToScreen(window, &origin)) {
    PrintError("the window's rectangle cannot be read, error " + std::to_string(GetLastError()));
    return 1;
  }
  char line[160];
  std::snprintf(line, sizeof line, "window %ld %ld %ld %ld", outer.left, outer.top, outer.right,
                outer.bottom);
  Print(line);
  std::snprintf(line, sizeof line, "client %ld %ld %ld %ld", origin.x, origin.y,
                client.right - client.left, client.bottom - client.top);
  Print(line);
  Print(IsZoomed(window)   ? "state maximized"
        : IsIconic(window) ? "state minimized"
                           : "state normal");
  return 0;
}

// For a multi-line text field: its number of lines (a line too long for the field
// wraps and adds one) and whether the last line lies wholly inside the field.
std::string EditFit(HWND edit) {
  const auto lines = SendMessageW(edit, EM_GETLINECOUNT, 0, 0);
  const int length = GetWindowTextLengthW(edit);
  const auto second = SendMessageW(edit, EM_LINEINDEX, 1, 0);
  const auto top = static_cast<short>(HIWORD(SendMessageW(edit, EM_POSFROMCHAR, 0, 0)));
  const auto next = static_cast<short>(HIWORD(SendMessageW(edit, EM_POSFROMCHAR, second, 0)));
  const auto last =
      static_cast<short>(HIWORD(SendMessageW(edit, EM_POSFROMCHAR, std::max(length - 1, 0), 0)));
  RECT client{};
  GetClientRect(edit, &client);
  const bool fits = second > 0 && last + (next - top) <= client.bottom;
  return " lines " + std::to_string(lines) + " fits " + (fits ? "yes" : "no");
}

int Controls(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(2));
  if (window == nullptr) return 1;
  for (const WindowInfo& child : Descendants(window)) {
    if (!child.visible) continue;
    RECT r = child.rect;
    MapWindowPoints(nullptr, GetParent(child.handle), reinterpret_cast<POINT*>(&r), 2);
    char bounds[96];
    std::snprintf(bounds, sizeof bounds, " %ld %ld %ld %ld", r.left, r.top, r.right - r.left,
                  r.bottom - r.top);
    std::string line = WideToUtf8(child.className) + bounds;
    if (_wcsicmp(child.className.c_str(), L"Edit") == 0) line += EditFit(child.handle);
    const std::string text = Flatten(child.text);
    Print(line + " " + text.substr(0, text.find('\n')));
  }
  return 0;
}

int Close(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(2));
  if (window == nullptr) return 1;
  if (!PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0)) {
    PrintError("posting the close command failed, error " + std::to_string(GetLastError()));
    return 1;
  }
  Print("close posted " + Hex(window));
  return 0;
}

// The control that has the keyboard in the window's thread, where a key press goes; the
// window itself when none has.
HWND KeyboardFocus(HWND window) {
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) &&
      thread.hwndFocus != nullptr) {
    return thread.hwndFocus;
  }
  return window;
}

// The key goes to the control that has the keyboard focus in the window's thread,
// where a keyboard would deliver it, so that the target's own message loop and
// dialog navigation handle it.
int Key(const Arguments& args) {
  struct NamedKey {
    const wchar_t* name;
    WPARAM code;
  };
  const NamedKey keys[] = {
      {L"escape", VK_ESCAPE}, {L"enter", VK_RETURN}, {L"space", VK_SPACE}, {L"tab", VK_TAB}};
  WPARAM code = 0;
  for (const NamedKey& key : keys) {
    if (args[2] == key.name) code = key.code;
  }
  if (code == 0) {
    PrintError("unknown key \"" + WideToUtf8(args[2]) + "\" (escape, enter, space, tab)");
    return 2;
  }
  HWND window = WaitForWindow(args[1], args.Seconds(3));
  if (window == nullptr) return 1;
  HWND target = KeyboardFocus(window);
  UINT scan = MapVirtualKeyW(static_cast<UINT>(code), MAPVK_VK_TO_VSC);
  LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
  if (!PostMessageW(target, WM_KEYDOWN, code, down) || !PostMessageW(target, WM_KEYUP, code, up)) {
    PrintError("posting the key failed, error " + std::to_string(GetLastError()));
    return 1;
  }
  Print("key posted to " + Hex(target));
  return 0;
}

std::string Quoted(HWND window) {
  std::string quoted = "\"";
  quoted += WideToUtf8(Describe(window).text);
  quoted += '"';
  return quoted;
}

// Whom a message box belongs to: its owner, and whether it lies above that owner.
int Owner(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(2));
  if (window == nullptr) return 1;
  HWND owner = GetWindow(window, GW_OWNER);
  Print(owner != nullptr ? "owner " + Quoted(owner) : "owner none");
  bool above = false;
  for (HWND below = GetWindow(window, GW_HWNDNEXT); owner != nullptr && below != nullptr;
       below = GetWindow(below, GW_HWNDNEXT)) {
    above = above || below == owner;
  }
  Print(above ? "above-owner yes" : "above-owner no");
  return 0;
}

int Focus(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(3));
  if (window == nullptr) return 1;
  Print("focus " + Quoted(KeyboardFocus(window)));
  return 0;
}

int Foreground() {
  HWND window = GetForegroundWindow();
  Print(window != nullptr ? "foreground " + Quoted(window) : "foreground none");
  return 0;
}

// A window of another program: the user may switch to it while the setup works.
// Watching the front from here tells, without a race against the setup, what was
// in front just before a message box came there.
// SS_NOTIFY: without it a static window lets clicks through to the window below.
int OpenWindow(const Arguments& args) {
  HWND window = CreateWindowExW(
      0, L"STATIC", args[1].c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE | SS_NOTIFY,
      std::wcstol(args[2].c_str(), nullptr, 10), std::wcstol(args[3].c_str(), nullptr, 10), 240,
      120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) {
    PrintError("the window cannot be created, error " + std::to_string(GetLastError()));
    return 1;
  }
  Print("opened " + Hex(window));
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(args.Seconds(4) * 1000.0);
  HWND front = nullptr;
  while (GetTickCount64() < deadline) {
    if (HWND now = GetForegroundWindow(); now != front) {
      front = now;
      if (front != nullptr) Print("front " + Quoted(front));
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  DestroyWindow(window);
  return 0;
}

// Sent, not posted: the message carries a pointer to the suggested rectangle, and
// the command returns once the window has laid itself out for the density. Wine
// hands the pointer over between processes unchanged, so the rectangle is written
// into the memory of the window's process.
int DpiChange(const Arguments& args) {
  const long dpi = std::wcstol(args[2].c_str(), nullptr, 10);
  if (dpi < 48 || dpi > 960) {
    PrintError("DPI must be a number from 48 to 960, not \"" + WideToUtf8(args[2]) + "\"");
    return 2;
  }
  HWND window = WaitForWindow(args[1], args.Seconds(3));
  if (window == nullptr) return 1;
  RECT suggested{};
  GetWindowRect(window, &suggested);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
  void* remote = process != nullptr ? VirtualAllocEx(process, nullptr, sizeof suggested,
                                                     MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                                    : nullptr;
  DWORD_PTR result = 0;
  const bool sent =
      remote != nullptr &&
      WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr) &&
      SendMessageTimeoutW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                          reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 10000, &result);
  const DWORD error = GetLastError();
  if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (process != nullptr) CloseHandle(process);
  if (!sent) {
    PrintError("sending WM_DPICHANGED failed, error " + std::to_string(error));
    return 1;
  }
  Print("dpi-change " + std::to_string(dpi) + " sent to " + Hex(window));
  return 0;
}

int Style(const Arguments& args) {
  HWND window = WaitForWindow(args[1], args.Seconds(2));
  if (window == nullptr) return 1;
  struct NamedStyle {
    const char* name;
    LONG bits;
  };
  const NamedStyle styles[] = {
      {"caption", WS_CAPTION},
      {"sysmenu", WS_SYSMENU},
      {"thickframe", WS_THICKFRAME},
      {"dlgframe", WS_DLGFRAME},
      {"minimizebox", WS_MINIMIZEBOX},
      {"maximizebox", WS_MAXIMIZEBOX},
      {"popup", static_cast<LONG>(WS_POPUP)},
      {"disabled", WS_DISABLED},
  };
  LONG style = GetWindowLongW(window, GWL_STYLE);
  std::string line;
  for (const NamedStyle& named : styles) {
    if ((style & named.bits) != named.bits) continue;
    if (!line.empty()) line += ' ';
    line += named.name;
  }
  Print(line);
  return 0;
}

// A system colour as the running Windows (or Wine) resolves it, for comparing
// pixels painted in system colours.
int SysColor(const Arguments& args) {
  int index = std::wcstol(args[1].c_str(), nullptr, 10);
  DWORD colour = GetSysColor(index);
  char line[48];
  std::snprintf(line, sizeof line, "%u %u %u", GetRValue(colour), GetGValue(colour),
                GetBValue(colour));
  Print(line);
  return 0;
}

struct Command {
  const wchar_t* name;
  size_t required;  // arguments after the command's name
  int (*run)(const Arguments&);
};

const Command kCommands[] = {
    {L"list", 0, [](const Arguments&) { return List(); }},
    {L"wait-window", 1, WaitWindow},
    {L"wait-gone", 1, WaitGone},
    {L"exists", 1, Exists},
    {L"click", 2, Click},
    {L"buttons", 1, Buttons},
    {L"text", 1, Text},
    {L"rect", 1, Rect},
    {L"controls", 1, Controls},
    {L"close", 1, Close},
    {L"key", 2, Key},
    {L"focus", 1, Focus},
    {L"style", 1, Style},
    {L"syscolor", 1, SysColor},
    {L"owner", 1, Owner},
    {L"foreground", 0, [](const Arguments&) { return Foreground(); }},
    {L"open-window", 4, OpenWindow},
    {L"dpi-change", 2, DpiChange},
};

int Run(const Arguments& args) {
  if (args.Count() < 1 || args[0] == L"--help" || args[0] == L"-h") {
    PrintUsage(args.Count() < 1 ? stderr : stdout);
    return args.Count() < 1 ? 2 : 0;
  }
  for (const Command& command : kCommands) {
    if (args[0] != command.name) continue;
    if (args.Count() < command.required + 1) {
      PrintError("e2e-driver: " + WideToUtf8(args[0]) + " needs " +
                 std::to_string(command.required) + " argument(s)");
      PrintUsage(stderr);
      return 2;
    }
    return command.run(args);
  }
  PrintError("e2e-driver: unknown command \"" + WideToUtf8(args[0]) + "\"");
  PrintUsage(stderr);
  return 2;
}

// One answer stays one line: the separators and line ends inside it are escaped.
std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\n':
        escaped += "\\n";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

Arguments SplitAtTabs(const std::string& line) {
  Arguments args;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    args.values.push_back(Utf8ToWide(line.substr(start, tab - start)));
    if (tab == std::string::npos) return args;
    start = tab + 1;
  }
}

// Commands from standard input until its end, each answered on one line as soon as
// it is done, so that the caller may wait for the answer before the next step.
int Serve() {
  _setmode(_fileno(stdin), _O_BINARY);
  Output& output = CurrentOutput();
  output.gather = true;
  std::string line;
  for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    output.out.clear();
    output.errors.clear();
    const int code = line.empty() ? 2 : Run(SplitAtTabs(line));
    line.clear();
    const std::string answer =
        std::to_string(code) + '\t' + Escaped(output.out) + '\t' + Escaped(output.errors) + '\n';
    std::fwrite(answer.data(), 1, answer.size(), stdout);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace
}  // namespace qvr::e2e

// The programs under test scale themselves to the display's density; the driver
// reads their windows in real pixels only when it is aware of the density too.
void ReadRealPixels() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  const FARPROC found =
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext");
  const auto set = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(found));
  // -4: per monitor, version 2.
  if (set == nullptr || !set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
    SetProcessDPIAware();
}

int main() {
  ReadRealPixels();
  // Plain LF line ends for the shell scripts that read the output.
  _setmode(_fileno(stdout), _O_BINARY);
  // The wide command line keeps umlauts in captions such as "Bestätigen" intact.
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  qvr::e2e::Arguments args;
  for (int i = 1; argv != nullptr && i < count; ++i) args.values.emplace_back(argv[i]);
  LocalFree(argv);
  if (args.Count() == 1 && args[0] == L"serve") return qvr::e2e::Serve();
  return qvr::e2e::Run(args);
}
