#pragma once
// The dialog controls of platform/controls.h as Qt widgets.
#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include "platform/qt/qt_backend.h"

namespace saver::qt {

// The font for a spec: the family when the desktop has it; for a family
// missing there, a face of the same metrics from a known font folder
// (Tahoma: the one Debian's fonts-wine installs outside fontconfig's
// search path); else the desktop's sans serif. Pixel heights are logical
// pixels, which Qt scales by the device pixel ratio.
QFont ResolveFont(const TFontSpec& spec);

// A caption with its accelerator marks taken out ("&&" stays one '&').
QString PlainCaption(const std::string& utf8);

// Whether ResolveFont may use the same-metric faces of known font folders
// (on by default). Tests switch them off to see a desktop without them;
// fonts made before keep their face.
void UseMetricFaces(bool use);

// The line height of word-wrapped labels, in percent of the font's.
constexpr int kWrappedLineHeightPercent = 135;

class QtLabel final : public QtControl<QLabel, ILabel> {
 public:
  QtLabel(QtWindow& window, std::string name, IControl* parent);
  void SetCaption(const std::string& utf8) override;
  std::string Caption() const override { return caption_; }
  int32_t FittingWidth() const override;
  void SetFocusControl(IControl* control) override;
  void SetFont(const TFontSpec& font) override;
  void SetLinkStyle(bool link) override;
  void SetWordWrap(bool wrap) override;
  void SetAutoSize(bool autoSize, int32_t maxWidth) override;

 protected:
  void BoundsChanged() override { Fit(); }
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ShowCaption();
  void Fit();

  std::string caption_;
  bool autoSize_ = false;
  int32_t maxWidth_ = 0;
};

class QtButton final : public QtControl<QPushButton, IButton> {
 public:
  QtButton(QtWindow& window, std::string name, IControl* parent);
  void SetCaption(const std::string& utf8) override;
  std::string Caption() const override { return caption_; }
  int32_t FittingWidth() const override;
  void SetDefault(bool isDefault) override;
  bool Default() const override { return default_; }
  void SetCancel(bool isCancel) override;
  bool Cancel() const override { return cancel_; }

 private:
  std::string caption_;
  bool default_ = false, cancel_ = false;
};

class QtCheckBox final : public QtControl<QCheckBox, ICheckBox> {
 public:
  QtCheckBox(QtWindow& window, std::string name, IControl* parent);
  void SetCaption(const std::string& utf8) override;
  std::string Caption() const override { return caption_; }
  int32_t FittingWidth() const override;
  bool Checked() const override { return isChecked(); }
  void SetChecked(bool checked) override { setChecked(checked); }

 private:
  std::string caption_;
};

class QtRadioButton final : public QtControl<QRadioButton, IRadioButton> {
 public:
  QtRadioButton(QtWindow& window, std::string name, IControl* parent);
  void SetCaption(const std::string& utf8) override;
  std::string Caption() const override { return caption_; }
  int32_t FittingWidth() const override;
  bool Checked() const override { return isChecked(); }
  void SetChecked(bool checked) override;

 private:
  std::string caption_;
};

class QtGroupBox final : public QtControl<QGroupBox, IGroupBox> {
 public:
  QtGroupBox(QtWindow& window, std::string name, IControl* parent);
  void SetCaption(const std::string& utf8) override;
  std::string Caption() const override { return caption_; }
  int32_t FittingWidth() const override;

 private:
  std::string caption_;
};

class QtSpinEdit final : public QtControl<QSpinBox, ISpinEdit> {
 public:
  QtSpinEdit(QtWindow& window, std::string name, IControl* parent);
  void SetRange(int32_t minimum, int32_t maximum) override { setRange(minimum, maximum); }
  int32_t Minimum() const override { return minimum(); }
  int32_t Maximum() const override { return maximum(); }
  void SetIncrement(int32_t step) override { setSingleStep(step); }
  int32_t Value() const override;
  void SetValue(int32_t value) override { setValue(value); }
  std::string Text() const override { return text().toStdString(); }

 protected:
  // Any number may stand in the field while it is edited; leaving the
  // field brings it into the range (fixup).
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
};

class QtCheckListBox final : public QtControl<QListWidget, ICheckListBox> {
 public:
  QtCheckListBox(QtWindow& window, std::string name, IControl* parent);
  void SetItems(const std::vector<std::string>& utf8) override;
  int32_t Count() const override { return count(); }
  bool Checked(int32_t row) const override;
  void SetChecked(int32_t row, bool checked) override;
  int32_t ItemIndex() const override;
  void SetItemIndex(int32_t row) override;
  void SetItemHeight(int32_t height) override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool quiet_ = false;  // a change of the highlight that is no keyboard move
};

class QtTrackBar final : public QtControl<QSlider, ITrackBar> {
 public:
  QtTrackBar(QtWindow& window, std::string name, IControl* parent);
  void SetRange(int32_t minimum, int32_t maximum) override { setRange(minimum, maximum); }
  void SetPageSize(int32_t size) override { setPageStep(size); }
  void SetThumbLength(int32_t length) override { thumbLength_ = length; }
  int32_t Position() const override { return value(); }
  void SetPosition(int32_t position) override { setValue(position); }

 private:
  int32_t thumbLength_ = 0;  // the style draws its own thumb
};

class QtTabSheet;

class QtPageControl final : public QtControl<QTabWidget, IPageControl> {
 public:
  QtPageControl(QtWindow& window, std::string name, IControl* parent);
  void SetTabSize(int32_t width, int32_t height) override;
  void SetHotTrack(bool hotTrack) override;
  ITabSheet* ActivePage() const override;
  void SetActivePage(ITabSheet* page) override;
  void AddPage(QtTabSheet* page);
};

class QtTabSheet final : public QtControl<QWidget, ITabSheet> {
 public:
  QtTabSheet(QtWindow& window, std::string name, IControl* parent);
  void SetCaption(const std::string& utf8) override;
  std::string Caption() const override { return caption_; }
  int32_t FittingWidth() const override;
  // The tab, not the page (the page control shows the page of its tab).
  bool Visible() const override;
  void SetVisible(bool visible) override;
  // The page control's display area.
  TRect Bounds() const override;
  void SetBounds(const TRect&) override {}

 private:
  QTabWidget* Tabs() const;

  std::string caption_;
};

}  // namespace saver::qt
