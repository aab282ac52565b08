#pragma once
// Text typed by the author (UTF-8) in the form the payload stores it (Windows-1252).
#include <stdexcept>
#include <string>

namespace saver {

// Throws std::invalid_argument naming the first character that Windows-1252
// cannot hold, or when the text is not valid UTF-8: a saver must not show
// question marks where the author wrote something else.
std::string StoredText(const std::string& utf8);

}  // namespace saver
