#include "common/field_names.h"

namespace saver::tool {

const TNames kDisplayOrders = {{"sequential", 0}, {"random", 1}, {"mixed", 2}};
const TNames kStretchModes = {{"fit", 0}, {"stretch", 1}, {"centre", 2}, {"center", 2}, {"random", 3}};
const TNames kItemStretchModes = {{"default", -1}, {"fit", 0}, {"stretch", 1}, {"centre", 2},
                                  {"center", 2}, {"random", 3}};
const TNames kBackPictureModes = {{"tiled", 0}, {"fitted", 1}, {"centred", 2}, {"centered", 2}};
const TNames kCaptionPositions = {{"top-left", 0}, {"top-right", 1}, {"top-centre", 2},
                                  {"bottom-left", 3}, {"bottom-right", 4}, {"bottom-centre", 5},
                                  {"centre", 6}, {"center", 6}};
const TNames kCaptionStyles = {{"underline", 1}, {"bold", 2}, {"italic", 4}, {"strikeout", 8}};

std::string NameOf(const TNames& names, int32_t code) {
  for (auto& [name, value] : names)
    if (value == code) return name;
  return std::to_string(code);
}

std::string StyleNames(int32_t bits) {
  std::string text;
  for (auto& [name, bit] : kCaptionStyles)
    if (bits & bit) {
      text += (text.empty() ? "" : ", ") + std::string(name);
      bits &= ~bit;
    }
  if (bits) text += (text.empty() ? "" : ", ") + std::to_string(bits);
  return text.empty() ? "none" : text;
}

}  // namespace saver::tool
