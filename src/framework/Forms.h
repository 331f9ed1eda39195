// A form: a top-level window with controls, shown normally or modally, with an
// activation event and a close handling that may refuse the close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Component.h"
#include "framework/Accessible.h"
#include "framework/Backend.h"
#include "framework/Types.h"

namespace qvr {

class TApplication;
class TControl;

enum TBorderStyle : std::uint8_t { bsSizeable, bsDialog };
enum TWindowState : std::uint8_t { wsNormal, wsMaximized };
enum TPosition : std::uint8_t { poDesigned, poScreenCenter, poMainFormCenter };
enum TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };

class TForm : public TCustomForm {
 public:
  // The first form created becomes the application's main form.
  explicit TForm(TApplication& app);
  ~TForm() override;

  TApplication& Application() const { return app_; }

  // Design properties, read when the window is created.
  TBorderStyle BorderStyle = bsSizeable;
  // The title-bar buttons (system menu, close box); a dialog may have none.
  bool BorderIcons = true;
  TColor Color = clBtnFace;
  TFont Font;
  TWindowState WindowState = wsNormal;
  TPosition Position = poDesigned;
  int ClientWidth = 0;
  int ClientHeight = 0;

  TModalResult ModalResult = mrNone;

  std::function<void(TComponent* sender)> OnActivate;
  std::function<void(TComponent* sender, TCloseAction& action)> OnClose;
  // The window moved to a display of another density and has its size there; the
  // form and its controls are laid out for it already.
  std::function<void(TComponent* sender)> OnDpiChanged;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // Outer bounds, frame and title bar included; the window system's once the
  // window exists.
  TBounds BoundsRect() const;
  void SetBounds(int left, int top, int width, int height);
  // The bounds last given to SetBounds, which the window is moved to.
  const TBounds& RequestedBounds() const { return bounds_; }
  int Width() const { return BoundsRect().Width; }
  int Height() const { return BoundsRect().Height; }

  bool Visible() const { return visible_; }
  void Show();
  void Hide();
  // Shows the form modally and returns its ModalResult; returns at once, with
  // mrCancel, when the application has been told to terminate.
  TModalResult ShowModal();
  bool Modal() const { return modal_; }
  // Asks the form to close: OnClose decides through its Action.
  void Close();
  // Called by the backend on every activation; runs OnActivate.
  void Activate();
  // Called by the backend after a change of density, once the window has its new
  // size; runs OnDpiChanged.
  void DpiChanged();

  // Creates the window and the windows of all controls, in creation order.
  void HandleNeeded();
  NativeWindow WindowHandle() const override { return peer_ ? peer_->Handle() : nullptr; }
  FormPeer* Peer() const { return peer_.get(); }

  // The density that the form's sizes are in: the design's until the window exists,
  // then the display's.
  int PixelsPerInch() const { return pixelsPerInch_; }
  // Lays the client size, the font and every control out for `dpi`, each size
  // scaled with MulDiv from the value as it was given (the design's, or one set
  // later) and never from an earlier scaling; the window's own size is the
  // caller's business.
  void ScaleForDpi(int dpi);

  // Windowless controls paint on the form: the backend calls `paint` when the
  // form's client area is painted, and ScaleForDpi calls `scale` with the old and
  // the new density.
  void AddWindowlessControl(std::function<void()> paint,
                            std::function<void(int from, int to)> scale);
  void PaintWindowless();
  void Invalidate(const TBounds& area);

  // A windowless control that assistive technology knows as a child of the form, after
  // its child windows: `describe` tells what the control is and shows now. The number
  // returned names it until RemoveAccessibleElement.
  std::size_t AddAccessibleElement(DescribeAccessible describe);
  void RemoveAccessibleElement(std::size_t element);
  // Tells assistive technology that the element changed.
  void AccessibleElementChanged(std::size_t element, AccessibleEvent event);
  // Every element by its number; a removed one is left empty, so that the numbers of
  // the others stay.
  const std::vector<DescribeAccessible>& AccessibleElements() const { return accessible_; }

  const std::vector<TControl*>& Controls() const { return controls_; }
  void AddControl(TControl& control);
  void RemoveControl(TControl& control);

 private:
  void SetVisible(bool visible);

  TApplication& app_;
  std::string caption_;
  TBounds bounds_;
  bool visible_ = false;
  bool modal_ = false;
  int pixelsPerInch_ = kDesignPixelsPerInch;
  // ClientWidth, ClientHeight, Font.Height and the requested width and height.
  DensitySize givenClientWidth_, givenClientHeight_, givenFontHeight_, givenWidth_, givenHeight_;
  std::unique_ptr<FormPeer> peer_;
  std::vector<TControl*> controls_;
  // A control drawn on the form's own surface: how it paints and how it scales.
  struct WindowlessControl {
    std::function<void()> paint;
    std::function<void(int from, int to)> scale;
  };
  std::vector<WindowlessControl> windowless_;
  std::vector<DescribeAccessible> accessible_;
};

}  // namespace qvr
