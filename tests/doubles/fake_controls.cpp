#include "doubles/fake_controls.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "doubles/fake_window_system.h"

namespace saver {

namespace {

void Fire(const IControl& c) {
  if (c.OnClick) {
    auto handler = c.OnClick;  // the handler may replace itself
    handler();
  }
}

}  // namespace

FakePictureControl::FakePictureControl(FakeWindow& window, std::string name, const TRect& bounds,
                                       IControl* parent, TWindowHandle handle)
    : FakeControlBase(window, std::move(name), TControlKind::Picture, bounds, parent, handle),
      surface_(bounds.Width(), bounds.Height()) {}

void FakePictureControl::SetBounds(const TRect& bounds) {
  FakeControlBase::SetBounds(bounds);
  TBitmap32 resized(bounds.Width(), bounds.Height());
  surface_.Bitmap().DrawTo(resized, 0, 0);
  surface_.Bitmap() = std::move(resized);
}

void FakePictureControl::Repaint() {
  ++repaints;
  TBitmap32 copy = buffer_;
  copy.DrawMode = TDrawMode::Opaque;
  copy.MasterAlpha = 255;
  copy.DrawTo(surface_.Bitmap(), 0, 0);
}

int32_t FakeFittingWidth(const FakeWindow& window, TControlKind kind, const std::string& caption,
                         const TFontSpec* ownFont) {
  const TFontSpec& font = ownFont ? *ownFont : window.font;
  int32_t characters = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    if ((static_cast<unsigned char>(caption[i]) & 0xC0) != 0x80) ++characters;  // UTF-8 starts
  }
  int32_t around = 0;
  switch (kind) {
    case TControlKind::CheckBox:
    case TControlKind::RadioButton: around = 20; break;
    case TControlKind::Button:
    case TControlKind::GroupBox: around = 16; break;
    case TControlKind::TabSheet: around = 12; break;
    default: break;
  }
  const double width = characters * std::max(font.pixelHeight, 1) * 0.4 + around;
  return int32_t(std::ceil(width * window.LayoutScale()));
}

int32_t FakeLabel::FittingWidth() const {
  if (wordWrap) return Bounds().Width();
  return FakeFittingWidth(window_, TControlKind::Label, Caption(),
                          font.pixelHeight ? &font : nullptr);
}

void FakeLabel::Fit() {
  if (!autoSize) return;
  const TRect b = Bounds();
  int32_t w = FittingWidth();
  if (maxWidth > 0) w = std::min(w, maxWidth);
  const int32_t pixels = font.pixelHeight ? font.pixelHeight : window_.font.pixelHeight;
  const int32_t h = int32_t(std::ceil((pixels + 2) * window_.LayoutScale()));
  FakeCaptionControl::SetBounds(TRect{b.Left, b.Top, b.Left + w, b.Top + h});
}

void FakeLabel::Click() {
  if (Reachable()) Fire(*this);
}

FakeButton::~FakeButton() {
  window_.SetRoleButton(false, this, false);
  window_.SetRoleButton(true, this, false);
}

void FakeButton::SetDefault(bool d) {
  default_ = d;
  window_.SetRoleButton(false, this, d);
}

void FakeButton::SetCancel(bool c) {
  cancel_ = c;
  window_.SetRoleButton(true, this, c);
}

void FakeButton::Click() {
  if (Reachable()) Fire(*this);
}

void FakeCheckBox::Click() {
  if (!Reachable()) return;
  checked_ = !checked_;
  Fire(*this);
}

void FakeRadioButton::SetChecked(bool c) {
  checked_ = c;
  if (!c) return;
  for (IControl* other : window_.Controls())
    if (other != this && other->Parent() == Parent() && other->Kind() == TControlKind::RadioButton)
      static_cast<FakeRadioButton*>(other)->checked_ = false;
}

void FakeRadioButton::Click() {
  if (!Reachable()) return;
  SetChecked(true);
  Fire(*this);
}

void FakeSpinEdit::SetRange(int32_t minimum, int32_t maximum) {
  min_ = minimum;
  max_ = std::max(minimum, maximum);
}

int32_t FakeSpinEdit::Value() const {
  long long v = 0;
  size_t i = 0;
  bool negative = false;
  if (i < text_.size() && (text_[i] == '-' || text_[i] == '+')) negative = text_[i++] == '-';
  if (i == text_.size()) return min_;
  for (; i < text_.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text_[i]))) return min_;
    v = std::min<long long>(v * 10 + (text_[i] - '0'), INT_MAX);
  }
  return int32_t(std::clamp<long long>(negative ? -v : v, min_, max_));
}

void FakeSpinEdit::SetValue(int32_t value) { text_ = std::to_string(std::clamp(value, min_, max_)); }

void FakeSpinEdit::Type(const std::string& text) {
  text_.clear();
  for (char c : text)
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+') text_ += c;
}

void FakeCheckListBox::SetItems(const std::vector<std::string>& utf8) {
  items = utf8;
  checked_.assign(items.size(), false);
  index_ = -1;
}

bool FakeCheckListBox::Checked(int32_t row) const {
  return row >= 0 && row < Count() && checked_[size_t(row)];
}

void FakeCheckListBox::SetChecked(int32_t row, bool checked) {
  if (row >= 0 && row < Count()) checked_[size_t(row)] = checked;
}

void FakeCheckListBox::SetItemIndex(int32_t row) { index_ = row >= 0 && row < Count() ? row : -1; }

void FakeCheckListBox::ClickRow(int32_t row, bool onCheckBox) {
  if (!Reachable() || row < 0 || row >= Count()) return;
  if (onCheckBox) {
    checked_[size_t(row)] = !checked_[size_t(row)];
    return;
  }
  index_ = row;
  Fire(*this);
}

void FakeTrackBar::SetRange(int32_t min, int32_t max) {
  minimum = min;
  maximum = std::max(min, max);
  position_ = std::clamp(position_, minimum, maximum);
}

void FakeTrackBar::SetPosition(int32_t position) {
  position_ = std::clamp(position, minimum, maximum);
}

std::vector<ITabSheet*> FakePageControl::Pages() const {
  std::vector<ITabSheet*> pages;
  for (IControl* c : window_.Controls())
    if (c->Parent() == this && c->Kind() == TControlKind::TabSheet)
      pages.push_back(static_cast<FakeTabSheet*>(c));
  return pages;
}

ITabSheet* FakePageControl::ActivePage() const {
  if (active_ && active_->Visible()) return active_;
  // A hidden page's tab is gone: the first page with a tab shows instead.
  for (ITabSheet* p : Pages())
    if (p->Visible()) return p;
  return nullptr;
}

}  // namespace saver
