#pragma once
// saver-inspect --extract: writes every item of a saver into a folder.
#include <functional>
#include <string>

#include "saver_contents.h"

namespace saver {

// Writes preview.bmp, banner.bin, picture-01.jpg ..., mask-01.png ...,
// background.<ext> and music-01.<ext> ... (the items the saver has), each
// inflated when it is stored compressed. Reports each file written; raises
// std::runtime_error when an item cannot be extracted whole.
void ExportItems(const TSaverContents& contents, const std::string& folder,
                 const std::function<void(const std::string& file)>& written);

}  // namespace saver
