// The accessible object of a window's client area, which a screen reader asks for with
// WM_GETOBJECT: the system's standard object, with what the system cannot know of our
// windows. A form's windowless controls become children after its child windows,
// decoration is left out, and a message box is a dialog as the system's own boxes are.
#pragma once

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include <cstddef>
#include <vector>

#include "framework/Accessible.h"

namespace qvr {

// What a window adds to the standard object of its client area.
class AccessibleSource {
 public:
  // The role of the client area; 0 keeps the standard one.
  virtual LONG ClientRole() const { return 0; }
  // A child window that only decorates and is left out of the children.
  virtual bool IsDecoration(HWND /*child*/) const { return false; }
  // The windowless elements by number; an empty one was removed.
  virtual const std::vector<DescribeAccessible>& Elements() const;
  // How many child windows the window has: the standard object numbers them from 1,
  // and the elements follow them.
  virtual std::size_t ChildWindowCount() const { return 0; }

 protected:
  ~AccessibleSource() = default;
};

class AccessibleClientAreaObject;

// Answers WM_GETOBJECT for one window's client area, with the same object for the
// window's whole life. A client may keep the object after the window is gone: it then
// answers as the standard object does, without elements.
class AccessibleClientArea {
 public:
  explicit AccessibleClientArea(const AccessibleSource& source);
  ~AccessibleClientArea();
  AccessibleClientArea(const AccessibleClientArea&) = delete;
  AccessibleClientArea& operator=(const AccessibleClientArea&) = delete;

  // The answer to WM_GETOBJECT; 0 for any other object than the client area, which
  // the system then describes by itself.
  LRESULT Answer(HWND window, WPARAM wParam, LPARAM lParam);
  // Raises `event` of element `element` for assistive technology.
  void Notify(HWND window, std::size_t element, AccessibleEvent event) const;

 private:
  const AccessibleSource& source_;
  Microsoft::WRL::ComPtr<AccessibleClientAreaObject> object_;
};

}  // namespace qvr
