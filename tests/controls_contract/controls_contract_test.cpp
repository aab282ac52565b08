// The controls' contract: what platform/controls.h promises, held against
// the in-memory controls of tests/doubles and the desktop's Qt widgets (on
// Qt's offscreen platform) alike, each driven as a user would drive it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <memory>

#include "doubles/fake_window_system.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/desktop.h"

namespace saver {
namespace {

const TFontSpec kFont{"Sans Serif", 11, false};

// What a user does to the controls of one backend.
class Backend {
 public:
  virtual ~Backend() = default;
  // A window on screen that has the keyboard.
  virtual std::unique_ptr<IWindow> ShownWindow() = 0;
  // The primary button pressed and released over the control (a check box
  // or option button: over its box).
  virtual void Click(IControl& c) = 0;
  virtual void ClickRow(ICheckListBox& list, int32_t row, bool onCheckBox) = 0;
  // The field takes the focus and the text replaces what it shows.
  virtual void Type(ISpinEdit& field, const std::string& text) = 0;
  // The focus leaves the field.
  virtual void Leave(ISpinEdit& field) = 0;
  // Return or Escape pressed where no control takes it.
  virtual void Key(IWindow& window, uint32_t vk) = 0;
};

class FakeBackend final : public Backend {
 public:
  std::unique_ptr<IWindow> ShownWindow() override {
    auto w = system_.CreateWindow();
    w->Show();
    return w;
  }
  void Click(IControl& c) override {
    if (auto* b = dynamic_cast<FakeButton*>(&c)) b->Click();
    if (auto* b = dynamic_cast<FakeCheckBox*>(&c)) b->Click();
    if (auto* b = dynamic_cast<FakeRadioButton*>(&c)) b->Click();
    if (auto* l = dynamic_cast<FakeLabel*>(&c)) l->Click();
    if (dynamic_cast<FakePanel*>(&c) || dynamic_cast<FakePictureControl*>(&c)) {
      for (const IControl* p = &c; p; p = p->Parent())
        if (!p->Visible() || !p->Enabled()) return;
      if (c.OnClick) c.OnClick();
    }
  }
  void ClickRow(ICheckListBox& list, int32_t row, bool onCheckBox) override {
    dynamic_cast<FakeCheckListBox&>(list).ClickRow(row, onCheckBox);
  }
  void Type(ISpinEdit& field, const std::string& text) override {
    dynamic_cast<FakeSpinEdit&>(field).Type(text);
  }
  void Leave(ISpinEdit& field) override { dynamic_cast<FakeSpinEdit&>(field).Leave(); }
  void Key(IWindow& window, uint32_t vk) override {
    system_.Send(window, TMessage{.Msg = msg::KeyDown, .WParam = vk});
  }

 private:
  ManualClock clock_{1000};
  FakeWindowSystem system_{clock_};
};

class QtBackend final : public Backend {
 public:
  QtBackend() { EnsureGuiApplication(); }
  std::unique_ptr<IWindow> ShownWindow() override {
    auto w = DesktopWindowSystem().CreateWindow();
    w->SetBounds(TRect{100, 100, 700, 500});
    w->Show();
    QWidget* top = Widget(*w);
    top->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(top));
    return w;
  }
  void Click(IControl& c) override {
    QWidget* w = Widget(c);
    if (!w->isVisible()) return;  // nothing on screen to click
    QPoint at = w->rect().center();
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
      at = QPoint(6, w->height() / 2);
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
  }
  void ClickRow(ICheckListBox& list, int32_t row, bool onCheckBox) override {
    auto* w = qobject_cast<QListWidget*>(Widget(list));
    w->scrollToItem(w->item(row));
    const QRect r = w->visualItemRect(w->item(row));
    QTest::mouseClick(w->viewport(), Qt::LeftButton, {},
                      onCheckBox ? QPoint(r.left() + 8, r.center().y()) : r.center());
  }
  void Type(ISpinEdit& field, const std::string& text) override {
    auto* w = qobject_cast<QSpinBox*>(Widget(field));
    w->setFocus();
    w->selectAll();
    QTest::keyClick(w, Qt::Key_Delete);
    QTest::keyClicks(w, QString::fromStdString(text));
  }
  void Leave(ISpinEdit& field) override { Widget(field)->clearFocus(); }
  void Key(IWindow& window, uint32_t vk) override {
    QTest::keyClick(Widget(window), vk == vk::Return ? Qt::Key_Return : Qt::Key_Escape);
  }

 private:
  template <class T>
  static QWidget* Widget(T& object) {
    return dynamic_cast<QWidget*>(&object);
  }
};

class ControlsContract : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "fake")
      backend = std::make_unique<FakeBackend>();
    else
      backend = std::make_unique<QtBackend>();
    window = backend->ShownWindow();
    window->SetFont(kFont);
  }
  void TearDown() override { window.reset(); }

  template <class T>
  T& Make(const std::string& name, const TRect& bounds, IControl* parent = nullptr) {
    return Add<T>(*window, name, bounds, parent);
  }
  // Counts the control's OnClick runs.
  int& Counted(IControl& c) {
    clicks.push_back(std::make_unique<int>(0));
    int* n = clicks.back().get();
    c.OnClick = [n] { ++*n; };
    return *n;
  }

  std::unique_ptr<Backend> backend;
  std::unique_ptr<IWindow> window;
  std::vector<std::unique_ptr<int>> clicks;
};

TEST_P(ControlsContract, EveryKindKeepsWhatTheProgramSetsAndRunsNoClickForIt) {
  auto& panel = Make<IPanel>("panel", TRect{10, 10, 310, 210});
  EXPECT_EQ(panel.Name(), "panel");
  EXPECT_EQ(panel.Kind(), TControlKind::Panel);
  panel.SetBevel(TBevel::Lowered);
  EXPECT_EQ(panel.Bevel(), TBevel::Lowered);
  auto& check = Make<ICheckBox>("check", TRect{5, 5, 105, 22}, &panel);
  auto& radio = Make<IRadioButton>("radio", TRect{5, 30, 105, 47}, &panel);
  auto& button = Make<IButton>("button", TRect{5, 60, 80, 85}, &panel);
  auto& label = Make<ILabel>("label", TRect{5, 90, 105, 103}, &panel);
  auto& field = Make<ISpinEdit>("field", TRect{120, 5, 185, 26}, &panel);
  auto& list = Make<ICheckListBox>("list", TRect{120, 30, 300, 130}, &panel);
  auto& bar = Make<ITrackBar>("bar", TRect{120, 140, 300, 163}, &panel);
  int total = 0;
  for (IControl* c : std::initializer_list<IControl*>{&panel, &check, &radio, &button, &label,
                                                      &field, &list, &bar}) {
    EXPECT_EQ(c->Parent(), c == &panel ? nullptr : &panel);
    c->OnClick = [&total] { ++total; };
  }
  EXPECT_EQ(check.Bounds(), (TRect{5, 5, 105, 22}));
  check.SetBounds(TRect{6, 7, 106, 24});
  EXPECT_EQ(check.Bounds(), (TRect{6, 7, 106, 24}));
  check.SetVisible(false);
  EXPECT_FALSE(check.Visible());
  check.SetVisible(true);
  check.SetEnabled(false);
  EXPECT_FALSE(check.Enabled());
  check.SetEnabled(true);
  label.SetLinkStyle(true);
  EXPECT_EQ(label.Cursor(), TCursor::HandPoint);
  label.SetLinkStyle(false);
  EXPECT_EQ(label.Cursor(), TCursor::Default);
  button.SetCursor(TCursor::HandPoint);
  EXPECT_EQ(button.Cursor(), TCursor::HandPoint);

  check.SetCaption("&Check && see");
  EXPECT_EQ(check.Caption(), "&Check && see");
  check.SetChecked(true);
  EXPECT_TRUE(check.Checked());
  radio.SetChecked(true);
  EXPECT_TRUE(radio.Checked());
  radio.SetChecked(false);
  EXPECT_FALSE(radio.Checked()) << "the program may clear a group's last checked button";
  field.SetRange(1, 60);
  field.SetValue(75);
  EXPECT_EQ(field.Value(), 60);
  EXPECT_EQ(field.Text(), "60");
  field.SetValue(-3);
  EXPECT_EQ(field.Value(), 1);
  EXPECT_EQ(field.Minimum(), 1);
  EXPECT_EQ(field.Maximum(), 60);
  list.SetItems({"one", "two", "three"});
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.ItemIndex(), -1);
  list.SetChecked(1, true);
  list.SetChecked(7, true);  // no such row: nothing
  EXPECT_TRUE(list.Checked(1));
  EXPECT_FALSE(list.Checked(0));
  EXPECT_FALSE(list.Checked(7));
  list.SetItemIndex(2);
  EXPECT_EQ(list.ItemIndex(), 2);
  list.SetItemIndex(9);
  EXPECT_EQ(list.ItemIndex(), -1);
  list.SetItems({"a", "b"});
  EXPECT_FALSE(list.Checked(1)) << "new rows start unchecked";
  bar.SetRange(1, 10);
  bar.SetPosition(14);
  EXPECT_EQ(bar.Position(), 10);
  bar.SetPosition(0);
  EXPECT_EQ(bar.Position(), 1);
  EXPECT_EQ(total, 0) << "changes the program makes run no OnClick";
}

TEST_P(ControlsContract, UserClicksRunOnClickOnceAndOnlyWhereTheUserCanReachTheControl) {
  auto& group = Make<IGroupBox>("group", TRect{10, 10, 300, 200});
  auto& check = Make<ICheckBox>("check", TRect{10, 20, 150, 37}, &group);
  auto& button = Make<IButton>("button", TRect{10, 50, 90, 75}, &group);
  auto& label = Make<ILabel>("label", TRect{10, 90, 150, 103}, &group);
  auto& panel = Make<IPanel>("panel", TRect{10, 120, 110, 180}, &group);
  check.SetCaption("Check");
  button.SetCaption("Button");
  label.SetCaption("Label");
  int& checks = Counted(check);
  int& presses = Counted(button);
  int& labels = Counted(label);
  int& panels = Counted(panel);
  backend->Click(check);
  EXPECT_TRUE(check.Checked());
  backend->Click(check);
  EXPECT_FALSE(check.Checked());
  backend->Click(button);
  backend->Click(label);
  backend->Click(panel);
  EXPECT_EQ(checks, 2);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(labels, 1);
  EXPECT_EQ(panels, 1);

  // Disabled, or inside a disabled or hidden parent: out of reach.
  button.SetEnabled(false);
  backend->Click(button);
  button.SetEnabled(true);
  group.SetEnabled(false);
  backend->Click(check);
  EXPECT_FALSE(check.Checked());
  group.SetEnabled(true);
  group.SetVisible(false);
  backend->Click(button);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(checks, 2);
}

TEST_P(ControlsContract, OptionButtonsWithOneParentAreOneGroup) {
  auto& a = Make<IGroupBox>("a", TRect{10, 10, 200, 100});
  auto& b = Make<IGroupBox>("b", TRect{210, 10, 400, 100});
  auto& a1 = Make<IRadioButton>("a1", TRect{10, 20, 150, 37}, &a);
  auto& a2 = Make<IRadioButton>("a2", TRect{10, 45, 150, 62}, &a);
  auto& b1 = Make<IRadioButton>("b1", TRect{10, 20, 150, 37}, &b);
  for (IRadioButton* r : {&a1, &a2, &b1}) r->SetCaption(r->Name());
  int& clicked = Counted(a2);
  a1.SetChecked(true);
  b1.SetChecked(true);
  backend->Click(a2);
  EXPECT_TRUE(a2.Checked());
  EXPECT_FALSE(a1.Checked()) << "checking one unchecks the others";
  EXPECT_TRUE(b1.Checked()) << "another parent's group keeps its choice";
  EXPECT_EQ(clicked, 1);
  a1.SetChecked(true);
  EXPECT_FALSE(a2.Checked());
}

TEST_P(ControlsContract, EnterAndEscPressTheLastDefaultAndCancelButtonsWhileTheyCanBePressed) {
  auto& ok = Make<IButton>("ok", TRect{10, 10, 90, 35});
  auto& other = Make<IButton>("other", TRect{100, 10, 180, 35});
  auto& cancel = Make<IButton>("cancel", TRect{190, 10, 270, 35});
  for (IButton* b : {&ok, &other, &cancel}) b->SetCaption(b->Name());
  int& oks = Counted(ok);
  int& others = Counted(other);
  int& cancels = Counted(cancel);
  ok.SetDefault(true);
  cancel.SetCancel(true);
  EXPECT_TRUE(ok.Default());
  EXPECT_TRUE(cancel.Cancel());
  backend->Key(*window, vk::Return);
  backend->Key(*window, vk::Escape);
  EXPECT_EQ(oks, 1);
  EXPECT_EQ(cancels, 1);
  other.SetDefault(true);  // the last one set is the default
  backend->Key(*window, vk::Return);
  EXPECT_EQ(others, 1);
  EXPECT_EQ(oks, 1);
  other.SetVisible(false);
  cancel.SetEnabled(false);
  backend->Key(*window, vk::Return);
  backend->Key(*window, vk::Escape);
  EXPECT_EQ(oks + others + cancels, 3) << "hidden or disabled, no button is pressed";
}

TEST_P(ControlsContract, TheSpinFieldTakesOnlyNumbersAndBringsThemIntoRangeWhenLeft) {
  auto& field = Make<ISpinEdit>("field", TRect{10, 10, 75, 31});
  field.SetRange(1, 60);
  field.SetValue(5);
  const struct {
    const char* typed;
    std::string shown;    // while the field has the focus
    int32_t value, left;  // Value() then, and after the focus left
  } cases[] = {
      {"42", "42", 42, 42},
      {"75", "75", 60, 60},
      {"-5", "-5", 1, 1},
      {"4x2", "42", 42, 42},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    backend->Type(field, c.typed);
    EXPECT_EQ(field.Text(), c.shown);
    EXPECT_EQ(field.Value(), c.value);
    backend->Leave(field);
    EXPECT_EQ(field.Text(), std::to_string(c.left));
    EXPECT_EQ(field.Value(), c.left);
  }
}

TEST_P(ControlsContract, ARowClickHighlightsItAndItsBoxTogglesOnlyItsCheck) {
  auto& list = Make<ICheckListBox>("list", TRect{10, 10, 210, 110});
  list.SetItemHeight(16);
  list.SetItems({"one", "two", "three", "four", "five", "six", "seven", "eight", "nine"});
  int& clicked = Counted(list);
  backend->ClickRow(list, 8, false);  // below the fold: brought into view first
  EXPECT_EQ(list.ItemIndex(), 8);
  EXPECT_FALSE(list.Checked(8));
  EXPECT_EQ(clicked, 1);
  backend->ClickRow(list, 1, true);
  EXPECT_TRUE(list.Checked(1));
  EXPECT_EQ(list.ItemIndex(), 8);
  backend->ClickRow(list, 1, true);
  EXPECT_FALSE(list.Checked(1));
  EXPECT_EQ(clicked, 1) << "a box's click is no click on its row";
}

TEST_P(ControlsContract, PagesStandInTheOrderMadeAndAHiddenPageGivesWayToAShownOne) {
  auto& pages = Make<IPageControl>("pages", TRect{10, 10, 410, 290});
  pages.SetTabSize(70, 20);
  auto& first = Make<ITabSheet>("first", TRect{}, &pages);
  auto& second = Make<ITabSheet>("second", TRect{}, &pages);
  auto& third = Make<ITabSheet>("third", TRect{}, &pages);
  for (ITabSheet* s : {&first, &second, &third}) s->SetCaption(s->Name());
  EXPECT_EQ(pages.ActivePage(), &first);
  pages.SetActivePage(&third);
  EXPECT_EQ(pages.ActivePage(), &third);
  third.SetVisible(false);
  EXPECT_FALSE(third.Visible());
  EXPECT_NE(pages.ActivePage(), &third);
  EXPECT_NE(pages.ActivePage(), nullptr);
  third.SetVisible(true);
  EXPECT_TRUE(third.Visible());
}

TEST_P(ControlsContract, ACaptionFitsAtItsFittingWidth) {
  auto& label = Make<ILabel>("label", TRect{10, 10, 20, 23});
  auto& check = Make<ICheckBox>("check", TRect{10, 30, 20, 47});
  auto& button = Make<IButton>("button", TRect{10, 60, 20, 85});
  // Accelerator marks take no room; "&&" is one '&'.
  label.SetCaption("&Mute && go");
  const int32_t marked = label.FittingWidth();
  label.SetCaption("Mute && go");
  EXPECT_EQ(label.FittingWidth(), marked);
  label.SetCaption("Mute && go, and more");
  EXPECT_GT(label.FittingWidth(), marked);
  // The box or frame around the caption takes room too.
  check.SetCaption("Mute && go");
  button.SetCaption("Mute && go");
  EXPECT_GT(check.FittingWidth(), marked);
  EXPECT_GT(button.FittingWidth(), marked);
  // A larger face needs more room.
  label.SetCaption("Mute && go");
  label.SetFont(TFontSpec{kFont.family, 22, false});
  EXPECT_GT(label.FittingWidth(), marked);
  // An auto-size label takes its fitting width, up to its limit; a wrapped
  // one fits any width.
  label.SetAutoSize(true);
  EXPECT_EQ(label.Bounds().Width(), label.FittingWidth());
  EXPECT_EQ(label.Bounds().Left, 10);
  label.SetAutoSize(true, 30);
  EXPECT_EQ(label.Bounds().Width(), 30);
  auto& wrapped = Make<ILabel>("wrapped", TRect{10, 100, 60, 140});
  wrapped.SetWordWrap(true);
  wrapped.SetCaption("a caption far longer than fifty pixels");
  EXPECT_EQ(wrapped.FittingWidth(), 50);
}

TEST_P(ControlsContract, APictureShowsItsBufferOnRepaintAndKeepsWhatItShowsWhenResized) {
  auto& picture = Make<IPictureControl>("picture", TRect{10, 10, 50, 40});
  EXPECT_EQ(picture.Surface().Width(), 40);
  EXPECT_EQ(picture.Surface().Height(), 30);
  picture.Buffer().SetSize(40, 30);
  picture.Buffer().Clear(Color32(10, 20, 30));
  picture.Buffer().SetPixel(39, 29, Color32(200, 100, 0));
  TBitmap32 shown(40, 30);
  picture.Surface().CopyTo(shown, shown.BoundsRect());
  EXPECT_NE(shown.Pixel(0, 0) | 0xFF000000u, Color32(10, 20, 30)) << "not before Repaint";
  picture.Repaint();
  picture.Surface().CopyTo(shown, shown.BoundsRect());
  EXPECT_EQ(shown.Pixel(0, 0) | 0xFF000000u, Color32(10, 20, 30));
  EXPECT_EQ(shown.Pixel(39, 29) | 0xFF000000u, Color32(200, 100, 0));
  // Drawn onto the surface directly, at once.
  TBitmap32 dot(2, 2);
  dot.Clear(Color32(0, 0, 255));
  picture.Surface().StretchFrom(dot, dot.BoundsRect(), TRect{4, 4, 8, 8});
  picture.Surface().CopyTo(shown, shown.BoundsRect());
  EXPECT_EQ(shown.Pixel(6, 6) | 0xFF000000u, Color32(0, 0, 255));
  picture.SetBounds(TRect{10, 10, 30, 60});
  EXPECT_EQ(picture.Surface().Width(), 20);
  EXPECT_EQ(picture.Surface().Height(), 50);
  TBitmap32 resized(20, 50);
  picture.Surface().CopyTo(resized, resized.BoundsRect());
  EXPECT_EQ(resized.Pixel(6, 6) | 0xFF000000u, Color32(0, 0, 255));
  EXPECT_EQ(resized.Pixel(19, 29) | 0xFF000000u, Color32(10, 20, 30));
}

INSTANTIATE_TEST_SUITE_P(Backends, ControlsContract, ::testing::Values("fake", "qt"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace saver
