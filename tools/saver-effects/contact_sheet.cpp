#include "contact_sheet.h"

#include <algorithm>
#include <vector>

#include "digit_font.h"
#include "effect_recorder.h"
#include "trans/trans.h"

namespace saver {

namespace {

constexpr int32_t kGap = 2, kMargin = 6, kLabelHeight = 14;
constexpr TColor32 kBackground = Color32(40, 40, 44), kLabel = Color32(235, 235, 235);

}  // namespace

TBitmap32 BuildContactSheet(const TBitmap32& oldPicture, const TBitmap32& newPicture,
                            const TSheetLayout& layout) {
  const int32_t tw = newPicture.Width(), th = newPicture.Height();
  const int32_t moments = std::max(layout.Moments, 1), perRow = std::max(layout.CellsPerRow, 1);
  const int32_t cellW = moments * (tw + kGap) - kGap + kMargin;
  const int32_t cellH = kLabelHeight + th + kMargin;
  const int32_t rows = (kEffectCount + perRow - 1) / perRow;
  TBitmap32 sheet(perRow * cellW + kMargin, rows * cellH + kMargin);
  sheet.Clear(kBackground);

  for (int32_t effect = 1; effect <= kEffectCount; ++effect) {
    TRecordRequest request;
    request.Effect = effect;
    request.Steps = layout.Steps;
    // A recording repeats exactly, so the first run counts the frames and the
    // second keeps only the ones shown: long runs need no memory per frame.
    const int32_t count = RecordEffect(oldPicture, newPicture, request, nullptr).Frames;
    std::vector<int32_t> wanted;  // evenly spaced through the run, the last before its end
    for (int32_t m = 1; m <= moments; ++m)
      wanted.push_back(std::clamp(count * m / (moments + 1), 0, std::max(count - 1, 0)));
    std::vector<TBitmap32> shown(static_cast<size_t>(moments));
    int32_t frame = 0;
    const TRecordResult run =
        RecordEffect(oldPicture, newPicture, request, [&](const TBitmap32& s) {
          for (size_t m = 0; m < wanted.size(); ++m)
            if (wanted[m] == frame) shown[m] = s;
          ++frame;
        });

    const int32_t x0 = kMargin + (effect - 1) % perRow * cellW;
    const int32_t y0 = kMargin + (effect - 1) / perRow * cellH;
    DrawNumber(sheet, x0, y0 + 1, effect, kLabel, 2);
    for (int32_t m = 0; m < moments; ++m) {
      const TBitmap32& picture = count > 0 ? shown[size_t(m)] : run.Final;
      picture.DrawTo(sheet, x0 + m * (tw + kGap), y0 + kLabelHeight);
    }
  }
  return sheet;
}

}  // namespace saver
