// Runs test steps from inside the modal loops of the windows under test: a step is
// posted before the loop starts and dispatched by it once the modal window is up.
#pragma once

#include <windows.h>

#include <functional>

namespace qvr::test {

class StepDriver {
 public:
  StepDriver();
  ~StepDriver();
  StepDriver(const StepDriver&) = delete;
  StepDriver& operator=(const StepDriver&) = delete;

  // Runs `step` when this thread next dispatches its messages; replaces a step not run yet.
  void Post(std::function<void()> step);

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_;
  std::function<void()> step_;
};

}  // namespace qvr::test
