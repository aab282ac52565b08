#include "stored_text.h"

#include "platform/cp1252.h"

namespace saver {

std::string StoredText(const std::string& utf8) {
  std::string stored;
  for (size_t i = 0; i < utf8.size();) {
    // One character: a lead byte and its continuation bytes.
    size_t end = i + 1;
    while (end < utf8.size() && (uint8_t(utf8[end]) & 0xC0) == 0x80) ++end;
    const std::string character = utf8.substr(i, end - i);
    const std::string byte = Utf8ToCp1252(character);
    if (byte.size() != 1 || Cp1252ToUtf8(byte) != character)
      throw std::invalid_argument("\"" + character + "\" has no Windows-1252 character");
    stored += byte;
    i = end;
  }
  return stored;
}

}  // namespace saver
