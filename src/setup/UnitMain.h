// The background screen: a maximised black window with two pictures, which lays the
// pictures out on every activation and then shows the install dialog modally, and
// lays them out again, without the dialog, on a display of another density.
#pragma once

#include "framework/Controls.h"
#include "framework/Forms.h"

namespace qvr {

class TFormInstall;

// The pictures' bounds for a window whose outer size is width x height on a display
// of `dpi` pixels per inch. The margins from the right and bottom edges stand for
// the window's frame and title bar, which grow with the density; the sizes are
// fractions of the window's.
struct ImageLayout {
  TBounds image1;
  TBounds image2;
};
ImageLayout LayoutImages(int width, int height, int dpi);

class TForm1 : public TForm {
 public:
  explicit TForm1(TApplication& app);

  TImage Image1;
  TImage Image2;

  // The dialog that FormActivate shows; the program's entry sets it.
  TFormInstall* FormInstall = nullptr;

  void FormActivate(TComponent* sender);
  void FormDpiChanged(TComponent* sender);

 private:
  void PlaceImages();
};

}  // namespace qvr
