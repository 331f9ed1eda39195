// What a screen reader finds, read inside the process (Wine answers other processes
// nothing): a window's accessible object as a tree, and the events the program raises.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvr::test {

// One object or simple element as a screen reader reads it. A child window is read
// through the accessible object of its own client area, as Wine has no other.
struct AccessibleNode {
  long role = 0;
  std::string name;
  std::string value;
  long state = 0;
  RECT location{};        // on the screen
  long childId = 0;       // a simple element's; 0 for an object
  HWND window = nullptr;  // the window of an object
  std::vector<AccessibleNode> children;
};

// The object that `window` gives for its client area, with its children: those of the
// window's own answer, or with `standard` those of the system's standard object.
AccessibleNode ReadClientArea(HWND window, bool standard = false);

// Role and name of each node ("10 Install >>"), to compare lists of children.
std::vector<std::string> RolesAndNames(const std::vector<AccessibleNode>& nodes);

// The screen location of a rectangle of `window`'s client area.
RECT OnScreen(HWND window, int left, int top, int width, int height);

// Records the events that this process raises while it lives; the hook runs inside the
// call that raises the event, so nothing is missed or late.
class WinEventRecorder {
 public:
  struct Event {
    DWORD event;
    HWND window;
    LONG object;
    LONG child;
  };
  WinEventRecorder();
  ~WinEventRecorder();
  WinEventRecorder(const WinEventRecorder&) = delete;
  WinEventRecorder& operator=(const WinEventRecorder&) = delete;

  const std::vector<Event>& Events() const { return events_; }
  // How many `event`s of `window` (any window when null) with `child` (any when -1).
  // Throws std::runtime_error when an event could not be recorded.
  int Count(DWORD event, HWND window = nullptr, LONG child = -1) const;

 private:
  static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                              DWORD, DWORD);
  HWINEVENTHOOK hook_;
  std::vector<Event> events_;
  bool lost_ = false;
};

}  // namespace qvr::test
