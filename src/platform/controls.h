#pragma once
// The dialog controls a window can hold besides panels and pictures: what a
// settings dialog is made of. Each is made with IWindow::AddControl (or the
// Add helper below) and reached through its interface here.
//
// Captions are UTF-8. In a caption '&' marks the keyboard accelerator of the
// letter after it (Alt+letter presses, checks or focuses the control; a
// label's accelerator focuses its focus control); "&&" is a literal '&'.
// Bounds are device pixels relative to the parent control, like every
// control's (multiply a 96-dpi layout by IWindow::LayoutScale).
//
// Events: OnClick runs for what the user does, never for a change the
// program makes through these interfaces; each kind says what a click is.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace saver {

enum class TBevel { None, Lowered };

// A panel: a container filled with the window's colour, with an optional
// one-pixel bevel around its edge. AddPanel makes these.
class IPanel : public IControl {
 public:
  static constexpr TControlKind kKind = TControlKind::Panel;
  virtual void SetBevel(TBevel bevel) = 0;
  virtual TBevel Bevel() const = 0;
};

// A control with a caption.
class ICaptionControl : public IControl {
 public:
  virtual void SetCaption(const std::string& utf8) = 0;
  virtual std::string Caption() const = 0;
  // The width, in device pixels, at which the whole caption shows in the
  // control's font, with the control's own box, frame or margins around it
  // (a tab sheet: its tab's width). A word-wrapped label fits any width:
  // its own.
  virtual int32_t FittingWidth() const = 0;
};

// A text label: the caption drawn from the top-left corner in the window's
// font. OnClick: a click on the text.
class ILabel : public ICaptionControl {
 public:
  static constexpr TControlKind kKind = TControlKind::Label;
  // The control the label's accelerator focuses (nullptr: none).
  virtual void SetFocusControl(IControl* control) = 0;
  // A font of its own instead of the window's.
  virtual void SetFont(const TFontSpec& font) = 0;
  // Blue and underlined, with the hand cursor: a web link.
  virtual void SetLinkStyle(bool link) = 0;
  // Long captions break between words; what does not fit below is cut off.
  virtual void SetWordWrap(bool wrap) = 0;
  // With auto size the label takes the size of its caption (from its
  // top-left corner), at most maxWidth device pixels wide (0: no limit);
  // Bounds then report that size.
  virtual void SetAutoSize(bool autoSize, int32_t maxWidth = 0) = 0;
};

// A push button. OnClick: pressed with the mouse, the space bar, its
// accelerator, or Enter while it has the focus. Enter anywhere else in its
// window presses the window's default button and Esc its cancel button
// (when visible and enabled).
class IButton : public ICaptionControl {
 public:
  static constexpr TControlKind kKind = TControlKind::Button;
  virtual void SetDefault(bool isDefault) = 0;
  virtual bool Default() const = 0;
  virtual void SetCancel(bool isCancel) = 0;
  virtual bool Cancel() const = 0;
};

// A check box. OnClick: the user toggled it (after the change).
class ICheckBox : public ICaptionControl {
 public:
  static constexpr TControlKind kKind = TControlKind::CheckBox;
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
};

// An option button. The option buttons with the same parent form one
// group: checking one unchecks the others. OnClick: the user checked it
// (also with the arrow keys, which move through its group).
class IRadioButton : public ICaptionControl {
 public:
  static constexpr TControlKind kKind = TControlKind::RadioButton;
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
};

// A frame with a caption in its top edge, holding other controls.
class IGroupBox : public ICaptionControl {
 public:
  static constexpr TControlKind kKind = TControlKind::GroupBox;
};

// An integer field with up and down buttons. Only digits and a sign can be
// typed; a number outside Min..Max may stand in the field while it is
// edited and is brought into the range when the field loses the focus.
class ISpinEdit : public IControl {
 public:
  static constexpr TControlKind kKind = TControlKind::SpinEdit;
  virtual void SetRange(int32_t minimum, int32_t maximum) = 0;
  virtual int32_t Minimum() const = 0;
  virtual int32_t Maximum() const = 0;
  virtual void SetIncrement(int32_t step) = 0;
  // The number in the field brought into the range (Minimum when the field
  // holds no number).
  virtual int32_t Value() const = 0;
  // Shows value brought into the range.
  virtual void SetValue(int32_t value) = 0;
  // What the field shows, as typed.
  virtual std::string Text() const = 0;
};

// A list of rows, each with a check box; at most one row is highlighted.
// OnClick: a mouse press on a row (it is highlighted first) or a move of
// the highlight with the keyboard. Clicking a row's box or pressing space
// toggles its check without OnClick.
class ICheckListBox : public IControl {
 public:
  static constexpr TControlKind kKind = TControlKind::CheckListBox;
  // Replaces the rows (all unchecked, none highlighted).
  virtual void SetItems(const std::vector<std::string>& utf8) = 0;
  virtual int32_t Count() const = 0;
  virtual bool Checked(int32_t row) const = 0;
  virtual void SetChecked(int32_t row, bool checked) = 0;
  // The highlighted row; -1 for none.
  virtual int32_t ItemIndex() const = 0;
  virtual void SetItemIndex(int32_t row) = 0;
  virtual void SetItemHeight(int32_t height) = 0;
};

// A horizontal slider over whole numbers with a tick mark at each.
class ITrackBar : public IControl {
 public:
  static constexpr TControlKind kKind = TControlKind::TrackBar;
  virtual void SetRange(int32_t minimum, int32_t maximum) = 0;
  // How far Page Up and Page Down (and a click beside the thumb) move it.
  virtual void SetPageSize(int32_t size) = 0;
  virtual void SetThumbLength(int32_t length) = 0;
  virtual int32_t Position() const = 0;
  // Shows position brought into the range.
  virtual void SetPosition(int32_t position) = 0;
};

class ITabSheet;

// Tab pages: a row of tabs over the page of the tab that is chosen. Its
// tab sheets are the controls made with it as their parent, in that order.
class IPageControl : public IControl {
 public:
  static constexpr TControlKind kKind = TControlKind::PageControl;
  // Every tab the same size.
  virtual void SetTabSize(int32_t width, int32_t height) = 0;
  // The tab under the mouse is drawn highlighted.
  virtual void SetHotTrack(bool hotTrack) = 0;
  virtual ITabSheet* ActivePage() const = 0;
  virtual void SetActivePage(ITabSheet* page) = 0;
};

// A page of a page control; the caption is its tab's. Visible says
// whether its tab is there at all; its bounds are the page control's
// display area, which the page control sets.
class ITabSheet : public ICaptionControl {
 public:
  static constexpr TControlKind kKind = TControlKind::TabSheet;
};

// Makes a control of T's kind on window.
template <class T>
T& Add(IWindow& window, const std::string& name, const TRect& bounds, IControl* parent = nullptr) {
  return dynamic_cast<T&>(window.AddControl(T::kKind, name, bounds, parent));
}

}  // namespace saver
