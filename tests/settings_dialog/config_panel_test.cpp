// The settings dialog ("saver /c") with the real widgets.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <QStackedWidget>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QStyleOptionTab>
#include <climits>

#include "dialog_fixture.h"
#include "platform/qt/dialog_qt.h"
#include "platform/build_config.h"
#include "platform/controls.h"
#include "settings/sample_pictures.h"

namespace saver::testing {
namespace {

QString CaptionOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

TEST_F(DialogTest, EveryControlStandsWhereTheLayoutPutsIt) {
  SaverBuilder b = Saver();
  b.text.Website = "example.org";
  Open(b);
  struct Row {
    const char* name;
    const char* parent;
    const char* caption;
    int left, top, width, height;
  };
  // Labels take the width of their text; the rest is exact.
  const Row layout[] = {
      {"BannerPlaceHolderPanel", "CfgBox", "", 0, 0, 505, 69},
      {"PanelWebBanner", "BannerPlaceHolderPanel", "", 18, 5, 470, 62},
      {"imgBanner", "PanelWebBanner", "", 1, 1, 468, 60},
      {"ConfigControlsPanel", "CfgBox", "", 0, 69, 505, 312},
      {"PageControl", "ConfigControlsPanel", "", 10, 7, 399, 281},
      {"btnAbout", "ConfigControlsPanel", "About...", 418, 28, 75, 25},
      {"btnWebsite", "ConfigControlsPanel", "Website...", 418, 60, 75, 25},
      {"btnClose", "ConfigControlsPanel", "Close", 418, 263, 75, 25},
      {"Link", "ConfigControlsPanel", "This screen saver was created with Kelvastrom", 12, 292, 0, 0},
      {"GroupBox3", "tsGeneral", "Image Duration", 12, 8, 367, 57},
      {"Label12", "GroupBox3", "&Display each image for", 16, 24, 0, 0},
      {"edSeconds", "GroupBox3", "", 136, 20, 65, 21},
      {"Label13", "GroupBox3", "seconds", 216, 24, 0, 0},
      {"gbOrder", "tsGeneral", "Item Order", 12, 74, 367, 87},
      {"rbSequential", "gbOrder", "&Sequential", 16, 18, 113, 17},
      {"rbRandom", "gbOrder", "&Random", 16, 38, 113, 17},
      {"rbMixed", "gbOrder", "&Mixed", 16, 58, 113, 17},
      {"GroupBox2", "tsGeneral", "Startup", 12, 170, 367, 51},
      {"cbDesktop", "GroupBox2", "S&tart image painting on Desktop", 16, 20, 177, 17},
      {"gbSize", "tsPosition", "Item Size", 12, 8, 367, 87},
      {"rbSizeResize", "gbSize", "&Resize to fit screen (maintain aspect ratio)", 16, 18, 225, 17},
      {"rbSizeStretch", "gbSize", "&Stretch to fit screen", 16, 38, 121, 17},
      {"rbSizeNone", "gbSize", "&Do not change size", 16, 58, 121, 17},
      {"gbPosition", "tsPosition", "Item Position", 12, 104, 367, 63},
      {"rbPosCenter", "gbPosition", "&Center", 16, 16, 65, 17},
      {"rbPosRandom", "gbPosition", "R&andom position", 16, 36, 105, 17},
      {"GroupBox9", "tsEffects", "Selection", 12, 8, 367, 177},
      {"lbEffects", "GroupBox9", "", 16, 24, 209, 105},
      {"btnSelectAll", "GroupBox9", "Select All", 40, 140, 75, 25},
      {"btnSelectNone", "GroupBox9", "Select None", 120, 140, 75, 25},
      {"Panel3", "GroupBox9", "", 232, 24, 121, 97},
      {"ImgPreviewTrans", "Panel3", "", 1, 1, 119, 95},
      {"ImgPT1", "GroupBox9", "", 256, 144, 41, 17},
      {"ImgPT2", "GroupBox9", "", 304, 144, 41, 17},
      {"GroupBox6", "tsEffects", "Speed", 12, 192, 367, 49},
      {"Label16", "GroupBox6", "Smooth", 16, 20, 0, 0},
      {"tbEffectSpeed", "GroupBox6", "", 56, 18, 265, 23},
      {"Label26", "GroupBox6", "Fast", 328, 20, 0, 0},
      {"GroupBox10", "tsSound", "General", 12, 8, 367, 57},
      {"cbMute", "GroupBox10", "&Mute sounds", 16, 24, 89, 17},
      {"GroupBox1", "tsSound", "Playlist", 12, 74, 367, 93},
      {"cbLoop", "GroupBox1", "&Repeat playlist", 16, 20, 97, 17},
      {"cbShuffle", "GroupBox1", "&Shuffle playlist item order", 16, 42, 145, 17},
      {"cbPlayOneRandom", "GroupBox1", "S&elect and play just one random playlist item", 16, 64, 241, 17},
      {"GroupBox12", "tsBehavior", "Exit Contitions", 12, 8, 367, 113},
      {"cbExitMouseMove", "GroupBox12", "&Mouse Move", 16, 20, 105, 17},
      {"cbExitMouseButton", "GroupBox12", "Mouse &Button Click", 16, 42, 121, 17},
      {"cbExitKeyboard", "GroupBox12", "&Keyboard Button", 16, 64, 105, 17},
      {"cbExitEscape", "GroupBox12", "&ESC Button", 16, 86, 105, 17},
  };
  for (const Row& r : layout) {
    SCOPED_TRACE(r.name);
    QWidget* c = Find(r.name);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->parentWidget()->objectName().toStdString(), r.parent);
    EXPECT_EQ(CaptionOf(c).toStdString(), r.caption);
    if (r.width) {
      EXPECT_EQ(c->geometry(), QRect(r.left, r.top, r.width, r.height));
    } else {
      EXPECT_EQ(c->pos(), QPoint(r.left, r.top));
      EXPECT_GE(c->width(), c->sizeHint().width()) << "the caption is cut off";
    }
  }
  // The accelerator of "Display each image for" focuses the seconds field.
  EXPECT_EQ(Find<QLabel>("Label12")->buddy(), Find("edSeconds"));

  // The pages in order, General in front, tabs 70 x 20.
  auto* pages = Find<QTabWidget>("PageControl");
  const char* sheets[][2] = {{"tsGeneral", "General"},
                             {"tsPosition", "Position"},
                             {"tsEffects", "Effects"},
                             {"tsSound", "Sound"},
                             {"tsBehavior", "Behavior"}};
  ASSERT_EQ(pages->count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(pages->widget(i)->objectName().toStdString(), sheets[i][0]);
    EXPECT_EQ(pages->tabText(i).toStdString(), sheets[i][1]);
    EXPECT_EQ(pages->tabBar()->tabRect(i).size(), QSize(70, 20));
  }
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_TRUE(pages->tabBar()->testAttribute(Qt::WA_Hover)) << "hot-tracking";

  // Tab order beside the pages: the pages, About, Website, Close.
  std::vector<std::string> order;
  QWidget* f = pages->tabBar();
  do {
    if (f == pages->tabBar())
      order.push_back("PageControl");
    else if (qobject_cast<QPushButton*>(f) && f->parentWidget() == Find("ConfigControlsPanel"))
      order.push_back(f->objectName().toStdString());
    f = f->nextInFocusChain();
  } while (f != pages->tabBar());
  EXPECT_EQ(order, (std::vector<std::string>{"PageControl", "btnAbout", "btnWebsite", "btnClose"}));

  // The window: the panel's size, titled after the saver, in 11-pixel Tahoma.
  EXPECT_EQ(Top()->size(), QSize(505, 381));
  EXPECT_EQ(Top()->windowTitle().toStdString(), kDialogTitle);
  EXPECT_EQ(Top()->font().pixelSize(), 11);
  EXPECT_EQ(QFontInfo(Top()->font()).family(), QStringLiteral("Tahoma")) << "fonts-wine";
  EXPECT_EQ(w->ConfigPanel().PreviewTimer().Interval(), 200u);
  EXPECT_TRUE(w->ConfigPanel().PreviewTimer().Enabled());
  auto* link = Find<QLabel>("Link");
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
}

// What a sample picture or the preview surface shows.
TBitmap32 Shown(TConfigPanel& panel) {
  TBitmap32 b(kSamplePictureWidth, kSamplePictureHeight);
  panel.PreviewSurface().Surface().CopyTo(b, b.BoundsRect());
  b.ResetAlpha(255);
  return b;
}
bool Same(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if ((a.Pixel(x, y) | 0xFF000000u) != (b.Pixel(x, y) | 0xFF000000u)) return false;
  return true;
}

TEST_F(DialogTest, AClickedRowPlaysItsEffectOnTheSamplesInTurnAndAClickAbortsIt) {
  SaverBuilder b = Saver();
  Open(b);
  TConfigPanel& panel = w->ConfigPanel();
  std::vector<int32_t> started;
  panel.OnPreviewStart = [&](int32_t effect) { started.push_back(effect); };
  EXPECT_TRUE(Same(Shown(panel), SamplePicture(2))) << "the preview starts with sample 2";
  const TBitmap32 before = Shown(panel);

  ShowPage("tsEffects");
  ClickRow(4);
  ASSERT_TRUE(PumpUntil([&] { return !started.empty() && !TransitionRunning; }));
  EXPECT_EQ(started, std::vector<int32_t>{5});
  EXPECT_TRUE(Same(Shown(panel), SamplePicture(1)));

  // The next one goes back to sample 2; the previewed row need not be checked.
  ClickRow(88);
  ASSERT_TRUE(PumpUntil([&] { return started.size() == 2 && !TransitionRunning; }));
  EXPECT_EQ(started.back(), 89);
  EXPECT_TRUE(Same(Shown(panel), SamplePicture(2)));

  // A click while one plays stops it; the row clicked then plays once.
  ClickRow(20);
  ASSERT_TRUE(PumpUntil([&] { return started.size() == 3 && TransitionRunning; }));
  ClickRow(30);
  ASSERT_TRUE(PumpUntil([&] { return !panel.PreviewRequested && !TransitionRunning; }));
  EXPECT_EQ(started, (std::vector<int32_t>{5, 89, 21, 31}));
  EXPECT_TRUE(Same(Shown(panel), SamplePicture(2)));
}

TEST_F(DialogTest, AnEndRequestWhileAPreviewPlaysStopsItClosesAndSaves) {
  SaverBuilder b = Saver();
  b.trailer.Seconds = 8;
  Open(b);
  ShowPage("tsEffects");
  ClickRow(60);
  ASSERT_TRUE(PumpUntil([] { return TransitionRunning.load(); }));
  w->EndOnRequest();  // what SIGTERM does
  EXPECT_FALSE(TransitionRunning);
  EXPECT_TRUE(Closed());
  EXPECT_EQ(Stored().Seconds, 8);
}

TEST_F(DialogTest, SelectAllOrSelectNoneThenCloseStoresEveryEffectOrNone) {
  std::string all;
  for (int n = 1; n <= 116; ++n) all += char(n);
  for (const auto& [button, expected] :
       {std::pair{"btnSelectAll", all}, std::pair{"btnSelectNone", std::string()}}) {
    SCOPED_TRACE(button);
    SaverBuilder b = Saver();
    Open(b);
    ShowPage("tsEffects");
    Click(button);
    Click("btnClose");
    EXPECT_TRUE(Closed());
    std::string effect;
    Stored(&effect);
    EXPECT_EQ(effect, expected);
    w.reset();
  }
}

TEST_F(DialogTest, DoNotChangeSizeEnablesThePositionGroupAndTheOtherSizesDisableIt) {
  SaverBuilder b = Saver();
  Open(b);
  ShowPage("tsPosition");
  QWidget* group = Find("gbPosition");
  auto* random = Find<QRadioButton>("rbPosRandom");
  EXPECT_FALSE(group->isEnabled());
  Click("rbSizeNone");
  EXPECT_TRUE(group->isEnabled());
  EXPECT_TRUE(random->isEnabled());
  Click(random);
  for (const char* other : {"rbSizeStretch", "rbSizeResize"}) {
    SCOPED_TRACE(other);
    Click(other);
    EXPECT_FALSE(group->isEnabled());
    EXPECT_FALSE(random->isEnabled());
    EXPECT_TRUE(random->isChecked()) << "the position keeps its choice";
  }
  Click("btnClose");
  EXPECT_EQ(Stored().Stretch, 0);
}

TEST_F(DialogTest, TheSoundPageFollowsTheMusicAndThePagesTheirHideFlags) {
  struct Case {
    const char* name;
    int tracks;
    bool hideSound, hidePosition;
    bool soundTab, positionTab, playlistOptions;
  };
  const Case cases[] = {
      {"no music", 0, false, false, false, true, false},
      {"one track", 1, false, false, true, true, false},
      {"two tracks, the Sound page hidden by its flag", 2, true, true, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SaverBuilder b = Saver();
    b.music.resize(size_t(c.tracks));
    b.trailer.HideSoundTab = c.hideSound;
    b.trailer.HidePositionTab = c.hidePosition;
    Open(b);
    auto* pages = Find<QTabWidget>("PageControl");
    EXPECT_EQ(pages->isTabVisible(pages->indexOf(Find("tsSound"))), c.soundTab);
    EXPECT_EQ(pages->isTabVisible(pages->indexOf(Find("tsPosition"))), c.positionTab);
    if (c.soundTab) {
      ShowPage("tsSound");
      EXPECT_TRUE(Find("cbLoop")->isVisible());
      EXPECT_EQ(Find("cbShuffle")->isVisible(), c.playlistOptions);
      EXPECT_EQ(Find("cbPlayOneRandom")->isVisible(), c.playlistOptions);
      // Only "Repeat playlist" stays in a group just high enough for it.
      EXPECT_EQ(Find("GroupBox1")->height(), c.playlistOptions ? 93 : 20 + 17 + 10);
    }
    w.reset();
  }
}

TEST_F(DialogTest, WithoutABannerTheWindowIsLowerByTheStripAndTheControlsMoveUp) {
  for (bool banner : {true, false}) {
    SCOPED_TRACE(banner ? "banner" : "no banner");
    SaverBuilder b = Saver();
    if (!banner) b.banner.clear();
    b.text.Bannerlink = "https://example.org/banner";
    Open(b);
    EXPECT_EQ(Top()->height(), banner ? 381 : 381 - 69);
    EXPECT_EQ(Find("BannerPlaceHolderPanel")->isVisible(), banner);
    EXPECT_EQ(Find("ConfigControlsPanel")->y(), banner ? 69 : 0);
    EXPECT_TRUE(Find("btnClose")->isVisible());
    if (banner) {
      EXPECT_EQ(Find("imgBanner")->cursor().shape(), Qt::PointingHandCursor);
      Click("imgBanner");
      EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org/banner"});
    }
    w.reset();
    shell.opened.clear();
  }
}

TEST_F(DialogTest, WebsiteGetsHttpInFrontUnlessItBeginsWithHttpOrHttpsInAnyCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"example.org/x", "http://example.org/x"},
      {"HtTp://Example.org", "HtTp://Example.org"},
      {"https://example.org", "https://example.org"},
      {"HTTPS://example.org", "HTTPS://example.org"},
      {"ftp://example.org", "http://ftp://example.org"},
  };
  for (const auto& [website, opened] : cases) {
    SCOPED_TRACE(website);
    SaverBuilder b = Saver();
    b.text.Website = website;
    Open(b);
    Click("btnWebsite");
    Click("btnWebsite");  // the prefix is kept, not doubled
    EXPECT_EQ(shell.opened, (std::vector<std::string>{opened, opened}));
    EXPECT_EQ(w->Data.Text.Website, opened) << "the About window shows it so";
    w.reset();
    shell.opened.clear();
  }
  SaverBuilder b = Saver();
  b.text.Website = "";
  Open(b);
  EXPECT_FALSE(Find("btnWebsite")->isVisible());
}

TEST_F(DialogTest, OneExitConditionStaysCheckedAndAStoredEscAloneStaysSo) {
  SaverBuilder b = Saver();
  b.trailer.ExitMouseMove = b.trailer.ExitMouseButton = b.trailer.ExitKeyboard = 0;
  b.trailer.ExitESC = 1;
  Open(b);
  ShowPage("tsBehavior");
  const char* boxes[] = {"cbExitMouseMove", "cbExitMouseButton", "cbExitKeyboard", "cbExitEscape"};
  std::vector<bool> shown;
  for (const char* box : boxes) shown.push_back(Find<QCheckBox>(box)->isChecked());
  EXPECT_EQ(shown, (std::vector<bool>{false, false, false, true}));
  Click("cbExitEscape");  // the last one: it stays checked
  EXPECT_TRUE(Find<QCheckBox>("cbExitEscape")->isChecked());
  Click("cbExitKeyboard");
  Click("cbExitEscape");  // now another one is left
  EXPECT_FALSE(Find<QCheckBox>("cbExitEscape")->isChecked());
  Click("cbExitKeyboard");
  EXPECT_TRUE(Find<QCheckBox>("cbExitKeyboard")->isChecked());
  Click("btnClose");
  const PayloadTrailer t = Stored();
  EXPECT_EQ(std::vector<int>({t.ExitMouseMove, t.ExitMouseButton, t.ExitKeyboard, t.ExitESC}),
            std::vector<int>({0, 0, 1, 0}));

  // Opened again with Esc alone stored: closing keeps it so.
  b.trailer.ExitKeyboard = 1;  // the payload's defaults no longer matter
  registry.WriteValues(SettingsKeyPath(kDialogTitle),
                       {{"ExitKeyboard", RegValue::Dword(0)}, {"ExitESC", RegValue::Dword(1)}});
  w.reset();
  Open(b);
  Key(Qt::Key_Escape);
  EXPECT_TRUE(Closed());
  EXPECT_EQ(Stored().ExitKeyboard, 0);
  EXPECT_EQ(Stored().ExitESC, 1);
}

TEST_F(DialogTest, EverySettingChangedThroughTheControlsIsReadBackAfterClose) {
  SaverBuilder b = Saver();
  Open(b);
  // General: seconds, order, desktop start.
  QTest::keyClick(Top(), Qt::Key_D, Qt::AltModifier);  // the label's accelerator
  ASSERT_EQ(QApplication::focusWidget(), Find("edSeconds"));
  Key(Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(QApplication::focusWidget(), "42");
  Click("rbMixed");
  Click("cbDesktop");
  // Position: keep the size, at a random position.
  ShowPage("tsPosition");
  Click("rbSizeNone");
  Click("rbPosRandom");
  // Effects: rows 3 and 116 only, speed 7.
  ShowPage("tsEffects");
  Click("btnSelectNone");
  ClickRow(2, /*onCheckBox=*/true);
  ClickRow(50);
  Key(Qt::Key_End);
  Key(Qt::Key_Space);
  Click("tbEffectSpeed");
  Key(Qt::Key_Home);
  for (int i = 0; i < 6; ++i) Key(Qt::Key_Right);
  // Sound: every box the other way.
  ShowPage("tsSound");
  for (const char* box : {"cbMute", "cbLoop", "cbShuffle", "cbPlayOneRandom"}) Click(box);
  // Behavior: only Esc.
  ShowPage("tsBehavior");
  for (const char* box : {"cbExitEscape", "cbExitMouseMove", "cbExitMouseButton", "cbExitKeyboard"})
    Click(box);
  Key(Qt::Key_Return);  // the default button
  ASSERT_TRUE(Closed());

  std::string effect;
  const PayloadTrailer t = Stored(&effect);
  EXPECT_EQ(t.Seconds, 42);
  EXPECT_EQ(t.Stretch, 3);
  EXPECT_EQ(t.DisplayOrder, 2);
  EXPECT_EQ(t.DesktopStart, 1);
  EXPECT_EQ(t.Loop, 0);
  EXPECT_EQ(t.Mute, 1);
  EXPECT_EQ(t.ShuffleMelody, 1);
  EXPECT_EQ(effect, std::string("\x03\x74"));
  EXPECT_EQ(t.EffectSpeed, 7);
  EXPECT_EQ(t.PlayOneRandom, 1);
  EXPECT_EQ(std::vector<int>({t.ExitMouseMove, t.ExitMouseButton, t.ExitKeyboard, t.ExitESC}),
            std::vector<int>({0, 0, 0, 1}));

  // The next start shows them.
  w.reset();
  Open(b);
  EXPECT_EQ(Find<QSpinBox>("edSeconds")->text(), "42");
  EXPECT_TRUE(Find<QRadioButton>("rbMixed")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>("rbPosRandom")->isChecked());
  EXPECT_TRUE(Find("gbPosition")->isEnabled());
  EXPECT_EQ(Find<QSlider>("tbEffectSpeed")->value(), 7);
  auto* list = Find<QListWidget>("lbEffects");
  EXPECT_EQ(list->item(2)->checkState(), Qt::Checked);
  EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
}

TEST_F(DialogTest, SecondsOutsideTheRangeComeIntoItOnLeavingTheFieldAndOnClose) {
  SaverBuilder b = Saver();
  b.trailer.Seconds = 90;  // an edited store: shown at the end of the range
  Open(b);
  auto* seconds = Find<QSpinBox>("edSeconds");
  EXPECT_EQ(seconds->text(), "60");
  QTest::keyClick(Top(), Qt::Key_D, Qt::AltModifier);
  Key(Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(seconds, "0");
  EXPECT_EQ(seconds->text(), "0") << "typed as it is";
  Key(Qt::Key_Tab);
  EXPECT_EQ(seconds->text(), "1");
  QTest::keyClick(Top(), Qt::Key_D, Qt::AltModifier);
  Key(Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(seconds, "x-123");  // letters do not go in
  EXPECT_EQ(seconds->text(), "-123");
  Key(Qt::Key_Escape);  // closes while the field has the focus
  EXPECT_TRUE(Closed());
  EXPECT_EQ(Stored().Seconds, 1);
}

TEST_F(DialogTest, ClosingByTheTitleBarSavesAndTheLinkOpensTheProjectPage) {
  SaverBuilder b = Saver();
  b.trailer.Seconds = 9;
  Open(b);
  Click("Link");
  EXPECT_EQ(shell.opened, std::vector<std::string>{kProjectAddress});
  Top()->close();
  EXPECT_TRUE(Closed());
  EXPECT_EQ(Stored().Seconds, 9);
  EXPECT_TRUE(box.shown.empty());
}

TEST_F(DialogTest, AFailedSaveKeepsTheDialogOpenWithItsEditsAndNamesTheSettingsFile) {
  SaverBuilder b = Saver();
  Open(b);
  ShowPage("tsGeneral");
  Click("rbRandom");
  // A file where the store's folder should be: nobody can write there.
  const std::string blocked = scratch.Write("blocked", {1}) + "/registry.json";
  FileRegistry unwritable(blocked);
  SetRegistry(&unwritable);
  const std::pair<const char*, std::function<void()>> closes[] = {
      {"Close", [&] { Click("btnClose"); }},
      {"the title bar", [&] { Top()->close(); }},
  };
  for (const auto& [name, close] : closes) {
    SCOPED_TRACE(name);
    box.shown.clear();
    close();
    EXPECT_FALSE(Closed());
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text.rfind("The settings could not be saved to " + blocked + ": ", 0),
              0u)
        << box.shown[0].text;
    EXPECT_TRUE(Find<QRadioButton>("rbRandom")->isChecked()) << "the edit stays";
  }
  // Once the store can be written, the same edits are saved.
  SetRegistry(&registry);
  Click("btnClose");
  EXPECT_TRUE(Closed());
  EXPECT_EQ(Stored().DisplayOrder, 1);
}

TEST_F(DialogTest, TheWindowIconIsTheSaversPreviewPicture) {
  SaverBuilder b = Saver();
  TBitmap32 preview(40, 20);
  preview.Clear(Color32(10, 200, 30));
  b.preview = EncodeBmp(preview);
  Open(b);
  const QImage icon = Top()->windowIcon().pixmap(64, 64).toImage();
  ASSERT_EQ(icon.size(), QSize(64, 64));
  EXPECT_EQ(icon.pixelColor(32, 32), QColor(10, 200, 30));
  EXPECT_EQ(icon.pixelColor(32, 4).alpha(), 0) << "the square around the picture";
}

// What of a control's caption does not show: empty when the caption is
// whole in what the style leaves of the control for it.
std::string CutCaption(QWidget* c) {
  QString caption;
  int room = INT_MAX;
  if (auto* b = qobject_cast<QAbstractButton*>(c)) {
    caption = b->text();
    QStyleOptionButton o;
    o.initFrom(b);
    const QStyle::SubElement contents = qobject_cast<QCheckBox*>(c) ? QStyle::SE_CheckBoxContents
                                        : qobject_cast<QRadioButton*>(c)
                                            ? QStyle::SE_RadioButtonContents
                                            : QStyle::SE_PushButtonContents;
    room = c->style()->subElementRect(contents, &o, c).width();
  } else if (auto* l = qobject_cast<QLabel*>(c)) {
    if (l->wordWrap()) return {};
    caption = l->text();
    room = c->width();
  } else if (auto* g = qobject_cast<QGroupBox*>(c)) {
    caption = g->title();
    QStyleOptionGroupBox o;
    o.initFrom(g);
    o.text = g->title();
    o.subControls = QStyle::SC_GroupBoxLabel;
    room = c->width() -
           c->style()->subControlRect(QStyle::CC_GroupBox, &o, QStyle::SC_GroupBoxLabel, c).left();
  }
  const QString plain = qt::PlainCaption(caption.toStdString());
  const int needed = c->fontMetrics().horizontalAdvance(plain);
  return needed > room
             ? plain.toStdString() + ": " + std::to_string(needed) + " in " + std::to_string(room)
             : "";
}

TEST_F(DialogTest, EveryCaptionIsWholeAndNoControlsOverlapWithOrWithoutTheTahomaMetricFace) {
  for (bool metricFace : {true, false}) {
    SCOPED_TRACE(metricFace ? "the Tahoma-metric face" : "without it");
    qt::UseMetricFaces(metricFace);
    SaverBuilder b = Saver();
    b.text.Website = "example.org";
    Open(b);
    EXPECT_EQ(QFontInfo(Top()->font()).family().toStdString(),
              metricFace ? "Tahoma" : "DejaVu Sans");
    const QList<QWidget*> controls = Find("CfgBox")->findChildren<QWidget*>();
    auto shown = [](QWidget* c) {
      return c->isVisible() && !c->objectName().isEmpty() && !c->objectName().startsWith("qt_") &&
             !qobject_cast<QStackedWidget*>(c->parentWidget());
    };
    for (const char* page : {"tsGeneral", "tsPosition", "tsEffects", "tsSound", "tsBehavior"}) {
      ShowPage(page);
      for (QWidget* c : controls) {
        if (!shown(c)) continue;
        SCOPED_TRACE(std::string(page) + " " + c->objectName().toStdString());
        EXPECT_EQ(CutCaption(c), "");
        EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry())) << "inside its parent";
        for (QWidget* other : controls)
          if (other != c && shown(other) && other->parentWidget() == c->parentWidget()) {
            EXPECT_FALSE(c->geometry().intersects(other->geometry()))
                << other->objectName().toStdString();
          }
      }
    }
    // The tabs' captions.
    QTabBar* tabs = Find<QTabWidget>("PageControl")->tabBar();
    for (int i = 0; i < tabs->count(); ++i) {
      QStyleOptionTab o;
      o.initFrom(tabs);
      o.shape = tabs->shape();
      o.rect = tabs->tabRect(i);
      o.text = tabs->tabText(i);
      EXPECT_LE(tabs->fontMetrics().horizontalAdvance(o.text),
                tabs->style()->subElementRect(QStyle::SE_TabBarTabText, &o, tabs).width())
          << o.text.toStdString();
    }
    w.reset();
    about.reset();
  }
  qt::UseMetricFaces(true);
}

}  // namespace
}  // namespace saver::testing
