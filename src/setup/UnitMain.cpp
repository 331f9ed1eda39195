#include "setup/UnitMain.h"

#include "setup/UnitInstall.h"

namespace qvr {
namespace {

// The background screen's caption, the only text of it that the user sees.
constexpr char kCaption[] = "QVR-LORWENTHASCOP V1.0";

}  // namespace

ImageLayout LayoutImages(int width, int height, int dpi) {
  // Each quotient is truncated toward zero, as the conversion to int does.
  ImageLayout layout;
  layout.image1 = {0, 0, static_cast<int>(width / 2.3), static_cast<int>(height / 8.5)};
  const int w2 = static_cast<int>(width / 3.0);
  const int h2 = static_cast<int>(height / 9.5);
  const int right = MulDiv(9, dpi, kDesignPixelsPerInch);
  const int bottom = MulDiv(28, dpi, kDesignPixelsPerInch);
  layout.image2 = {width - w2 - right, height - h2 - bottom, w2, h2};
  return layout;
}

TForm1::TForm1(TApplication& app) : TForm(app), Image1(*this, nullptr), Image2(*this, nullptr) {
  SetCaption(kCaption);
  BorderStyle = bsSizeable;
  Color = 0x000000;
  Font = TFont{"MS Sans Serif", -11, false, clWindowText};
  ClientWidth = 792;
  ClientHeight = 566;
  Position = poScreenCenter;
  WindowState = wsMaximized;
  OnActivate = [this](TComponent* sender) { FormActivate(sender); };
  OnDpiChanged = [this](TComponent* sender) { FormDpiChanged(sender); };

  // The pictures only decorate: a screen reader hears the caption alone.
  Image1.SetBounds(0, 0, 560, 110);
  Image1.PictureName = "IMAGE1";
  Image1.Stretch = true;
  Image1.Decorative = true;
  Image2.SetBounds(424, 458, 360, 100);
  Image2.PictureName = "IMAGE2";
  Image2.Stretch = true;
  Image2.Decorative = true;
}

void TForm1::FormActivate(TComponent*) {
  PlaceImages();
  if (FormInstall != nullptr) FormInstall->ShowModal();
}

void TForm1::FormDpiChanged(TComponent*) {
  // The dialog is up already: only the pictures follow the window's new size.
  PlaceImages();
}

void TForm1::PlaceImages() {
  const ImageLayout layout = LayoutImages(Width(), Height(), PixelsPerInch());
  const TBounds& a = layout.image1;
  const TBounds& b = layout.image2;
  Image1.SetBounds(a.Left, a.Top, a.Width, a.Height);
  Image2.SetBounds(b.Left, b.Top, b.Width, b.Height);
}

}  // namespace qvr
