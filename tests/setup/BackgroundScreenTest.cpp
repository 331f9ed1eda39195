#include <gtest/gtest.h>

#include "framework/Application.h"
#include "framework/headless/HeadlessBackend.h"
#include "gauge/Canvas.h"
#include "setup/UnitInstall.h"
#include "setup/UnitMain.h"

namespace qvr {
namespace {

TEST(LayoutImagesTest, ScalesAndPlacesBothPicturesByTheOuterWindowSize) {
  struct Case {
    int w, h, dpi;
    TBounds image1, image2;
  } cases[] = {
      {1024, 768, 96, {0, 0, 445, 90}, {674, 660, 341, 80}},
      {800, 600, 96, {0, 0, 347, 70}, {525, 509, 266, 63}},
      // 1280 / 2.3 = 556.5 and 1024 / 9.5 = 107.8: truncated, never rounded.
      {1280, 1024, 96, {0, 0, 556, 120}, {1271 - 426, 1024 - 107 - 28, 426, 107}},
      {0, 0, 96, {0, 0, 0, 0}, {-9, -28, 0, 0}},
      // The margins stand for the frame, which grows with the density: 14 and 42 at
      // 144, 11 and 35 at 120; the sizes stay fractions of the window's.
      {1024, 768, 144, {0, 0, 445, 90}, {1024 - 341 - 14, 768 - 80 - 42, 341, 80}},
      {1280, 1024, 120, {0, 0, 556, 120}, {1280 - 426 - 11, 1024 - 107 - 35, 426, 107}},
  };
  for (const auto& c : cases) {
    const ImageLayout layout = LayoutImages(c.w, c.h, c.dpi);
    EXPECT_EQ(layout.image1, c.image1) << c.w << "x" << c.h << " at " << c.dpi;
    EXPECT_EQ(layout.image2, c.image2) << c.w << "x" << c.h << " at " << c.dpi;
  }
}

TEST(BackgroundScreenTest, EveryActivationLaysOutThePicturesAndShowsTheDialogModally) {
  HeadlessBackend backend;
  TApplication app(backend);
  TForm1 form1(app);
  TFormInstall install(app, MemoryGraphics());
  form1.FormInstall = &install;
  EXPECT_EQ(app.MainForm(), &form1);
  EXPECT_EQ(form1.Caption(), "QVR-LORWENTHASCOP V1.0");
  EXPECT_EQ(form1.WindowState, wsMaximized);
  EXPECT_EQ(form1.Color, 0x000000u);
  EXPECT_TRUE(form1.Image1.Stretch && form1.Image2.Stretch);
  EXPECT_NE(form1.Image1.PictureName, form1.Image2.PictureName);

  TForm* shown = nullptr;
  backend.OnModal = [&](TForm& form) { shown = &form; };
  form1.SetBounds(0, 0, 1024, 768);
  form1.Activate();
  EXPECT_EQ(shown, &install);
  EXPECT_EQ(form1.Image1.Bounds(), (TBounds{0, 0, 445, 90}));
  EXPECT_EQ(form1.Image2.Bounds(), (TBounds{674, 660, 341, 80}));

  form1.SetBounds(0, 0, 800, 600);
  form1.Activate();
  EXPECT_EQ(backend.ModalShowings(), 2);
  EXPECT_EQ(form1.Image2.Bounds(), (TBounds{525, 509, 266, 63}));

  // On a display of another density the pictures follow the window's new size at
  // once, as a start at that density places them, and the dialog is not shown again.
  for (const int dpi : {120, 144, 192, 96}) {
    form1.ScaleForDpi(dpi);
    form1.DpiChanged();
    const ImageLayout expected = LayoutImages(form1.Width(), form1.Height(), dpi);
    EXPECT_EQ(form1.Image1.Bounds(), expected.image1) << dpi;
    EXPECT_EQ(form1.Image2.Bounds(), expected.image2) << dpi;
  }
  EXPECT_EQ(backend.ModalShowings(), 2);

  // Once the application is terminating, a further activation does not wait.
  app.Terminate();
  form1.Activate();
  EXPECT_EQ(backend.ModalShowings(), 2);
}

}  // namespace
}  // namespace qvr
