#pragma once
// Picture captions: a text with its font, colours, box and shadow at one of
// nine places on the screen.
#include <cstdint>
#include <string>

#include "graphics/bitmap32.h"
#include "payload/compose/gradient.h"
#include "payload/format/records.h"

namespace saver {

// Caption positions: 0 top left, 1 top right, 2 top centre, 3 bottom left,
// 4 bottom right, 5 bottom centre, anything else the middle of the screen.
struct TCaption {
  std::string Text;        // UTF-8; line breaks start new lines
  TColorRef TextColor = 0;  // 0x00BBGGRR, or a system colour code (0x80000000 | index)
  TColorRef BoxColor = 0;
  std::string FontName;    // UTF-8; empty means "Verdana"
  int32_t FontSize = 10;   // points (0 or less: 8; at most 1000)
  int32_t Style = 0;       // 1 underline, 2 bold, 4 italic, 8 strike-out
  int32_t Pos = 0;
  int32_t Margin = 0;      // pixels from the screen's edge, 5 more are always kept
  bool Transparent = false;  // no box behind the text
  bool MultiLine = false;    // drawn line by line, each a letter "A" high
  bool Shadow = false;       // black copy one pixel right of and below the text
};

// Draws the caption onto target, placed on a screen of screenW x screenH.
void DrawCaption(TBitmap32& target, const TCaption& caption, int32_t screenW, int32_t screenH);

// A colour code as captions store it, system colour codes resolved to the
// classic desktop scheme; opaque.
TColor32 ResolveCaptionColor(TColorRef color);

// The caption of a picture item, its texts converted from the payload's code page.
TCaption PictureCaption(const PictureEntry& entry);

// Draws the item's caption onto working, when it has one.
void ShowPictureCaption(TBitmap32& working, const PictureEntry& entry, int32_t screenW,
                        int32_t screenH);

}  // namespace saver
