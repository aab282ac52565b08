// Dialog controls: labels, buttons, check boxes, option buttons, group
// boxes, spin fields, check lists, track bars and tab pages.
#include "platform/qt/dialog_qt.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStyleOptionTab>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

namespace saver::qt {

namespace {

// Faces of the same metrics as a family the desktop may lack, by family:
// files that are installed outside fontconfig's search path.
const std::map<QString, std::vector<const char*>>& MetricFaces() {
  static const std::map<QString, std::vector<const char*>> faces = {
      {QStringLiteral("Tahoma"),
       {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}},
  };
  return faces;
}

// The families resolved so far, and the metric faces loaded for them.
struct TFaces {
  bool useMetricFaces = true;
  std::map<QString, QString> resolved;
  std::vector<int> loaded;
};
TFaces& Faces() {
  static TFaces faces;
  return faces;
}

QString ResolveFamily(const QString& family) {
  TFaces& faces = Faces();
  if (auto it = faces.resolved.find(family); it != faces.resolved.end()) return it->second;
  QString result;
  if (family.isEmpty() || QFontDatabase::hasFamily(family)) {
    result = family;
  } else if (auto it = MetricFaces().find(family);
             faces.useMetricFaces && it != MetricFaces().end()) {
    for (const char* file : it->second) {
      const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(file));
      if (id >= 0) faces.loaded.push_back(id);
      if (id >= 0 && result.isEmpty() && !QFontDatabase::applicationFontFamilies(id).isEmpty())
        result = QFontDatabase::applicationFontFamilies(id).first();
    }
  }
  faces.resolved[family] = result;
  return result;
}

// Device pixels of a logical width.
int32_t ToDevice(qreal logical, qreal ratio) { return int32_t(std::ceil(logical * ratio)); }

// What a button's style keeps around its contents (its box, frame and
// margins) and the caption's width.
int32_t ButtonFittingWidth(const QAbstractButton& b, QStyle::SubElement contents,
                           const std::string& caption, int padding, qreal ratio) {
  QStyleOptionButton option;
  option.initFrom(&b);
  option.text = b.text();
  const int around = b.width() - b.style()->subElementRect(contents, &option, &b).width();
  return ToDevice(around + b.fontMetrics().horizontalAdvance(PlainCaption(caption)) + padding,
                  ratio);
}

QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The rows of a check list are all one height.
class RowHeightDelegate final : public QStyledItemDelegate {
 public:
  RowHeightDelegate(QObject* parent, int height) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    if (height_ > 0) s.setHeight(height_);
    return s;
  }

 private:
  int height_;
};

// Every tab of one size, when one is set.
class SizedTabBar final : public QTabBar {
 public:
  using QTabBar::QTabBar;
  QSize size;

 protected:
  QSize tabSizeHint(int index) const override {
    return size.isValid() ? size : QTabBar::tabSizeHint(index);
  }
  QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
};

}  // namespace

void UseMetricFaces(bool use) {
  TFaces& faces = Faces();
  faces.useMetricFaces = use;
  faces.resolved.clear();
  for (int id : faces.loaded) QFontDatabase::removeApplicationFont(id);
  faces.loaded.clear();
}

QFont ResolveFont(const TFontSpec& spec) {
  QFont font;
  const QString family = ResolveFamily(FromUtf8(spec.family));
  if (!family.isEmpty()) {
    font.setFamily(family);
  } else {
    font.setFamily(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
  }
  if (spec.pixelHeight > 0) font.setPixelSize(spec.pixelHeight);
  font.setBold(spec.bold);
  return font;
}

QString PlainCaption(const std::string& utf8) {
  const QString s = FromUtf8(utf8);
  QString out;
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] == QLatin1Char('&') && i + 1 < s.size()) ++i;
    out += s[i];
  }
  return out;
}

// Labels.

QtLabel::QtLabel(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::Label, parent) {
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setMargin(0);
  setIndent(0);
  setTextFormat(Qt::PlainText);
}

void QtLabel::ShowCaption() {
  if (wordWrap()) {
    // Lines of wrapped text get room between them (fonts such as the
    // Tahoma-metric one have no line gap of their own).
    setTextFormat(Qt::RichText);
    setText(QStringLiteral("<div style=\"line-height:%1%\">").arg(kWrappedLineHeightPercent) +
            PlainCaption(caption_)
                .toHtmlEscaped()
                .replace(QStringLiteral("\r\n"), QStringLiteral("<br>"))
                .replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
            QStringLiteral("</div>"));
  } else {
    // Qt draws the accelerator of a label that has a buddy; without one the
    // marks would show as they are.
    setTextFormat(Qt::PlainText);
    setText(buddy() ? FromUtf8(caption_) : PlainCaption(caption_));
  }
  Fit();
}

void QtLabel::SetCaption(const std::string& utf8) {
  caption_ = utf8;
  ShowCaption();
}

void QtLabel::SetFocusControl(IControl* control) {
  setBuddy(control ? dynamic_cast<QWidget*>(control) : nullptr);
  ShowCaption();
}

void QtLabel::SetFont(const TFontSpec& spec) {
  const bool underline = font().underline();
  QFont f = ResolveFont(spec);
  f.setUnderline(underline);
  setFont(f);
  Fit();
}

void QtLabel::SetLinkStyle(bool link) {
  QFont f = font();
  f.setUnderline(link);
  setFont(f);
  QPalette p = palette();
  if (link)
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
  else
    p.setColor(QPalette::WindowText, window_.palette().color(QPalette::WindowText));
  setPalette(p);
  SetCursor(link ? TCursor::HandPoint : TCursor::Default);
  Fit();
}

void QtLabel::SetWordWrap(bool wrap) {
  setWordWrap(wrap);
  ShowCaption();
}

void QtLabel::SetAutoSize(bool autoSize, int32_t maxWidth) {
  autoSize_ = autoSize;
  maxWidth_ = maxWidth;
  Fit();
}

void QtLabel::Fit() {
  if (!autoSize_) return;
  const qreal ratio = Ratio();
  int32_t w = FittingWidth();
  if (maxWidth_ > 0) w = std::min(w, maxWidth_);
  const int32_t h = ToDevice(sizeHint().height(), ratio);
  const TRect b = Bounds();
  const TRect fitted{b.Left, b.Top, b.Left + w, b.Top + h};
  if (fitted == b) return;
  SetBoundsQuietly(fitted);
  setGeometry(ScaleToLogical(fitted, ratio));
}

int32_t QtLabel::FittingWidth() const {
  if (wordWrap()) return Bounds().Width();
  return ToDevice(sizeHint().width(), Ratio());
}

void QtLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Clicked();
}

// Buttons.

QtButton::QtButton(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::Button, parent) {
  // Enter presses the button that has the focus.
  setAutoDefault(true);
  QObject::connect(this, &QPushButton::clicked, [this] { Clicked(); });
}

void QtButton::SetCaption(const std::string& utf8) {
  caption_ = utf8;
  setText(FromUtf8(utf8));
}

int32_t QtButton::FittingWidth() const {
  // A little room on each side of the caption, as the style's margin.
  return ButtonFittingWidth(*this, QStyle::SE_PushButtonContents, caption_,
                            style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, this), Ratio());
}

void QtButton::SetDefault(bool isDefault) {
  default_ = isDefault;
  setDefault(isDefault);
  window_.SetRoleButton(false, this, isDefault);
}

void QtButton::SetCancel(bool isCancel) {
  cancel_ = isCancel;
  window_.SetRoleButton(true, this, isCancel);
}

QtCheckBox::QtCheckBox(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::CheckBox, parent) {
  QObject::connect(this, &QCheckBox::clicked, [this] { Clicked(); });
}

void QtCheckBox::SetCaption(const std::string& utf8) {
  caption_ = utf8;
  setText(FromUtf8(utf8));
}

int32_t QtCheckBox::FittingWidth() const {
  return ButtonFittingWidth(*this, QStyle::SE_CheckBoxContents, caption_, 0, Ratio());
}

QtRadioButton::QtRadioButton(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::RadioButton, parent) {
  QObject::connect(this, &QRadioButton::clicked, [this] { Clicked(); });
}

void QtRadioButton::SetCaption(const std::string& utf8) {
  caption_ = utf8;
  setText(FromUtf8(utf8));
}

int32_t QtRadioButton::FittingWidth() const {
  return ButtonFittingWidth(*this, QStyle::SE_RadioButtonContents, caption_, 0, Ratio());
}

void QtRadioButton::SetChecked(bool checked) {
  if (checked || !isChecked()) {
    setChecked(checked);
    return;
  }
  // Qt keeps the checked button of a group checked; the program may clear it.
  setAutoExclusive(false);
  setChecked(false);
  setAutoExclusive(true);
}

QtGroupBox::QtGroupBox(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::GroupBox, parent) {}

int32_t QtGroupBox::FittingWidth() const { return ToDevice(minimumSizeHint().width(), Ratio()); }

void QtGroupBox::SetCaption(const std::string& utf8) {
  caption_ = utf8;
  setTitle(FromUtf8(utf8));
}

// The spin field.

QtSpinEdit::QtSpinEdit(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::SpinEdit, parent) {}

namespace {

// The number a field's text stands for, saturated to int's range; nullopt
// for text that is no number.
std::optional<long long> FieldNumber(const QString& text) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
    negative = t[i++] == QLatin1Char('-');
  if (i == t.size()) return std::nullopt;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (!t[i].isDigit() || t[i].unicode() > '9') return std::nullopt;
    v = std::min<long long>(v * 10 + (t[i].unicode() - '0'), INT_MAX);
  }
  return negative ? -v : v;
}

}  // namespace

int32_t QtSpinEdit::Value() const {
  const std::optional<long long> n = FieldNumber(text());
  if (!n) return minimum();
  return int32_t(std::clamp<long long>(*n, minimum(), maximum()));
}

QValidator::State QtSpinEdit::validate(QString& input, int&) const {
  const QString t = input.trimmed();
  for (qsizetype i = 0; i < t.size(); ++i) {
    const bool sign = (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')) && i == 0;
    if (!sign && !(t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9')))
      return QValidator::Invalid;
  }
  const std::optional<long long> n = FieldNumber(t);
  return n && *n >= minimum() && *n <= maximum() ? QValidator::Acceptable
                                                 : QValidator::Intermediate;
}

void QtSpinEdit::fixup(QString& input) const {
  const std::optional<long long> n = FieldNumber(input);
  input = QString::number(n ? std::clamp<long long>(*n, minimum(), maximum()) : minimum());
}

// The check list.

QtCheckListBox::QtCheckListBox(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::CheckListBox, parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QObject::connect(this, &QListWidget::itemSelectionChanged, [this] {
    if (!quiet_ && ItemIndex() >= 0) Clicked();
  });
}

void QtCheckListBox::SetItems(const std::vector<std::string>& utf8) {
  quiet_ = true;
  clear();
  for (const std::string& text : utf8) {
    auto* item = new QListWidgetItem(FromUtf8(text), this);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  setCurrentRow(-1);
  quiet_ = false;
}

bool QtCheckListBox::Checked(int32_t row) const {
  const QListWidgetItem* i = item(row);
  return i && i->checkState() == Qt::Checked;
}

void QtCheckListBox::SetChecked(int32_t row, bool checked) {
  if (QListWidgetItem* i = item(row)) i->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

int32_t QtCheckListBox::ItemIndex() const {
  // Qt gives the list a current row when it gets the focus; only a
  // selected one is highlighted.
  const int r = currentRow();
  return r >= 0 && item(r)->isSelected() ? r : -1;
}

void QtCheckListBox::SetItemIndex(int32_t row) {
  quiet_ = true;
  if (row >= 0 && row < count()) {
    setCurrentRow(row);
  } else {
    clearSelection();
    setCurrentRow(-1);
  }
  quiet_ = false;
}

void QtCheckListBox::SetItemHeight(int32_t height) {
  const int logical = int(std::lround(height / Ratio()));
  QAbstractItemDelegate* old = itemDelegate();
  setItemDelegate(new RowHeightDelegate(this, logical));
  if (old && old->parent() == this) old->deleteLater();
}

void QtCheckListBox::mousePressEvent(QMouseEvent* event) {
  quiet_ = true;
  QListWidget::mousePressEvent(event);
  quiet_ = false;
  const QPoint at = event->position().toPoint();
  const QModelIndex row = indexAt(at);
  if (event->button() != Qt::LeftButton || !row.isValid()) return;
  // A press on a row's check box only toggles it.
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(row);
  option.features |= QStyleOptionViewItem::HasCheckIndicator;
  if (!style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this).contains(at))
    Clicked();
}

// The track bar.

QtTrackBar::QtTrackBar(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::TrackBar, parent) {
  setOrientation(Qt::Horizontal);
  setTickPosition(QSlider::TicksBelow);
  setTickInterval(1);
  setSingleStep(1);
}

// Tab pages.

QtPageControl::QtPageControl(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::PageControl, parent) {
  setTabBar(new SizedTabBar(this));
  tabBar()->setObjectName(objectName() + QStringLiteral(".tabs"));
  setUsesScrollButtons(false);
  setElideMode(Qt::ElideNone);
}

void QtPageControl::SetTabSize(int32_t width, int32_t height) {
  auto* bar = static_cast<SizedTabBar*>(tabBar());
  const qreal ratio = Ratio();
  bar->size = QSize(int(std::lround(width / ratio)), int(std::lround(height / ratio)));
  // The bar measures its tabs again when its font changes.
  bar->setFont(bar->font());
  bar->adjustSize();
  updateGeometry();
}

void QtPageControl::SetHotTrack(bool hotTrack) {
  tabBar()->setAttribute(Qt::WA_Hover, hotTrack);
  tabBar()->setMouseTracking(hotTrack);
  // The desktop's style may draw nothing for a tab under the mouse: its
  // caption takes the highlight colour.
  tabBar()->setStyleSheet(hotTrack ? QStringLiteral(
                                         "QTabBar::tab:hover:!selected { color: palette(highlight); }")
                                   : QString());
}

ITabSheet* QtPageControl::ActivePage() const { return dynamic_cast<QtTabSheet*>(currentWidget()); }

void QtPageControl::SetActivePage(ITabSheet* page) {
  if (auto* sheet = dynamic_cast<QtTabSheet*>(page)) setCurrentWidget(sheet);
}

void QtPageControl::AddPage(QtTabSheet* page) { addTab(page, QString()); }

QtTabSheet::QtTabSheet(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::TabSheet, parent) {
  if (auto* pages = dynamic_cast<QtPageControl*>(parent)) pages->AddPage(this);
}

QTabWidget* QtTabSheet::Tabs() const { return dynamic_cast<QtPageControl*>(Parent()); }

void QtTabSheet::SetCaption(const std::string& utf8) {
  caption_ = utf8;
  if (QTabWidget* t = Tabs()) t->setTabText(t->indexOf(this), FromUtf8(utf8));
}

int32_t QtTabSheet::FittingWidth() const {
  const QTabWidget* t = Tabs();
  if (!t) return 0;
  const QTabBar* bar = t->tabBar();
  const QString text = PlainCaption(caption_);
  QStyleOptionTab option;
  option.initFrom(bar);
  option.shape = bar->shape();
  option.rect = bar->tabRect(t->indexOf(this));
  option.text = text;
  const int around = option.rect.width() -
                     bar->style()->subElementRect(QStyle::SE_TabBarTabText, &option, bar).width();
  return ToDevice(around + bar->fontMetrics().horizontalAdvance(text), Ratio());
}

bool QtTabSheet::Visible() const {
  const QTabWidget* t = Tabs();
  return t ? t->isTabVisible(t->indexOf(this)) : !isHidden();
}

void QtTabSheet::SetVisible(bool visible) {
  if (QTabWidget* t = Tabs())
    t->setTabVisible(t->indexOf(this), visible);
  else
    setVisible(visible);
}

TRect QtTabSheet::Bounds() const { return ScaleToDevice(geometry(), Ratio()); }

}  // namespace saver::qt
