#include "support/win32/AccessibleProbe.h"

#include <oleacc.h>
#include <wrl/client.h>

#include <stdexcept>

#include "platform/win32/Bstr.h"
#include "platform/win32/Variant.h"
#include "platform/win32/WinText.h"

namespace qvr::test {
namespace {

using Microsoft::WRL::ComPtr;

WinEventRecorder* recording = nullptr;

// Role, name, value, state and location of `child` of `object`.
void ReadProperties(IAccessible& object, LONG child, AccessibleNode& node) {
  const Variant id(child);
  Variant role;
  Variant state;
  Bstr name;
  Bstr value;
  if (object.get_accRole(*id.Get(), role.Receive()) == S_OK) node.role = role.Get()->lVal;
  if (object.get_accState(*id.Get(), state.Receive()) == S_OK) node.state = state.Get()->lVal;
  object.get_accName(*id.Get(), name.Receive());
  object.get_accValue(*id.Get(), value.Receive());
  node.name = WideToUtf8(name.Text());
  node.value = WideToUtf8(value.Text());
  long x = 0, y = 0, w = 0, h = 0;
  if (object.accLocation(&x, &y, &w, &h, *id.Get()) == S_OK) node.location = {x, y, x + w, y + h};
}

ComPtr<IAccessible> ClientObject(HWND window, bool standard) {
  ComPtr<IAccessible> object;
  void** out = reinterpret_cast<void**>(object.GetAddressOf());
  const HRESULT result =
      standard ? CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), out)
               : AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), out);
  if (FAILED(result) || !object) throw std::runtime_error("no accessible object for the window");
  return object;
}

}  // namespace

AccessibleNode ReadClientArea(HWND window, bool standard) {
  const ComPtr<IAccessible> object = ClientObject(window, standard);
  AccessibleNode node;
  node.window = window;
  ReadProperties(*object.Get(), CHILDID_SELF, node);
  long count = 0;
  object->get_accChildCount(&count);
  std::vector<VARIANT> children(static_cast<std::size_t>(count));
  long got = 0;
  if (count > 0) AccessibleChildren(object.Get(), 0, count, children.data(), &got);
  for (long i = 0; i < got; ++i) {
    Variant child;
    *child.Receive() = children[static_cast<std::size_t>(i)];
    AccessibleNode& read = node.children.emplace_back();
    const VARIANT& v = *child.Get();
    if (v.vt == VT_I4) {
      read.childId = v.lVal;
      ReadProperties(*object.Get(), v.lVal, read);
      continue;
    }
    ComPtr<IAccessible> childObject;
    HWND childWindow = nullptr;
    if (v.vt == VT_DISPATCH && v.pdispVal != nullptr &&
        SUCCEEDED(v.pdispVal->QueryInterface(
            __uuidof(IAccessible), reinterpret_cast<void**>(childObject.GetAddressOf()))) &&
        SUCCEEDED(WindowFromAccessibleObject(childObject.Get(), &childWindow))) {
      read.window = childWindow;
      ReadProperties(*ClientObject(childWindow, false).Get(), CHILDID_SELF, read);
    }
  }
  return node;
}

std::vector<std::string> RolesAndNames(const std::vector<AccessibleNode>& nodes) {
  std::vector<std::string> read;
  for (const AccessibleNode& node : nodes)
    read.push_back(std::to_string(node.role) + " " + node.name);
  return read;
}

RECT OnScreen(HWND window, int left, int top, int width, int height) {
  POINT origin{left, top};
  ClientToScreen(window, &origin);
  return {origin.x, origin.y, origin.x + width, origin.y + height};
}

WinEventRecorder::WinEventRecorder()
    : hook_(SetWinEventHook(EVENT_MIN, EVENT_MAX, GetModuleHandleW(nullptr), &Record,
                            GetCurrentProcessId(), 0, WINEVENT_INCONTEXT)) {
  if (hook_ == nullptr) throw std::runtime_error("cannot hook the events");
  recording = this;
}

WinEventRecorder::~WinEventRecorder() {
  recording = nullptr;
  UnhookWinEvent(hook_);
}

int WinEventRecorder::Count(DWORD event, HWND window, LONG child) const {
  if (lost_) throw std::runtime_error("an event could not be recorded");
  int count = 0;
  for (const Event& e : events_) {
    if (e.event == event && (window == nullptr || e.window == window) &&
        (child == -1 || e.child == child)) {
      ++count;
    }
  }
  return count;
}

void CALLBACK WinEventRecorder::Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object,
                                       LONG child, DWORD, DWORD) {
  if (recording == nullptr) return;
  try {
    recording->events_.push_back({event, window, object, child});
  } catch (...) {
    // Nothing may unwind into the system; Count reports the loss.
    recording->lost_ = true;
  }
}

}  // namespace qvr::test
