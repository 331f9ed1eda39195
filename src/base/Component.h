// The component base that the packer, the shell, the gauge and the window framework
// share: every reusable piece has an owner that outlives it. Forms are components with
// a top-level window.
#pragma once

namespace qvr {

class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }

 private:
  TComponent* owner_;
};

// The platform's window handle, opaque to the portable code (an HWND on Windows).
using NativeWindow = void*;

// A form: a component with a top-level window of its own.
class TCustomForm : public TComponent {
 public:
  using TComponent::TComponent;
  // The form's window; null while it has none (always null in the headless backend).
  virtual NativeWindow WindowHandle() const = 0;
};

}  // namespace qvr
