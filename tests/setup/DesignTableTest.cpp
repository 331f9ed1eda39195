// The real install dialog and background screen against their design tables, at
// the design's 96 pixels per inch and scaled to another density: the portable forms
// everywhere, and under Windows (Wine) also the windows they make.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/headless/HeadlessBackend.h"
#include "gauge/Canvas.h"
#include "setup/UnitInstall.h"
#include "setup/UnitMain.h"

#ifdef _WIN32
#include <windows.h>

#include "framework/win32/Win32Backend.h"
#include "gauge/win32/GdiCanvas.h"
#include "platform/win32/WinText.h"
#endif

namespace qvr {
namespace {

const std::vector<std::string> kWelcomeLines = {
    "Liebe Kundin, Lieber Kunde,",
    "",
    "Sie installieren gerade die neueste BETA-VERSION von",
    "",
    "QVR-KELVADOR SERIES V2",
    "",
    "Das Programm ist voll funktionstüchtig und beinhaltet alle derzeitigen",
    "Funktionen. Leider ist noch keine Beschreibung vorhanden, Sie finden",
    "aber Hinweise und Tips, wenn Sie mit dem Mauspfeil über die ent-",
    "sprechenden Felder fahren. Obwohl wir sehr sorgfältig programmiert",
    "haben, können wir versteckte Fehler nicht ausschließen und sind Ihnen",
    "deshalb dankbar wenn Sie uns diese über unsere Webseite melden.",
    "",
    "Ihr QVR-Team",
};

const TFont kSans11{"MS Sans Serif", -11, false, clWindowText};
const TFont kTimes16{"Times New Roman", -16, false, clWindowText};
const TFont kBoldTimes16{"Times New Roman", -16, true, clWindowText};
const TFont kBoldSans13{"MS Sans Serif", -13, true, clWindowText};

// One control of the dialog's design. Tab order -1: the control takes no keyboard.
struct Row {
  const char* name;
  TControl& (*control)(TFormInstall&);
  const char* parent;  // null: the dialog
  TBounds bounds;
  TFont font;
  const char* caption;  // null: checked apart (the welcome lines, the free address)
  bool visible;
  int tabOrder;
};

#define QVR_CONTROL(name) [](TFormInstall& f) -> TControl& { return f.name; }
// clang-format off
const Row kRows[] = {
    {"Panel1", QVR_CONTROL(Panel1), nullptr, {8, 8, 529, 393}, kTimes16, "", true, 0},
    {"Label1", QVR_CONTROL(Label1), "Panel1", {8, 16, 178, 19}, kBoldTimes16,
     "Allgemeine Informationen:", true, -1},
    {"Label4", QVR_CONTROL(Label4), "Panel1", {160, 24, 188, 19}, kBoldTimes16,
     "Dateien werden installiert ...", false, -1},
    {"Memo1", QVR_CONTROL(Memo1), "Panel1", {8, 48, 513, 281}, kBoldSans13, nullptr, true, 0},
    {"Label3", QVR_CONTROL(Label3), "Panel1", {48, 344, 435, 35}, kBoldTimes16, nullptr, true, -1},
    {"InstallButton", QVR_CONTROL(InstallButton), nullptr, {462, 407, 75, 25}, kSans11,
     "Install >>", true, 1},
    {"AbbruchButton", QVR_CONTROL(AbbruchButton), nullptr, {382, 407, 75, 25}, kSans11,
     "Abbrechen", true, 2},
};
// clang-format on
#undef QVR_CONTROL

TControl* Named(TFormInstall& form, const char* name) {
  for (const Row& row : kRows) {
    if (name != nullptr && std::string(name) == row.name) return &row.control(form);
  }
  return nullptr;
}

TFont Scaled(TFont font, int dpi) {
  font.Height = MulDiv(font.Height, dpi, kDesignPixelsPerInch);
  return font;
}

TBounds Scaled(const TBounds& b, int dpi) {
  const auto at = [dpi](int v) { return MulDiv(v, dpi, kDesignPixelsPerInch); };
  return {at(b.Left), at(b.Top), at(b.Width), at(b.Height)};
}

// The portable dialog and background screen at `dpi`, as a start at `dpi` makes
// them: every size of the design scaled once, from 96 pixels per inch. The
// pictures are left out: their design bounds last only until the first layout.
void CheckForms(TFormInstall& form, TForm1& form1, int dpi) {
  SCOPED_TRACE("at " + std::to_string(dpi) + " pixels per inch");
  const auto scaled = [dpi](const TBounds& b) { return Scaled(b, dpi); };
  EXPECT_EQ(form.PixelsPerInch(), dpi);
  EXPECT_EQ(form.Caption(), "QVR-KELVADOR V2");
  EXPECT_EQ(form.BorderStyle, bsDialog);
  EXPECT_FALSE(form.BorderIcons);
  EXPECT_EQ(form.ClientWidth, MulDiv(550, dpi, 96));
  EXPECT_EQ(form.ClientHeight, MulDiv(443, dpi, 96));
  EXPECT_EQ(form.Font, Scaled(kSans11, dpi));
  EXPECT_EQ(form.Color, clBtnFace);
  EXPECT_EQ(form.Position, poMainFormCenter);

  std::vector<TControl*> tabbed;
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    TControl& c = row.control(form);
    EXPECT_EQ(c.Parent(), Named(form, row.parent));
    EXPECT_EQ(c.Bounds(), scaled(row.bounds));
    EXPECT_EQ(c.Font(), Scaled(row.font, dpi));
    if (row.caption != nullptr) {
      EXPECT_EQ(c.Caption(), row.caption);
    }
    EXPECT_EQ(c.Visible(), row.visible);
    if (row.tabOrder >= 0 && row.parent == nullptr) tabbed.push_back(&c);
  }
  // Tab order is creation order among siblings.
  std::vector<TControl*> created;
  for (TControl* c : form.Controls()) {
    if (c->Parent() == nullptr) created.push_back(c);
  }
  EXPECT_EQ(created, tabbed);
  EXPECT_EQ(form.Memo1.Lines(), kWelcomeLines);
  EXPECT_EQ(form.Memo1.Alignment, taCenter);
  EXPECT_TRUE(form.Memo1.ReadOnly);
  EXPECT_FALSE(form.Memo1.Enabled());
  const std::string address = form.Label3.Caption();
  const auto newline = address.find("\r\n");
  ASSERT_NE(newline, std::string::npos);
  EXPECT_TRUE(newline > 0 && newline + 2 < address.size() &&
              address.find("\r\n", newline + 2) == std::string::npos)
      << address;
  EXPECT_TRUE(form.Label3.WordWrap && !form.Label3.AutoSize && form.Label3.Alignment == taCenter);

  const TGradientProgressBar& gauge = form.StatusGauge;
  EXPECT_EQ((TBounds{gauge.Left, gauge.Top, gauge.Width(), gauge.Height()}),
            scaled({8, 407, 529, 25}));
  EXPECT_EQ(gauge.Font(), (TFont{"MS Sans Serif", MulDiv(-11, dpi, 96), true, clWindowText}));
  EXPECT_FALSE(gauge.Visible());
  EXPECT_EQ(gauge.BackgroundColor(), clWhite);
  EXPECT_EQ(gauge.BarColor1(), clLime);
  EXPECT_EQ(gauge.BarColor3(), 0x008000FFu);
  EXPECT_EQ(gauge.PosTextSuffix(), "%");

  EXPECT_EQ(form1.Caption(), "QVR-LORWENTHASCOP V1.0");
  EXPECT_EQ(form1.ClientWidth, MulDiv(792, dpi, 96));
  EXPECT_EQ(form1.ClientHeight, MulDiv(566, dpi, 96));
  EXPECT_EQ(form1.Font, Scaled(kSans11, dpi));
  EXPECT_EQ(form1.Image1.Parent(), nullptr);
  EXPECT_EQ(form1.Image2.Parent(), nullptr);
}

// The densities a window moves through, one after the other.
const int kDensityChain[] = {96, 120, 144, 192, 96};

TEST(DesignTableTest, DialogAndBackgroundMatchTheirDesignAtEveryDensityOfAChain) {
  HeadlessBackend backend;
  TApplication app(backend);
  TForm1 form1(app);
  TFormInstall form(app, MemoryGraphics());
  for (const int dpi : kDensityChain) {
    // Each step ends where a start at its density does, nothing lost to rounding
    // on the way (120 and then 144 would round 25 to 31 and then to 37, not 38).
    form.ScaleForDpi(dpi);
    form1.ScaleForDpi(dpi);
    CheckForms(form, form1, dpi);
    EXPECT_EQ(form1.Image1.Bounds(), Scaled(TBounds{0, 0, 560, 110}, dpi));
    EXPECT_EQ(form1.Image2.Bounds(), Scaled(TBounds{424, 458, 360, 100}, dpi));
  }
}

#ifdef _WIN32

std::string ClassOf(HWND window) {
  wchar_t buffer[64];
  return WideToUtf8(std::wstring(buffer, GetClassNameW(window, buffer, 64)));
}

std::string TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return WideToUtf8(text);
}

TBounds BoundsInParent(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::vector<HWND> ChildrenInZOrder(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    children.push_back(c);
  }
  return children;
}

// The windows of the dialog at `dpi`: class, parent, bounds, font, text, visibility
// and keyboard order.
void CheckWindows(TFormInstall& form, int dpi) {
  SCOPED_TRACE("windows at " + std::to_string(dpi) + " pixels per inch");
  const auto dialog = static_cast<HWND>(form.WindowHandle());
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, MulDiv(550, dpi, 96));
  EXPECT_EQ(client.bottom, MulDiv(443, dpi, 96));
  EXPECT_EQ(TextOf(dialog), "QVR-KELVADOR V2");
  EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & (WS_SYSMENU | WS_THICKFRAME), 0);

  std::vector<HWND> dialogOrder;
  std::vector<HWND> panelOrder;
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    TControl& c = row.control(form);
    const auto w = static_cast<HWND>(c.Handle());
    ASSERT_NE(w, nullptr);
    (row.parent == nullptr ? dialogOrder : panelOrder).push_back(w);
    const TControl* parent = Named(form, row.parent);
    EXPECT_EQ(GetParent(w), parent != nullptr ? static_cast<HWND>(parent->Handle()) : dialog);
    const std::string expectedClass = c.Kind() == ControlKind::Panel    ? "QvrPanel"
                                      : c.Kind() == ControlKind::Memo   ? "Edit"
                                      : c.Kind() == ControlKind::Button ? "Button"
                                                                        : "Static";
    EXPECT_EQ(ClassOf(w), expectedClass);
    const TBounds expected = Scaled(row.bounds, dpi);
    const TBounds actual = BoundsInParent(w);
    if (c.AutoSize) {
      // Sized to its text at its place, within its panel.
      EXPECT_EQ(actual.Left, expected.Left);
      EXPECT_EQ(actual.Top, expected.Top);
      EXPECT_LE(actual.Left + actual.Width, form.Panel1.Bounds().Width);
    } else {
      EXPECT_EQ(actual, expected);
    }
    // The panel draws no text; its font is only its children's design default.
    if (c.Kind() != ControlKind::Panel) {
      LOGFONTW font{};
      ASSERT_NE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)), sizeof font,
                           &font),
                0);
      EXPECT_EQ(font.lfHeight, MulDiv(row.font.Height, dpi, 96));
      EXPECT_EQ(font.lfWeight, row.font.Bold ? FW_BOLD : FW_NORMAL);
      EXPECT_EQ(WideToUtf8(font.lfFaceName), row.font.Name);
    }
    if (row.caption != nullptr) {
      EXPECT_EQ(TextOf(w), row.caption);
    }
    EXPECT_EQ((GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0, row.visible);
    const bool tabStop = (GetWindowLongW(w, GWL_STYLE) & WS_TABSTOP) != 0;
    const bool container = (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
    EXPECT_EQ(tabStop || container, row.tabOrder >= 0);
  }
  // The welcome text's window holds the 14 lines.
  std::vector<std::string> lines;
  const std::string text = TextOf(static_cast<HWND>(form.Memo1.Handle()));
  for (std::size_t start = 0;;) {
    const auto end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  EXPECT_EQ(lines, kWelcomeLines);
  // The keyboard goes through siblings in z-order, which is the tab order.
  EXPECT_EQ(ChildrenInZOrder(dialog), dialogOrder);
  EXPECT_EQ(ChildrenInZOrder(static_cast<HWND>(form.Panel1.Handle())), panelOrder);
}

void SendDpiChanged(HWND window, int dpi) {
  RECT suggested;
  GetWindowRect(window, &suggested);
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST(DesignTableWin32Test, DialogWindowsMatchTheDesignAlongADensityChain) {
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (probe == nullptr) GTEST_SKIP() << "no display to create windows on";
  DestroyWindow(probe);

  Win32Backend backend;
  TApplication app(backend);
  TForm1 form1(app);
  TFormInstall form(app, GdiGraphics());
  form1.FormInstall = &form;
  form1.HandleNeeded();
  form.HandleNeeded();
  // A test program declares no density awareness: the system's density, which is
  // the design's in the test prefix.
  ASSERT_EQ(form.PixelsPerInch(), 96);
  for (const int dpi : kDensityChain) {
    SendDpiChanged(static_cast<HWND>(form.WindowHandle()), dpi);
    SendDpiChanged(static_cast<HWND>(form1.WindowHandle()), dpi);
    CheckWindows(form, dpi);
    CheckForms(form, form1, dpi);
    // The background's pictures follow its outer size at once, without the dialog.
    const ImageLayout expected = LayoutImages(form1.Width(), form1.Height(), dpi);
    EXPECT_EQ(BoundsInParent(static_cast<HWND>(form1.Image1.Handle())), expected.image1);
    EXPECT_EQ(BoundsInParent(static_cast<HWND>(form1.Image2.Handle())), expected.image2);
    EXPECT_FALSE(form.Visible());
  }
}

#endif

}  // namespace
}  // namespace qvr
