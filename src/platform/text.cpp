#include "platform/text.h"

#include <algorithm>
#include <atomic>

namespace saver {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

TTextSize CellTextRenderer::Measure(const std::string& text, const TFontInfo& font) {
  const auto lines = SplitLines(text);
  size_t widest = 0;
  for (const auto& l : lines) widest = std::max(widest, l.size());
  return TTextSize{int32_t(widest) * font.Size, int32_t(lines.size()) * 2 * font.Size};
}

void CellTextRenderer::Draw(TBitmap32& target, int32_t x, int32_t y, const std::string& text,
                            const TFontInfo& font, TColor32 color) {
  calls.push_back({x, y, text, font, color});
  const int32_t cw = font.Size, ch = 2 * font.Size;
  int32_t top = y;
  for (const auto& line : SplitLines(text)) {
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == ' ') continue;
      const int32_t left = x + int32_t(i) * cw;
      for (int32_t py = top; py < top + ch; ++py)
        for (int32_t px = left; px < left + cw; ++px) target.SetPixelS(px, py, color);
    }
    top += ch;
  }
}

namespace {
CellTextRenderer g_cellText;
std::atomic<ITextRenderer*> g_text{&g_cellText};
}  // namespace

ITextRenderer& TextRenderer() { return *g_text.load(); }
void SetTextRenderer(ITextRenderer* renderer) { g_text.store(renderer ? renderer : &g_cellText); }

}  // namespace saver
