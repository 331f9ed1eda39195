// The demo product that the setup installs: one window that names the product, so
// that a started shortcut shows at a glance that the installed program runs.

#include <windows.h>

namespace {

constexpr wchar_t kClassName[] = L"QVRKelvadorMain";
constexpr wchar_t kProductName[] = L"QVR-Kelvador [DV2.95]";

// BeginPaint must be matched by EndPaint on every path out of WM_PAINT.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

void Paint(HWND window) {
  PaintScope paint(window);
  RECT client{};
  GetClientRect(window, &client);
  SetBkMode(paint.Dc(), TRANSPARENT);
  SetTextColor(paint.Dc(), RGB(0, 0, 0));
  // A stock object: owned by the system, never deleted.
  SelectObject(paint.Dc(), GetStockObject(DEFAULT_GUI_FONT));
  DrawTextW(paint.Dc(), kProductName, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  if (RegisterClassW(&windowClass) == 0) return 1;

  HWND window = CreateWindowExW(0, kClassName, kProductName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 480, 240, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
