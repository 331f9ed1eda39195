// The background screen: a maximised black window with two pictures, which lays the
// pictures out on every activation and then shows the install dialog modally.
#pragma once

#include "framework/Controls.h"
#include "framework/Forms.h"

namespace qvr {

class TFormInstall;

// The pictures' bounds for a window whose outer size is width x height.
struct ImageLayout {
  TBounds image1;
  TBounds image2;
};
ImageLayout LayoutImages(int width, int height);

class TForm1 : public TForm {
 public:
  explicit TForm1(TApplication& app);

  TImage Image1;
  TImage Image2;

  // The dialog that FormActivate shows; the program's entry sets it.
  TFormInstall* FormInstall = nullptr;

  void FormActivate(TComponent* sender);
};

}  // namespace qvr
