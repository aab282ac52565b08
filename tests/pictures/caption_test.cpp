#include "payload/compose/caption.h"

#include <gtest/gtest.h>

#include "platform/desktop.h"
#include "platform/text.h"

namespace saver {
namespace {

constexpr TColor32 kBack = 0xFF000000u;

// Captions measured by the cell renderer: each character 4 x 8 pixels.
class CaptionTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTextRenderer(&cells); }
  void TearDown() override { SetTextRenderer(nullptr); }

  static TCaption Caption(const std::string& text, int32_t pos) {
    TCaption c;
    c.Text = text;
    c.FontSize = 4;
    c.Pos = pos;
    c.TextColor = 0x0000FF;   // red
    c.BoxColor = 0xFF0000;    // blue
    return c;
  }
  TBitmap32 Draw(const TCaption& c) {
    TBitmap32 b(100, 80);
    b.Clear(kBack);
    DrawCaption(b, c, 100, 80);
    return b;
  }

  CellTextRenderer cells;
};

TEST_F(CaptionTest, NinePositionsWithTheFiveExtraPixels) {
  struct Case {
    int32_t pos, x, y;
  };
  // "AB" is 8 x 8; m = Margin + 5 = 5.
  for (const Case c : {Case{0, 5, 5}, Case{1, 87, 5}, Case{2, 46, 5}, Case{3, 5, 67},
                       Case{4, 87, 67}, Case{5, 46, 67}, Case{6, 46, 36}, Case{7, 46, 36},
                       Case{8, 46, 36}, Case{-3, 46, 36}}) {
    cells.calls.clear();
    Draw(Caption("AB", c.pos));
    ASSERT_EQ(cells.calls.size(), 1u) << c.pos;
    EXPECT_EQ(cells.calls[0].X, c.x) << c.pos;
    EXPECT_EQ(cells.calls[0].Y, c.y) << c.pos;
  }
  TCaption far = Caption("AB", 4);
  far.Margin = 10;
  cells.calls.clear();
  Draw(far);
  EXPECT_EQ(cells.calls[0].X, 77);
  EXPECT_EQ(cells.calls[0].Y, 57);
}

TEST_F(CaptionTest, BoxOfMarginZeroTouchesTheCorner) {
  const TBitmap32 b = Draw(Caption("A B", 0));  // 12 x 8 text at (5, 5)
  const TColor32 blue = 0xFF0000FFu, red = 0xFFFF0000u;
  EXPECT_EQ(b.Pixel(0, 0), blue);
  EXPECT_EQ(b.Pixel(21, 17), blue);
  EXPECT_EQ(b.Pixel(22, 17), kBack);
  EXPECT_EQ(b.Pixel(21, 18), kBack);
  EXPECT_EQ(b.Pixel(5, 5), red);
  EXPECT_EQ(b.Pixel(9, 5), blue);  // the space's cell shows the box

  TCaption clear = Caption("A B", 0);
  clear.Transparent = true;
  const TBitmap32 t = Draw(clear);
  EXPECT_EQ(t.Pixel(0, 0), kBack);
  EXPECT_EQ(t.Pixel(9, 5), kBack);
  EXPECT_EQ(t.Pixel(5, 5), red);
}

TEST_F(CaptionTest, FontNameSizeAndStyleBits) {
  TCaption c = Caption("x", 0);
  c.Style = 3 | 16 | 32;
  Draw(c);
  ASSERT_EQ(cells.calls.size(), 1u);
  const TFontInfo& f = cells.calls[0].Font;
  EXPECT_EQ(f.Name, "Verdana");
  EXPECT_EQ(f.Size, 4);
  EXPECT_TRUE(f.Underline);
  EXPECT_TRUE(f.Bold);
  EXPECT_FALSE(f.Italic);
  EXPECT_FALSE(f.StrikeOut);

  c.Style = 12;
  c.FontName = "Serif";
  cells.calls.clear();
  Draw(c);
  EXPECT_EQ(cells.calls[0].Font.Name, "Serif");
  EXPECT_TRUE(cells.calls[0].Font.Italic);
  EXPECT_TRUE(cells.calls[0].Font.StrikeOut);
  EXPECT_FALSE(cells.calls[0].Font.Bold);
}

TEST_F(CaptionTest, AbsurdSizesAndMarginsAreKeptInRange) {
  TCaption c = Caption("x", 4);
  c.FontSize = 0;
  c.Margin = 2147483647;
  Draw(c);
  c.FontSize = 1 << 30;
  c.Margin = -2147483647 - 1;
  Draw(c);
  ASSERT_EQ(cells.calls.size(), 2u);
  EXPECT_EQ(cells.calls[0].Font.Size, 8);
  EXPECT_EQ(cells.calls[0].X, 100 - 8 - 1000005);
  EXPECT_EQ(cells.calls[1].Font.Size, 1000);
}

TEST_F(CaptionTest, MultiLineDrawsEachLineWithItsShadowFirst) {
  TCaption c = Caption("ab\r\ncde", 0);
  c.MultiLine = true;
  c.Shadow = true;
  Draw(c);
  ASSERT_EQ(cells.calls.size(), 4u);
  EXPECT_EQ(cells.calls[0].Text, "ab");
  EXPECT_EQ(cells.calls[0].Color, 0xFF000000u);
  EXPECT_EQ(cells.calls[0].X, 6);
  EXPECT_EQ(cells.calls[0].Y, 6);
  EXPECT_EQ(cells.calls[1].Color, 0xFFFF0000u);
  EXPECT_EQ(cells.calls[1].X, 5);
  EXPECT_EQ(cells.calls[2].Text, "cde");
  EXPECT_EQ(cells.calls[2].Y, 6 + 8);  // one letter "A" lower
  EXPECT_EQ(cells.calls[3].Y, 5 + 8);
}

TEST_F(CaptionTest, SingleCallDrawsLineBreaksToo) {
  TCaption c = Caption("ab\ncd", 3);
  c.Shadow = true;
  const TBitmap32 b = Draw(c);
  ASSERT_EQ(cells.calls.size(), 2u);
  EXPECT_EQ(cells.calls[1].Text, "ab\ncd");
  EXPECT_EQ(cells.calls[1].Y, 80 - 16 - 5);
  EXPECT_EQ(b.Pixel(5, 80 - 8 - 5), 0xFFFF0000u);  // second line drawn
}

TEST_F(CaptionTest, ItemCaptionsConvertTheirCodePage) {
  PictureEntry e;
  e.Caption = "Caf\xE9";
  e.CaptionFontSize = 4;
  e.CaptionColor = int32_t(0x80000008);  // the window text colour: black
  e.CaptionTransparent = 1;
  TBitmap32 b(100, 80);
  b.Clear(0xFFFFFFFFu);
  ShowPictureCaption(b, e, 100, 80);
  ASSERT_EQ(cells.calls.size(), 1u);
  EXPECT_EQ(cells.calls[0].Text, "Caf\xC3\xA9");
  EXPECT_EQ(cells.calls[0].Color, 0xFF000000u);

  cells.calls.clear();
  e.Caption.clear();
  ShowPictureCaption(b, e, 100, 80);
  EXPECT_TRUE(cells.calls.empty());
}

TEST(DesktopCaption, DrawsAntialiasedTextInsideItsBox) {
  UseDesktopTextAndScreen();
  TBitmap32 b(300, 100);
  b.Clear(kBack);
  TCaption c;
  c.Text = "Hello";
  c.FontSize = 20;
  c.TextColor = 0x00FFFF;  // yellow
  c.Transparent = true;
  c.Pos = 0;
  DrawCaption(b, c, 300, 100);
  const TTextSize size = TextRenderer().Measure("Hello", TFontInfo{"Verdana", 20});
  SetTextRenderer(nullptr);
  SetScreen(nullptr);
  ASSERT_GT(size.Width, 30);
  int inside = 0, outside = 0, partial = 0;
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 300; ++x) {
      const TColor32 p = b.Pixel(x, y);
      if (p == kBack) continue;
      const bool in = x >= 5 && y >= 5 && x < 5 + size.Width && y < 5 + size.Height;
      (in ? inside : outside)++;
      EXPECT_EQ(BlueOf(p), 0) << x << "," << y;  // only shades of yellow
      if (RedOf(p) != 0 && RedOf(p) != 255) partial++;
    }
  EXPECT_GT(inside, 100);
  EXPECT_EQ(outside, 0);
  EXPECT_GT(partial, 0);  // anti-aliased edges
}

}  // namespace
}  // namespace saver
