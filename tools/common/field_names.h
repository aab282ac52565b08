#pragma once
// The names a manifest gives the coded fields of a saver's records
// (docs/manifest.md): saver-pack reads them, saver-inspect shows them.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace saver::tool {

// Name and code; a code may have several names, the first is the one shown.
using TNames = std::vector<std::pair<const char*, int32_t>>;

extern const TNames kDisplayOrders;     // DisplayOrder
extern const TNames kStretchModes;      // Stretch
extern const TNames kItemStretchModes;  // ItemStretch: the Stretch names and "default"
extern const TNames kBackPictureModes;  // BackPictureMode
extern const TNames kCaptionPositions;  // CaptionPos
extern const TNames kCaptionStyles;     // CaptionStyle bits

// The first name of the code, or the number when it has none.
std::string NameOf(const TNames& names, int32_t code);

// CaptionStyle bits as "bold, italic" ("none" for 0; unnamed bits as numbers).
std::string StyleNames(int32_t bits);

}  // namespace saver::tool
