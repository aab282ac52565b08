#pragma once
// The player's settings dialog on the desktop backend, on Qt's offscreen
// platform: the real widgets, driven with Qt's test input. The settings
// store is a file in a scratch folder; the shell and message box record.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QApplication>
#include <QListWidget>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "payload/reader_test_file.h"
#include "pictures/saver_builder.h"
#include "platform/desktop.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "doubles/recording_shell.h"
#include "settings/about_window.h"
#include "settings/settings_store.h"
#include "show/saver_window.h"
#include "trans/trans.h"

namespace saver::testing {

inline constexpr char kDialogTitle[] = "Dialog Test";

// Runs the event loop until pred holds or seconds have passed; pred's result.
inline bool PumpUntil(const std::function<bool()>& pred, double seconds = 10) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_settings_dialog";
    static char* argv[] = {name, nullptr};
    std::string error;
    ASSERT_TRUE(StartDesktop(argc, argv, &error)) << error;
    SetShell(&shell);
    SetRegistry(&registry);
    SetMessageBoxService(&box);
    ::setenv("TMPDIR", scratch.Path("").c_str(), 1);
    AbortTransition = false;
    SkipFinalFrame = false;
  }

  void TearDown() override {
    about.reset();
    if (w) {
      // A preview still painting ends before its surface goes.
      AbortTransition = true;
      PumpUntil([] { return !TransitionRunning.load(); });
      w.reset();
    }
    QCoreApplication::processEvents();
    SetShell(nullptr);
    SetRegistry(nullptr);
    SetMessageBoxService(&DesktopMessageBox());
    ::unsetenv("TMPDIR");
  }

  // A saver with two music tracks, a banner and every exit but Esc.
  static SaverBuilder Saver() {
    SaverBuilder b;
    b.text.Title = kDialogTitle;
    b.text.Effect = "\x01\x05";
    b.trailer.Seconds = 5;
    b.trailer.EffectSpeed = 4;
    b.trailer.Stretch = 0;
    b.trailer.Loop = 1;
    b.trailer.ExitMouseMove = b.trailer.ExitMouseButton = b.trailer.ExitKeyboard = 1;
    b.banner = {1, 2, 3, 4};
    b.AddMusic({'a'}, ".wav");
    b.AddMusic({'b'}, ".wav");
    return b;
  }

  // Opens the settings of b as "saver /c" would, with the About window.
  void Open(SaverBuilder& b) {
    const std::string path = scratch.Write("dialog.scr", b.Build());
    w = std::make_unique<TSSWindow>(std::vector<std::string>{"/c"}, path);
    about = std::make_unique<TAboutWindow>(w->Data.Text);
    w->Window().Show();
    QWidget* top = Top();
    top->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(top));
  }

  QWidget* Top() { return dynamic_cast<QWidget*>(&w->Window()); }
  QWidget* AboutTop() { return dynamic_cast<QWidget*>(&about->Window()); }

  // The main window's widget of that control name.
  template <class W = QWidget>
  W* Find(const char* name, QWidget* root = nullptr) {
    if (!root) root = Top();
    W* found = root->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  // A click with the left button: on a check box or option button at its
  // box, elsewhere in the middle.
  void Click(QWidget* widget) {
    QPoint at = widget->rect().center();
    if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget))
      at = QPoint(6, widget->height() / 2);
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
  }
  void Click(const char* name) { Click(Find(name)); }

  // Brings the tab sheet to the front with a click on its tab.
  void ShowPage(const char* sheet) {
    auto* pages = Find<QTabWidget>("PageControl");
    const int index = pages->indexOf(Find(sheet));
    ASSERT_TRUE(pages->isTabVisible(index)) << sheet;
    QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(index).center());
    ASSERT_EQ(pages->currentIndex(), index) << sheet;
  }

  // A click on a row of the effect list (its text, or its check box).
  void ClickRow(int row, bool onCheckBox = false) {
    auto* list = Find<QListWidget>("lbEffects");
    list->scrollToItem(list->item(row));
    const QRect r = list->visualItemRect(list->item(row));
    const QPoint at = onCheckBox ? QPoint(r.left() + 8, r.center().y()) : r.center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  }

  // A key for whatever has the keyboard focus.
  void Key(int key, Qt::KeyboardModifiers mods = {}) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, Qt::Key(key), mods);
  }

  bool Closed() const { return !w->Window().Visible(); }

  // What the last close stored, as the next start reads it.
  PayloadTrailer Stored(std::string* effect = nullptr) {
    PayloadTrailer t;
    std::string e = "unread";
    ReadSettings(registry, kDialogTitle, t, e);
    if (effect) *effect = e;
    return t;
  }

  ScratchDir scratch;
  FileRegistry registry{scratch.Path("registry.json")};
  RecordingShell shell;
  RecordingMessageBox box;
  std::unique_ptr<TSSWindow> w;
  std::unique_ptr<TAboutWindow> about;
};

}  // namespace saver::testing
