// The About window, opened modally from the settings dialog.
#include <QLabel>
#include <QScreen>
#include <QTextDocumentFragment>
#include <QTimer>

#include "dialog_fixture.h"
#include "platform/qt/qt_backend.h"

namespace saver::testing {
namespace {

class AboutTest : public DialogTest {
 protected:
  // Clicks "About..." and runs inside while the window is shown modally;
  // the click returns when the window has closed.
  void WhileAboutShows(const std::function<void()>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      ran = true;
      EXPECT_TRUE(AboutTop()->isVisible());
      EXPECT_TRUE(AboutTop()->isModal());
      AboutTop()->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(AboutTop()));
      inside();
      if (AboutTop()->isVisible()) Click(Find("btnClose", AboutTop()));
    });
    Click("btnAbout");
    EXPECT_TRUE(ran);
    EXPECT_FALSE(AboutTop()->isVisible());
  }
  QLabel* Label(const char* name) { return Find<QLabel>(name, AboutTop()); }
  // What a label shows, as plain text.
  static std::string Shown(QLabel* label) {
    return (label->textFormat() == Qt::RichText
                ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                : label->text())
        .toStdString();
  }
};

TEST_F(AboutTest, ShowsTheTitleAuthorAndWebsiteOrItsOwnCaptions) {
  struct Case {
    const char* title;
    const char* author;
    const char* website;
    const char* shownTitle;
    const char* shownText;
    bool link;
  };
  const Case cases[] = {
      {"Ocean & Sea", "Made by Ann\xe9", "example.org", "Ocean & Sea", "Made by Ann\xc3\xa9", true},
      {"", "", "", "Screen Saver", "Created by Unknown Author", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shownTitle);
    SaverBuilder b = Saver();
    b.text.Title = c.title;
    b.text.Author = c.author;
    b.text.Website = c.website;
    Open(b);
    WhileAboutShows([&] {
      EXPECT_EQ(AboutTop()->windowTitle(), "About");
      EXPECT_EQ(AboutTop()->size(), QSize(314, 168));
      EXPECT_EQ(AboutTop()->geometry().center(), AboutTop()->screen()->geometry().center());
      QLabel* title = Label("Title");
      EXPECT_EQ(title->text().toStdString(), c.shownTitle);
      EXPECT_TRUE(QFontInfo(title->font()).bold());
      EXPECT_EQ(title->font().pixelSize(), 16);
      EXPECT_EQ(title->width(), title->sizeHint().width()) << "grows with its text";
      EXPECT_EQ(Shown(Label("Text")), c.shownText);
      EXPECT_EQ(Label("Link")->isVisible(), c.link);
      if (c.link) {
        EXPECT_EQ(Label("Link")->text().toStdString(), c.website);
      }
    });
    w.reset();
    about.reset();
  }
}

TEST_F(AboutTest, ALongAuthorTextWrapsInsideItsLabelWithRoomBetweenItsLines) {
  SaverBuilder b = Saver();
  b.text.Author = std::string(40, 'w') + " " + std::string(300, 'x');
  Open(b);
  WhileAboutShows([&] {
    EXPECT_TRUE(Label("Text")->wordWrap());
    EXPECT_EQ(Label("Text")->geometry(), QRect(16, 48, 289, 73));
    EXPECT_LE(Label("Link")->width(), 193);
  });
  w.reset();
  about.reset();
  // Three lines take more than three lines of the font set close together.
  b.text.Author = "First line\r\nsecond line\r\nthird line";
  Open(b);
  WhileAboutShows([&] {
    QLabel* text = Label("Text");
    EXPECT_EQ(Shown(text), "First line\nsecond line\nthird line");
    EXPECT_GE(text->heightForWidth(289), 3 * QFontMetrics(text->font()).height() * 6 / 5);
  });
}

TEST_F(AboutTest, EnterClosesItEscDoesNot) {
  SaverBuilder b = Saver();
  Open(b);
  WhileAboutShows([&] {
    Key(Qt::Key_Escape);
    EXPECT_TRUE(AboutTop()->isVisible());
    Key(Qt::Key_Return);
    EXPECT_FALSE(AboutTop()->isVisible());
  });
  EXPECT_FALSE(Closed()) << "the settings stay open";
}

TEST_F(AboutTest, TheLinkOpensWebsiteAsStoredUntilWebsitePutHttpInFront) {
  SaverBuilder b = Saver();
  b.text.Website = "example.org/a&b";
  Open(b);
  WhileAboutShows([&] {
    EXPECT_EQ(Label("Link")->text(), "example.org/a&b");
    Click(Label("Link"));
  });
  // Without a scheme it would be a file for the opener: not opened.
  EXPECT_TRUE(shell.opened.empty());
  Click("btnWebsite");
  WhileAboutShows([&] {
    EXPECT_EQ(Label("Link")->text(), "http://example.org/a&b");
    Click(Label("Link"));
  });
  EXPECT_EQ(shell.opened.back(), "http://example.org/a&b");
}

TEST_F(AboutTest, TheEndOfTheProgramEndsTheModalWindowToo) {
  SaverBuilder b = Saver();
  Open(b);
  // What a terminate request and the main window's close do: the message
  // loop is told to end, and the About window's modal call must return.
  WhileAboutShows([&] {
    qt::QtSystem().QuitRun();
    EXPECT_FALSE(AboutTop()->isVisible());
  });
}

}  // namespace
}  // namespace saver::testing
