#include "payload/compose/caption.h"

#include <algorithm>
#include <iterator>

#include "platform/cp1252.h"
#include "platform/text.h"

namespace saver {

namespace {

constexpr int32_t kBoxPadding = 5;
// Payload values are untrusted: sizes and margins are kept where text drawing
// stays cheap and the position arithmetic cannot overflow.
constexpr int32_t kDefaultFontSize = 8, kMaxFontSize = 1000, kMaxMargin = 1000000;

TFontInfo CaptionFont(const TCaption& c) {
  TFontInfo font;
  font.Name = c.FontName.empty() ? "Verdana" : c.FontName;
  font.Size = c.FontSize <= 0 ? kDefaultFontSize : std::min(c.FontSize, kMaxFontSize);
  font.Underline = c.Style & 1;
  font.Bold = c.Style & 2;
  font.Italic = c.Style & 4;
  font.StrikeOut = c.Style & 8;
  return font;
}

}  // namespace

TColor32 ResolveCaptionColor(TColorRef color) {
  if (color & 0x80000000u) {
    // The classic scheme's system colours, by index.
    static constexpr TColorRef kSystem[] = {
        0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
        0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
        0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
        0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xD77800, 0xC8D0D4};
    const uint32_t index = color & 0xFF;
    color = index < std::size(kSystem) ? kSystem[index] : 0;
  }
  return ColorRefToColor32(color);
}

void DrawCaption(TBitmap32& target, const TCaption& c, int32_t SW, int32_t SH) {
  ITextRenderer& text = TextRenderer();
  const TFontInfo font = CaptionFont(c);
  const TTextSize size = text.Measure(c.Text, font);
  const int32_t lineStep = text.Measure("A", font).Height;
  const int32_t m = std::clamp(c.Margin, -kMaxMargin, kMaxMargin) + 5;

  int32_t x, y;
  switch (c.Pos) {
    case 0: case 3: x = m; break;
    case 1: case 4: x = SW - size.Width - m; break;
    default: x = (SW - size.Width) / 2; break;
  }
  switch (c.Pos) {
    case 0: case 1: case 2: y = m; break;
    case 3: case 4: case 5: y = SH - size.Height - m; break;
    default: y = (SH - size.Height) / 2; break;
  }

  if (!c.Transparent)
    target.FillRect(TRect{x - kBoxPadding, y - kBoxPadding, x + size.Width + kBoxPadding,
                          y + size.Height + kBoxPadding},
                    ResolveCaptionColor(c.BoxColor));

  const TColor32 black = 0xFF000000u, color = ResolveCaptionColor(c.TextColor);
  if (c.MultiLine) {
    int32_t lineY = y;
    for (const auto& line : SplitLines(c.Text)) {
      if (c.Shadow) text.Draw(target, x + 1, lineY + 1, line, font, black);
      text.Draw(target, x, lineY, line, font, color);
      lineY += lineStep;
    }
    return;
  }
  if (c.Shadow) text.Draw(target, x + 1, y + 1, c.Text, font, black);
  text.Draw(target, x, y, c.Text, font, color);
}

TCaption PictureCaption(const PictureEntry& e) {
  TCaption c;
  c.Text = Cp1252ToUtf8(e.Caption);
  c.TextColor = TColorRef(e.CaptionColor);
  c.BoxColor = TColorRef(e.CaptionBackColor);
  c.FontName = Cp1252ToUtf8(e.CaptionFont);
  c.FontSize = e.CaptionFontSize;
  c.Style = e.CaptionStyle;
  c.Pos = e.CaptionPos;
  c.Margin = e.CaptionMargin;
  c.Transparent = e.CaptionTransparent != 0;
  c.MultiLine = e.CaptionMultiLine != 0;
  c.Shadow = e.CaptionShadow != 0;
  return c;
}

void ShowPictureCaption(TBitmap32& working, const PictureEntry& entry, int32_t screenW,
                        int32_t screenH) {
  if (entry.Caption.empty()) return;
  DrawCaption(working, PictureCaption(entry), screenW, screenH);
}

}  // namespace saver
