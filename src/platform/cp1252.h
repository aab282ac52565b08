#pragma once
// Windows-1252 text, the encoding of the payload's text fields. The mapping is
// one-to-one over all 256 bytes (the five unassigned bytes map to the C1
// controls of the same number), so a round trip never loses a byte.
#include <string>

namespace saver {

std::string Cp1252ToUtf8(const std::string& bytes);
// Characters outside Windows-1252 (and malformed UTF-8) become '?'.
std::string Utf8ToCp1252(const std::string& utf8);

}  // namespace saver
