// The standard controls of a form: panel, label, multi-line text, push button and
// picture. A control keeps its properties itself and mirrors every change into its
// peer once the form's window exists.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Component.h"
#include "framework/Backend.h"
#include "framework/Types.h"

namespace qvr {

// The text with every lone CR, which separates lines in our texts, as the CR LF that
// the system's multi-line controls know; a CR LF stays as it is.
std::string WithCrLf(std::string_view text);

class TForm;

enum class ControlKind : std::uint8_t { Panel, Label, Memo, Button, Image };

class TControl : public TComponent {
 public:
  // `parent` is another control (a panel) or null for the form's client area.
  TControl(TForm& form, TControl* parent, ControlKind kind);
  ~TControl() override;

  ControlKind Kind() const { return kind_; }
  TForm& Form() const { return form_; }
  TControl* Parent() const { return parent_; }

  const TBounds& Bounds() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Lines are separated by a CR in the caption given and by CR LF in the one kept.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  // Bounds and font height laid out for density `to` (the form's was `from`), each
  // scaled from the value as it was given, never from an earlier scaling.
  void ScaleForDpi(int from, int to);

  // Design properties, read when the native control is created.
  TAlignment Alignment = taLeftJustify;
  bool WordWrap = false;
  bool ReadOnly = false;
  // A label without word wrap takes the size of its text in its font, so that a
  // substituted, wider font does not cut it off; the design bounds give its place.
  bool AutoSize = false;
  // Only decorates, like a picture beside the text: assistive technology leaves it out.
  bool Decorative = false;

  std::function<void(TComponent* sender)> OnClick;
  // Runs OnClick; an error that escapes it goes to the application's error box.
  void Click();

  // Creates the native control (the parent's must exist); a no-op once it exists.
  void CreatePeer();
  ControlPeer* Peer() const { return peer_.get(); }
  NativeWindow Handle() const { return peer_ ? peer_->Handle() : nullptr; }
  // The native window the control lives in: its panel's, else the form's.
  NativeWindow ParentHandle() const;

 private:
  void Changed(ControlChange what);

  TForm& form_;
  TControl* parent_;
  ControlKind kind_;
  TBounds bounds_;
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;
  TFont font_;
  // Left, top, width, height and the font's height.
  DensitySize givenLeft_, givenTop_, givenWidth_, givenHeight_, givenFontHeight_;
  std::unique_ptr<ControlPeer> peer_;
};

class TPanel : public TControl {
 public:
  TPanel(TForm& form, TControl* parent) : TControl(form, parent, ControlKind::Panel) {}
};

class TLabel : public TControl {
 public:
  TLabel(TForm& form, TControl* parent) : TControl(form, parent, ControlKind::Label) {
    AutoSize = true;
  }
};

class TButton : public TControl {
 public:
  TButton(TForm& form, TControl* parent) : TControl(form, parent, ControlKind::Button) {}
};

// Multi-line text; its caption holds the lines joined by CR LF.
class TMemo : public TControl {
 public:
  TMemo(TForm& form, TControl* parent) : TControl(form, parent, ControlKind::Memo) {}
  void SetLines(const std::vector<std::string>& lines);
  std::vector<std::string> Lines() const;
};

// A picture from the program's resources, named by its resource name.
class TImage : public TControl {
 public:
  TImage(TForm& form, TControl* parent) : TControl(form, parent, ControlKind::Image) {}
  std::string PictureName;
  // Scales the picture to the bounds in both directions, ignoring its aspect ratio.
  bool Stretch = false;
};

}  // namespace qvr
