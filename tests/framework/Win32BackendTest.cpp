// The Win32 backend with real windows (run under Wine): window classes, texts and
// bounds of the controls, and the message dialog answered by clicking its buttons.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Exceptions.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/win32/Win32Backend.h"
#include "framework/win32/Win32Common.h"
#include "platform/win32/WinText.h"
#include "support/win32/AccessibleProbe.h"
#include "support/win32/StepDriver.h"

namespace qvr {
namespace {

std::string Text(HWND window) {
  wchar_t buffer[512];
  const int n = GetWindowTextW(window, buffer, 512);
  return WideToUtf8(std::wstring(buffer, n));
}

std::string ClassOf(HWND window) {
  wchar_t buffer[64];
  const int n = GetClassNameW(window, buffer, 64);
  return WideToUtf8(std::wstring(buffer, n));
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND ChildWithText(HWND parent, const std::string& text) {
  for (HWND child : Children(parent)) {
    if (Text(child) == text) return child;
  }
  return nullptr;
}

TBounds BoundsInParent(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

class Win32BackendTest : public ::testing::Test {
 protected:
  Win32BackendTest() { app.Title = "Setup"; }

  // Windows need a display; under Wine without one (a plain test run) none can be made.
  void SetUp() override {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no display to create windows on";
    DestroyWindow(probe);
  }

  // Shows the main form and gives the dialog a small design for a modal showing.
  static void PrepareModal(TForm& main, TForm& dialog) {
    main.Show();
    dialog.SetCaption("Modal");
    dialog.ClientWidth = 200;
    dialog.ClientHeight = 100;
  }

  Win32Backend backend;
  TApplication app{backend};
  test::StepDriver driver;
};

TEST_F(Win32BackendTest, FormsAndControlsAreStandardWindowsAtTheirBounds) {
  TForm main(app);
  TForm dialog(app);
  dialog.SetCaption("QVR-KELVADOR V2");
  dialog.BorderStyle = bsDialog;
  dialog.BorderIcons = false;
  dialog.ClientWidth = 550;
  dialog.ClientHeight = 443;
  TPanel panel(dialog, nullptr);
  panel.SetBounds(8, 8, 529, 393);
  TMemo memo(dialog, &panel);
  memo.SetBounds(8, 48, 513, 281);
  memo.Alignment = taCenter;
  memo.ReadOnly = true;
  memo.SetEnabled(false);
  memo.SetLines({"Liebe Kundin,", "", "Ihr Team"});
  TLabel label(dialog, &panel);
  label.SetBounds(160, 24, 188, 19);
  label.SetCaption("Dateien werden installiert ...");
  label.SetVisible(false);
  TButton button(dialog, nullptr);
  button.SetBounds(462, 407, 75, 25);
  button.SetCaption("Install >>");
  dialog.HandleNeeded();

  const auto w = static_cast<HWND>(dialog.WindowHandle());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Text(w), "QVR-KELVADOR V2");
  EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & WS_SYSMENU, 0);
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 550);
  EXPECT_EQ(client.bottom, 443);

  const auto b = static_cast<HWND>(button.Handle());
  EXPECT_EQ(ClassOf(b), "Button");
  EXPECT_EQ(Text(b), "Install >>");
  EXPECT_EQ(BoundsInParent(b), (TBounds{462, 407, 75, 25}));
  const auto m = static_cast<HWND>(memo.Handle());
  EXPECT_EQ(ClassOf(m), "Edit");
  EXPECT_EQ(Text(m), "Liebe Kundin,\r\n\r\nIhr Team");
  EXPECT_NE(GetWindowLongW(m, GWL_STYLE) & ES_CENTER, 0);
  EXPECT_FALSE(IsWindowEnabled(m));
  EXPECT_EQ(GetParent(m), static_cast<HWND>(panel.Handle()));
  EXPECT_EQ(BoundsInParent(m), (TBounds{8, 48, 513, 281}));
  const auto l = static_cast<HWND>(label.Handle());
  EXPECT_EQ(ClassOf(l), "Static");
  EXPECT_FALSE(IsWindowVisible(l));
  label.SetVisible(true);
  label.SetCaption("Fertig");
  EXPECT_NE(GetWindowLongW(l, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_EQ(Text(l), "Fertig");

  // A click on the real button reaches OnClick.
  int clicks = 0;
  button.OnClick = [&](TComponent*) { ++clicks; };
  SendMessageW(b, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
}

TEST_F(Win32BackendTest, ActivationLaysOutTheControlsBeforeTheirFirstPaint) {
  TForm form(app);
  form.ClientWidth = 300;
  form.ClientHeight = 200;
  TImage image(form, nullptr);
  image.SetBounds(0, 0, 100, 50);
  int activations = 0;
  bool paintedBeforeActivation = true;
  form.OnActivate = [&](TComponent*) {
    ++activations;
    RECT pending;
    paintedBeforeActivation =
        GetUpdateRect(static_cast<HWND>(image.Handle()), &pending, FALSE) == 0;
    image.SetBounds(10, 10, 50, 20);
  };
  form.Show();
  for (int i = 0; i < 100 && activations == 0; ++i) {
    app.ProcessMessages();
    Sleep(10);
  }
  ASSERT_EQ(activations, 1);
  EXPECT_FALSE(paintedBeforeActivation);
}

TEST_F(Win32BackendTest, SetBoundsMovesAFormThatHasItsWindow) {
  TForm form(app);
  form.ClientWidth = 300;
  form.ClientHeight = 200;
  form.HandleNeeded();
  form.SetBounds(20, 30, 320, 240);
  EXPECT_EQ(form.BoundsRect(), (TBounds{20, 30, 320, 240}));
}

TEST_F(Win32BackendTest, KeyboardReturnsToTheFocusedButtonAfterAMessageBox) {
  TForm main(app);
  TForm dialog(app);
  PrepareModal(main, dialog);
  TButton first(dialog, nullptr);
  first.SetBounds(10, 10, 75, 25);
  TButton second(dialog, nullptr);
  second.SetBounds(100, 10, 75, 25);
  HWND focusAfterBox = nullptr;
  driver.Post([&] {
    SetFocus(static_cast<HWND>(second.Handle()));
    driver.Post(
        [] { PostMessageW(FindWindowW(L"QvrMessageDialog", L"Bestätigen"), WM_CLOSE, 0, 0); });
    MessageDlg(dialog, "Sicher?", mtConfirmation, {mbYes, mbNo});
    focusAfterBox = GetFocus();
    dialog.ModalResult = mrOk;
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(focusAfterBox, static_cast<HWND>(second.Handle()));
}

// Another program's window: on a thread of its own, with an input queue of its own,
// as another process's window would be; it takes the foreground when it is up.
class OtherProgram {
 public:
  OtherProgram()
      : thread_([this] {
          HWND window =
              CreateWindowExW(0, L"STATIC", L"Anderes Programm", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              0, 0, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
          SetForegroundWindow(window);
          threadId_ = GetCurrentThreadId();
          window_ = window;
          MSG msg;
          while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
          DestroyWindow(window);
        }) {}
  ~OtherProgram() {
    while (threadId_ == 0) Sleep(10);
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  // Waits, dispatching this thread's messages, until the window is in front and
  // the calling thread has let go of its active window, which made boxes ownerless.
  bool InFront(TApplication& app) const {
    for (int i = 0; i < 200; ++i) {
      if (window_ != nullptr && GetForegroundWindow() == window_ && GetActiveWindow() == nullptr) {
        return true;
      }
      app.ProcessMessages();
      Sleep(10);
    }
    return false;
  }

 private:
  std::atomic<HWND> window_{nullptr};
  std::atomic<DWORD> threadId_{0};
  std::thread thread_;
};

TEST_F(Win32BackendTest, MessageBoxRaisedWhileAnotherProgramIsActiveStaysWithItsForm) {
  TForm main(app);
  TForm dialog(app);
  PrepareModal(main, dialog);
  HWND owner = nullptr;
  bool boxInFront = false;
  std::optional<OtherProgram> other;
  driver.Post([&] {
    // The user switches to another program while the dialog is busy.
    other.emplace();
    ASSERT_TRUE(other->InFront(app));
    driver.Post([&] {
      HWND box = FindWindowW(L"QvrMessageDialog", L"Warnung");
      owner = GetWindow(box, GW_OWNER);
      boxInFront = GetForegroundWindow() == box;
      PostMessageW(box, WM_CLOSE, 0, 0);
    });
    MessageDlg(dialog, "Fertig", mtWarning, {mbYes, mbNo});
    dialog.ModalResult = mrOk;
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(owner, static_cast<HWND>(dialog.WindowHandle()));
  EXPECT_TRUE(boxInFront);
}

TEST_F(Win32BackendTest, MessageDialogHasGermanButtonsAndAnswersByThem) {
  TForm asking(app);
  struct Case {
    std::vector<TMsgDlgBtn> buttons;
    const char* press;  // a button text, "" for the close box, "<esc>" or "<alt+n>" for keys
    TModalResult answer;
  } cases[] = {
      {{mbYes, mbNo}, "&Nein", mrNo},
      {{mbYes, mbNo}, "&Ja", mrYes},
      {{mbYes, mbCancel}, "Abbrechen", mrCancel},
      {{mbYes, mbNo}, "", mrCancel},
      {{mbYes, mbNo}, "<esc>", mrCancel},
      {{mbYes, mbNo}, "<alt+n>", mrNo},
      {{mbOK}, "OK", mrOk},
  };
  for (const auto& c : cases) {
    std::vector<std::string> seen;
    std::string text;
    driver.Post([&] {
      HWND box = FindWindowW(L"QvrMessageDialog", L"Bestätigen");
      ASSERT_NE(box, nullptr);
      for (HWND child : Children(box)) {
        if (ClassOf(child) == "Button") seen.push_back(Text(child));
        if (ClassOf(child) == "Static" && !Text(child).empty()) text = Text(child);
      }
      const std::string press = c.press;
      if (press.empty()) {
        PostMessageW(box, WM_CLOSE, 0, 0);
      } else if (press == "<esc>") {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
      } else if (press == "<alt+n>") {
        PostMessageW(GetFocus(), WM_SYSCHAR, 'n', 1 | (1 << 29));
      } else {
        PostMessageW(ChildWithText(box, c.press), BM_CLICK, 0, 0);
      }
    });
    EXPECT_EQ(MessageDlg(asking, "Erste Zeile\rZweite Zeile", mtConfirmation, c.buttons), c.answer)
        << c.press;
    std::vector<std::string> expected;
    for (TMsgDlgBtn b : c.buttons) expected.push_back(ButtonText(b));
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(text, "Erste Zeile\r\nZweite Zeile");
  }
}

// Each kind of box the setup shows reads as the system's own boxes do: a dialog named by
// its caption, announced as it opens and before the button that has the keyboard, its
// text a child named by it; the children are those of the standard object.
TEST_F(Win32BackendTest, MessageBoxesReadLikeTheSystemsOwn) {
  TForm asking(app);
  const std::string text = "FehlerCode = 5\rDie Installation wird abgebrochen!!!";
  struct Case {
    const char* caption;
    std::function<void()> show;
    std::string text;  // as the box shows it
  } cases[] = {
      {"Bestätigen",
       [&] {
         MessageDlg(asking, text, mtConfirmation, {mbYes, mbCancel});
       },
       text},
      {"Warnung",
       [&] {
         MessageDlg(asking, text, mtWarning, {mbYes, mbNo});
       },
       text},
      {"Setup", [&] { MessageDlg(asking, text, mtCustom, {mbOK}); }, text},
      {"Setup", [&] { app.ShowException("Fenster kaputt", &asking); }, "Fenster kaputt."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    HWND box = nullptr;
    HWND focus = nullptr;
    test::AccessibleNode read;
    test::AccessibleNode standard;
    std::size_t startedAt = 0;
    test::WinEventRecorder events;
    driver.Post([&] {
      box = FindWindowW(L"QvrMessageDialog", Utf8ToWide(c.caption).c_str());
      ASSERT_NE(box, nullptr);
      read = test::ReadClientArea(box);
      standard = test::ReadClientArea(box, true);
      focus = GetFocus();
      startedAt = events.Events().size();
      PostMessageW(box, WM_CLOSE, 0, 0);
    });
    c.show();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(read.role, ROLE_SYSTEM_DIALOG);
    EXPECT_EQ(read.name, c.caption);
    EXPECT_EQ(test::RolesAndNames(read.children), test::RolesAndNames(standard.children));
    EXPECT_TRUE(std::any_of(read.children.begin(), read.children.end(),
                            [&](const test::AccessibleNode& child) {
                              return child.name == WideToUtf8(WindowText(c.text));
                            }));
    // Announced once, before the keyboard comes to its first button; ended once.
    const auto& seen = events.Events();
    const auto first = [&](DWORD event, HWND window) {
      return std::find_if(seen.begin(), seen.end(),
                          [&](const auto& e) { return e.event == event && e.window == window; }) -
             seen.begin();
    };
    EXPECT_EQ(events.Count(EVENT_SYSTEM_DIALOGSTART, box), 1);
    EXPECT_LT(first(EVENT_SYSTEM_DIALOGSTART, box), first(EVENT_OBJECT_FOCUS, focus));
    EXPECT_LE(first(EVENT_SYSTEM_DIALOGSTART, box), static_cast<std::ptrdiff_t>(startedAt));
    EXPECT_EQ(events.Count(EVENT_SYSTEM_DIALOGEND, box), 1);
  }
}

TEST_F(Win32BackendTest, MessageBoxIsLaidOutAgainOnADisplayOfAnotherDensity) {
  TForm asking(app);
  std::vector<TBounds> before;
  std::vector<TBounds> after;
  LONG fontBefore = 0;
  LONG fontAfter = 0;
  driver.Post([&] {
    HWND box = FindWindowW(L"QvrMessageDialog", L"Bestätigen");
    ASSERT_NE(box, nullptr);
    const auto read = [box](std::vector<TBounds>& bounds, LONG& fontHeight) {
      for (HWND child : Children(box)) bounds.push_back(BoundsInParent(child));
      LOGFONTW font{};
      GetObjectW(reinterpret_cast<HFONT>(SendMessageW(ChildWithText(box, "&Ja"), WM_GETFONT, 0, 0)),
                 sizeof font, &font);
      fontHeight = font.lfHeight;
    };
    read(before, fontBefore);
    RECT suggested;
    GetWindowRect(box, &suggested);
    SendMessageW(box, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    read(after, fontAfter);
    PostMessageW(box, WM_CLOSE, 0, 0);
  });
  MessageDlg(asking, "Sicher?", mtConfirmation, {mbYes, mbNo});
  // Icon, text, "&Ja", "&Nein": the icon and the buttons at twice their size and place.
  ASSERT_EQ(before.size(), 4u);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(before[0], (TBounds{12, 12, 32, 32}));
  EXPECT_EQ(after[0], (TBounds{24, 24, 64, 64}));
  for (std::size_t i : {2u, 3u}) {
    EXPECT_EQ(before[i].Width, 75);
    EXPECT_EQ(after[i].Width, 150);
    EXPECT_EQ(after[i].Height, 50);
  }
  EXPECT_GT(after[1].Width, before[1].Width);
  EXPECT_NEAR(fontAfter, 2 * fontBefore, 1);
}

TEST_F(Win32BackendTest, MessageBoxOpensCentredOverItsOwnerInsideTheWorkArea) {
  TForm asking(app);
  asking.ClientWidth = 400;
  asking.ClientHeight = 300;
  asking.Show();
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT work = monitor.rcWork;
  // Where the owner lies and which edges of the box that decides.
  enum Expect { Centred, AtTopLeft, AtBottomRight };
  struct Case {
    int left, top;
    Expect expect;
  } cases[] = {
      {work.left + 150, work.top + 100, Centred},
      {work.left - 350, work.top - 250, AtTopLeft},
      {work.right - 60, work.bottom - 40, AtBottomRight},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.left) + "," + std::to_string(c.top));
    asking.SetBounds(c.left, c.top, asking.Width(), asking.Height());
    RECT box{};
    driver.Post([&] {
      HWND found = FindWindowW(L"QvrMessageDialog", L"Bestätigen");
      GetWindowRect(found, &box);
      PostMessageW(found, WM_CLOSE, 0, 0);
    });
    MessageDlg(asking, "Sicher?", mtConfirmation, {mbYes, mbNo});
    const TBounds owner = asking.BoundsRect();
    switch (c.expect) {
      case Centred:
        EXPECT_NEAR(box.left + box.right, 2 * owner.Left + owner.Width, 1);
        EXPECT_NEAR(box.top + box.bottom, 2 * owner.Top + owner.Height, 1);
        break;
      case AtTopLeft:
        EXPECT_EQ(box.left, work.left);
        EXPECT_EQ(box.top, work.top);
        break;
      case AtBottomRight:
        EXPECT_EQ(box.right, work.right);
        EXPECT_EQ(box.bottom, work.bottom);
        break;
    }
  }
}

TEST_F(Win32BackendTest, ModalFormEndsThroughItsCloseHandlingAndNotAfterTerminate) {
  TForm main(app);
  TForm dialog(app);
  PrepareModal(main, dialog);
  int asked = 0;
  dialog.OnClose = [&](TComponent*, TCloseAction& action) {
    if (++asked == 1) action = caNone;
  };
  driver.Post([&] {
    EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(main.WindowHandle())));
    SendMessageW(static_cast<HWND>(dialog.WindowHandle()), WM_CLOSE, 0, 0);
    EXPECT_EQ(dialog.ModalResult, mrNone);
    SendMessageW(static_cast<HWND>(dialog.WindowHandle()), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(IsWindowEnabled(static_cast<HWND>(main.WindowHandle())));
  EXPECT_FALSE(IsWindowVisible(static_cast<HWND>(dialog.WindowHandle())));

  app.Terminate();
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
}

// What escapes a window procedure or callback is shown in the error box over its form,
// and the procedure goes on with its fallback.
TEST_F(Win32BackendTest, AnErrorEscapingAWindowProcedureIsShownInTheErrorBox) {
  app.Initialize();
  TForm main(app);
  main.Show();
  std::string shown;
  driver.Post([&] {
    HWND box = FindWindowW(L"QvrMessageDialog", L"Setup");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), static_cast<HWND>(main.WindowHandle()));
    for (HWND child : Children(box)) {
      if (ClassOf(child) == "Static" && !Text(child).empty()) shown = Text(child);
    }
    PostMessageW(ChildWithText(box, "OK"), BM_CLICK, 0, 0);
  });
  const LRESULT result = Guarded(
      &main, []() -> LRESULT { throw Exception("Fenster kaputt"); }, [] { return LRESULT{42}; });
  EXPECT_EQ(result, 42);
  EXPECT_NE(shown.find("Fenster kaputt"), std::string::npos) << shown;
}

}  // namespace
}  // namespace qvr
