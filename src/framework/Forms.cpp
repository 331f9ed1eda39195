#include "framework/Forms.h"

#include <algorithm>
#include <utility>

#include "framework/Application.h"
#include "framework/Controls.h"

namespace qvr {

TForm::TForm(TApplication& app) : TCustomForm(&app), app_(app) {
  app_.RegisterForm(*this);
}

TForm::~TForm() {
  peer_.reset();
  app_.UnregisterForm(*this);
}

void TForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (peer_) peer_->Changed(ControlChange::Caption);
}

TBounds TForm::BoundsRect() const {
  return peer_ ? peer_->OuterBounds() : bounds_;
}

void TForm::SetBounds(int left, int top, int width, int height) {
  bounds_ = {left, top, width, height};
  if (peer_) peer_->Changed(ControlChange::Bounds);
}

void TForm::SetVisible(bool visible) {
  visible_ = visible;
  if (peer_) peer_->Changed(ControlChange::Visible);
}

void TForm::Show() {
  HandleNeeded();
  SetVisible(true);
}

void TForm::Hide() {
  SetVisible(false);
}

TModalResult TForm::ShowModal() {
  HandleNeeded();
  ModalResult = mrNone;
  modal_ = true;
  if (!app_.Terminated()) {
    SetVisible(true);
    app_.Backend().RunModal(*this);
  }
  modal_ = false;
  if (ModalResult == mrNone) ModalResult = mrCancel;
  SetVisible(false);
  return ModalResult;
}

void TForm::Close() {
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (this == app_.MainForm()) {
    app_.Terminate();
  } else if (modal_) {
    ModalResult = mrCancel;
  } else {
    Hide();
  }
}

void TForm::Activate() {
  app_.RunHandler(
      [this] {
        if (OnActivate) OnActivate(this);
      },
      this);
}

void TForm::DpiChanged() {
  app_.RunHandler(
      [this] {
        if (OnDpiChanged) OnDpiChanged(this);
      },
      this);
}

void TForm::HandleNeeded() {
  if (peer_) return;
  peer_ = app_.Backend().CreateFormPeer(*this);
  // A control is created after its panel, so one pass in creation order suffices.
  for (TControl* control : controls_) control->CreatePeer();
}

void TForm::ScaleForDpi(int dpi) {
  const int from = pixelsPerInch_;
  if (dpi <= 0 || dpi == from) return;
  pixelsPerInch_ = dpi;
  ClientWidth = givenClientWidth_.Rescale(ClientWidth, from, dpi);
  ClientHeight = givenClientHeight_.Rescale(ClientHeight, from, dpi);
  Font.Height = givenFontHeight_.Rescale(Font.Height, from, dpi);
  // A position on the screen is no design size; only the size scales.
  bounds_.Width = givenWidth_.Rescale(bounds_.Width, from, dpi);
  bounds_.Height = givenHeight_.Rescale(bounds_.Height, from, dpi);
  for (TControl* control : controls_) control->ScaleForDpi(from, dpi);
  for (const WindowlessControl& control : windowless_) control.scale(from, dpi);
}

void TForm::AddWindowlessControl(std::function<void()> paint,
                                 std::function<void(int from, int to)> scale) {
  windowless_.push_back({std::move(paint), std::move(scale)});
}

void TForm::PaintWindowless() {
  for (const WindowlessControl& control : windowless_) app_.RunHandler(control.paint, this);
}

void TForm::Invalidate(const TBounds& area) {
  if (peer_) peer_->Invalidate(area);
}

std::size_t TForm::AddAccessibleElement(DescribeAccessible describe) {
  accessible_.push_back(std::move(describe));
  return accessible_.size() - 1;
}

void TForm::RemoveAccessibleElement(std::size_t element) {
  if (element < accessible_.size()) accessible_[element] = nullptr;
}

void TForm::AccessibleElementChanged(std::size_t element, AccessibleEvent event) {
  if (peer_ && element < accessible_.size() && accessible_[element]) {
    peer_->AccessibleElementChanged(element, event);
  }
}

void TForm::AddControl(TControl& control) {
  controls_.push_back(&control);
}

void TForm::RemoveControl(TControl& control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), &control), controls_.end());
}

}  // namespace qvr
