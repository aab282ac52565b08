#pragma once
// Conversion between UTF-8 (what people type and read) and Windows-1252
// (how the payload's text fields are stored).
#include <string>
#include <string_view>

namespace saver {

// Every byte has a character except the five unassigned ones (0x81, 0x8D,
// 0x8F, 0x90, 0x9D), which map to the C1 control of the same number so that
// no byte is lost.
std::string Windows1252ToUtf8(std::string_view bytes);

// Throws std::invalid_argument naming the first character that has no
// Windows-1252 byte, or when the text is not valid UTF-8.
std::string Utf8ToWindows1252(std::string_view utf8);

}  // namespace saver
