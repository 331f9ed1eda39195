#include "framework/Controls.h"

#include "framework/Application.h"
#include "framework/Forms.h"

namespace qvr {

TControl::TControl(TForm& form, TControl* parent, ControlKind kind)
    : TComponent(&form), form_(form), parent_(parent), kind_(kind) {
  form_.AddControl(*this);
}

TControl::~TControl() {
  peer_.reset();
  form_.RemoveControl(*this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  bounds_ = {left, top, width, height};
  Changed(ControlChange::Bounds);
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
  Changed(ControlChange::Visible);
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Changed(ControlChange::Enabled);
}

std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) out += '\n';
  }
  return out;
}

void TControl::SetCaption(const std::string& caption) {
  caption_ = WithCrLf(caption);
  Changed(ControlChange::Caption);
}

void TControl::SetFont(const TFont& font) {
  font_ = font;
  Changed(ControlChange::Font);
}

void TControl::ScaleForDpi(int from, int to) {
  font_.Height = givenFontHeight_.Rescale(font_.Height, from, to);
  Changed(ControlChange::Font);
  bounds_ = {givenLeft_.Rescale(bounds_.Left, from, to), givenTop_.Rescale(bounds_.Top, from, to),
             givenWidth_.Rescale(bounds_.Width, from, to),
             givenHeight_.Rescale(bounds_.Height, from, to)};
  Changed(ControlChange::Bounds);
}

void TControl::Click() {
  form_.Application().RunHandler(
      [this] {
        if (OnClick) OnClick(this);
      },
      &form_);
}

void TControl::CreatePeer() {
  if (!peer_) peer_ = form_.Application().Backend().CreateControlPeer(*this);
}

NativeWindow TControl::ParentHandle() const {
  return parent_ != nullptr ? parent_->Handle() : form_.WindowHandle();
}

void TControl::Changed(ControlChange what) {
  if (peer_) peer_->Changed(what);
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\r';
    text += lines[i];
  }
  SetCaption(text);
}

std::vector<std::string> TMemo::Lines() const {
  std::vector<std::string> lines;
  const std::string& text = Caption();
  std::size_t start = 0;
  while (true) {
    const auto end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

}  // namespace qvr
