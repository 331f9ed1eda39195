#include "support/win32/StepDriver.h"

#include <utility>

namespace qvr::test {
namespace {

constexpr UINT kRun = WM_APP + 7;
constexpr wchar_t kClass[] = L"QvrTestStepDriver";

}  // namespace

StepDriver::StepDriver() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &StepDriver::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassExW(&wc);
  window_ =
      CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

StepDriver::~StepDriver() {
  DestroyWindow(window_);
}

void StepDriver::Post(std::function<void()> step) {
  step_ = std::move(step);
  PostMessageW(window_, kRun, 0, 0);
}

LRESULT CALLBACK StepDriver::Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<StepDriver*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  if (m != kRun || self == nullptr || !self->step_) return DefWindowProcW(w, m, wp, lp);
  auto step = std::move(self->step_);
  // A step is test code: whatever escapes it ends the test program, with its message,
  // instead of unwinding through the window system.
  [&step]() noexcept { step(); }();
  return 0;
}

}  // namespace qvr::test
