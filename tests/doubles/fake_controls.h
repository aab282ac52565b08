#pragma once
// Test doubles of the controls on a FakeWindow: every kind of control kept
// in memory, with what a user would do to it (Click, Type, ClickRow ...),
// which runs the control's events as the desktop's controls do.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/surface.h"

namespace saver {

class FakeWindow;

// What every fake control keeps.
template <class Interface>
class FakeControlBase : public Interface {
 public:
  FakeControlBase(FakeWindow& window, std::string name, TControlKind kind, const TRect& bounds,
                  IControl* parent, TWindowHandle handle)
      : window_(window),
        name_(std::move(name)),
        kind_(kind),
        bounds_(bounds),
        parent_(parent),
        handle_(handle) {}
  const std::string& Name() const override { return name_; }
  TControlKind Kind() const override { return kind_; }
  IControl* Parent() const override { return parent_; }
  TRect Bounds() const override { return bounds_; }
  void SetBounds(const TRect& bounds) override { bounds_ = bounds; }
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  void BringToFront() override { ++raised; }
  void SetColor(TColor32 c) override { color = c; }
  TWindowHandle Handle() override { return handle_; }
  void SetCursor(TCursor cursor) override { cursor_ = cursor; }
  TCursor Cursor() const override { return cursor_; }

  // Visible and enabled, and so is every control above it: a user can reach it.
  bool Reachable() const {
    for (const IControl* c = this; c; c = c->Parent())
      if (!c->Visible() || !c->Enabled()) return false;
    return true;
  }

  TColor32 color = 0;
  int raised = 0;

 protected:
  FakeWindow& window_;

 private:
  std::string name_;
  TControlKind kind_;
  TRect bounds_;
  IControl* parent_;
  TWindowHandle handle_;
  bool visible_ = true, enabled_ = true;
  TCursor cursor_ = TCursor::Default;
};

class FakePanel final : public FakeControlBase<IPanel> {
 public:
  using FakeControlBase::FakeControlBase;
  void SetBevel(TBevel bevel) override { bevel_ = bevel; }
  TBevel Bevel() const override { return bevel_; }

 private:
  TBevel bevel_ = TBevel::None;
};

// Its surface is a bitmap as large as the control.
class FakePictureControl final : public FakeControlBase<IPictureControl> {
 public:
  FakePictureControl(FakeWindow& window, std::string name, const TRect& bounds, IControl* parent,
                     TWindowHandle handle);
  void SetBounds(const TRect& bounds) override;
  TBitmap32& Buffer() override { return buffer_; }
  ISurface& Surface() override { return surface_; }
  void Repaint() override;

  // What the control shows.
  const TBitmap32& Screen() const { return surface_.Bitmap(); }
  int repaints = 0;

 private:
  TBitmap32 buffer_;
  BitmapSurface surface_;
};

// The fake's font metric: each character of a caption (accelerator marks
// left out) is 0.4 of the font's pixel height wide, in pixels of the window's
// layout scale; a check box's or option button's box, a button's or group
// box's frame and a tab's margins add their own width.
int32_t FakeFittingWidth(const FakeWindow& window, TControlKind kind, const std::string& caption,
                         const TFontSpec* ownFont = nullptr);

template <class Interface>
class FakeCaptionControl : public FakeControlBase<Interface> {
 public:
  using FakeControlBase<Interface>::FakeControlBase;
  void SetCaption(const std::string& utf8) override { caption_ = utf8; }
  std::string Caption() const override { return caption_; }
  int32_t FittingWidth() const override {
    return FakeFittingWidth(this->window_, this->Kind(), caption_);
  }

 private:
  std::string caption_;
};

// With auto size its bounds take the caption's fitting width (at most
// maxWidth) and the font's height.
class FakeLabel final : public FakeCaptionControl<ILabel> {
 public:
  using FakeCaptionControl::FakeCaptionControl;
  void SetCaption(const std::string& utf8) override {
    FakeCaptionControl::SetCaption(utf8);
    Fit();
  }
  void SetBounds(const TRect& bounds) override {
    FakeCaptionControl::SetBounds(bounds);
    Fit();
  }
  int32_t FittingWidth() const override;
  void SetFocusControl(IControl* control) override { focusControl = control; }
  void SetFont(const TFontSpec& f) override {
    font = f;
    Fit();
  }
  void SetLinkStyle(bool l) override {
    link = l;
    SetCursor(l ? TCursor::HandPoint : TCursor::Default);
  }
  void SetWordWrap(bool w) override { wordWrap = w; }
  void SetAutoSize(bool a, int32_t max) override {
    autoSize = a;
    maxWidth = max;
    Fit();
  }
  // A click on the text.
  void Click();

  IControl* focusControl = nullptr;
  TFontSpec font;
  bool link = false, wordWrap = false, autoSize = false;
  int32_t maxWidth = 0;

 private:
  void Fit();
};

class FakeButton final : public FakeCaptionControl<IButton> {
 public:
  using FakeCaptionControl::FakeCaptionControl;
  ~FakeButton() override;
  void SetDefault(bool d) override;
  bool Default() const override { return default_; }
  void SetCancel(bool c) override;
  bool Cancel() const override { return cancel_; }
  // The user presses it; nothing happens unless it is reachable.
  void Click();

 private:
  bool default_ = false, cancel_ = false;
};

class FakeCheckBox final : public FakeCaptionControl<ICheckBox> {
 public:
  using FakeCaptionControl::FakeCaptionControl;
  bool Checked() const override { return checked_; }
  void SetChecked(bool c) override { checked_ = c; }
  // The user toggles it.
  void Click();

 private:
  bool checked_ = false;
};

class FakeRadioButton final : public FakeCaptionControl<IRadioButton> {
 public:
  using FakeCaptionControl::FakeCaptionControl;
  bool Checked() const override { return checked_; }
  void SetChecked(bool c) override;
  // The user checks it.
  void Click();

 private:
  bool checked_ = false;
};

class FakeGroupBox final : public FakeCaptionControl<IGroupBox> {
 public:
  using FakeCaptionControl::FakeCaptionControl;
};

class FakeSpinEdit final : public FakeControlBase<ISpinEdit> {
 public:
  using FakeControlBase::FakeControlBase;
  void SetRange(int32_t minimum, int32_t maximum) override;
  int32_t Minimum() const override { return min_; }
  int32_t Maximum() const override { return max_; }
  void SetIncrement(int32_t step) override { increment = step; }
  int32_t Value() const override;
  void SetValue(int32_t value) override;
  std::string Text() const override { return text_; }
  // The user replaces the text (only digits and signs are taken, as in the
  // desktop's field), then leaves the field.
  void Type(const std::string& text);
  void Leave() { SetValue(Value()); }

  int32_t increment = 1;

 private:
  int32_t min_ = 0, max_ = 100;
  std::string text_ = "0";
};

class FakeCheckListBox final : public FakeControlBase<ICheckListBox> {
 public:
  using FakeControlBase::FakeControlBase;
  void SetItems(const std::vector<std::string>& utf8) override;
  int32_t Count() const override { return int32_t(items.size()); }
  bool Checked(int32_t row) const override;
  void SetChecked(int32_t row, bool checked) override;
  int32_t ItemIndex() const override { return index_; }
  void SetItemIndex(int32_t row) override;
  void SetItemHeight(int32_t h) override { itemHeight = h; }
  // The user clicks a row's text (highlighting it), or its check box
  // (toggling the check alone).
  void ClickRow(int32_t row, bool onCheckBox = false);

  std::vector<std::string> items;
  int32_t itemHeight = 0;

 private:
  std::vector<bool> checked_;
  int32_t index_ = -1;
};

class FakeTrackBar final : public FakeControlBase<ITrackBar> {
 public:
  using FakeControlBase::FakeControlBase;
  void SetRange(int32_t minimum, int32_t maximum) override;
  void SetPageSize(int32_t size) override { pageSize = size; }
  void SetThumbLength(int32_t length) override { thumbLength = length; }
  int32_t Position() const override { return position_; }
  void SetPosition(int32_t position) override;

  int32_t minimum = 0, maximum = 10, pageSize = 1, thumbLength = 0;

 private:
  int32_t position_ = 0;
};

class FakeTabSheet;

class FakePageControl final : public FakeControlBase<IPageControl> {
 public:
  using FakeControlBase::FakeControlBase;
  void SetTabSize(int32_t w, int32_t h) override { tabWidth = w, tabHeight = h; }
  void SetHotTrack(bool h) override { hotTrack = h; }
  ITabSheet* ActivePage() const override;
  void SetActivePage(ITabSheet* page) override { active_ = page; }
  // The sheets made with it as their parent, in order.
  std::vector<ITabSheet*> Pages() const;

  int32_t tabWidth = 0, tabHeight = 0;
  bool hotTrack = false;

 private:
  ITabSheet* active_ = nullptr;
};

class FakeTabSheet final : public FakeCaptionControl<ITabSheet> {
 public:
  using FakeCaptionControl::FakeCaptionControl;
};

}  // namespace saver
