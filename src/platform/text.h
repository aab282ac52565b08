#pragma once
// Text measurement and output onto 32-bit pictures: captions and labels.
// Strings are UTF-8; line breaks ("\n", "\r\n" or "\r") start new lines.
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

struct TFontInfo {
  std::string Name;        // family; the backend substitutes a near one when missing
  int32_t Size = 10;       // points, at 96 pixels per inch
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
};

struct TTextSize {
  int32_t Width = 0, Height = 0;
  bool operator==(const TTextSize&) const = default;
};

class ITextRenderer {
 public:
  virtual ~ITextRenderer() = default;
  // The box the whole text needs: its widest line by all its lines.
  virtual TTextSize Measure(const std::string& text, const TFontInfo& font) = 0;
  // Draws the text anti-aliased in color with its box's top-left corner at
  // (x, y), lines one under the other, clipped to target.
  virtual void Draw(TBitmap32& target, int32_t x, int32_t y, const std::string& text,
                    const TFontInfo& font, TColor32 color) = 0;
};

// Test double and headless fallback: every character is a cell of
// Size x (2 x Size) pixels; a visible character paints its cell solid, a
// space leaves it. Records every Draw call.
class CellTextRenderer final : public ITextRenderer {
 public:
  struct DrawCall {
    int32_t X, Y;
    std::string Text;
    TFontInfo Font;
    TColor32 Color;
  };
  TTextSize Measure(const std::string& text, const TFontInfo& font) override;
  void Draw(TBitmap32& target, int32_t x, int32_t y, const std::string& text,
            const TFontInfo& font, TColor32 color) override;
  std::vector<DrawCall> calls;
};

// Splits text at its line breaks ("\n", "\r\n", "\r"); a final break adds no line.
std::vector<std::string> SplitLines(const std::string& text);

// The process's text service: a CellTextRenderer unless one was set.
ITextRenderer& TextRenderer();
void SetTextRenderer(ITextRenderer* renderer);  // nullptr restores the default

}  // namespace saver
