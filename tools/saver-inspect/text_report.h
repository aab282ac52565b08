#pragma once
// The description of a saver for a person (saver-inspect without --json).
#include <string>

#include "saver_contents.h"

namespace saver {

std::string TextReport(const TSaverContents& contents);

}  // namespace saver
