#include "keys/key_record.h"

#include <cstdio>

#include "keys/clock.h"

namespace nimbra::keys {

std::string_view KeyClassName(std::uint8_t keyClass) {
  return keyClass < kKeyClassNames.size() ? kKeyClassNames[keyClass] : kKeyClassNames[0];
}

std::string KeyReference::Format() const {
  char text[9];
  std::snprintf(text, sizeof text, "%02X%02X%04X", unsigned(a & 15) * 16 + unsigned(b & 15),
                unsigned(c), unsigned(d));
  return text;
}

namespace {

unsigned HexDigits(std::string_view text, std::size_t from, std::size_t count) {
  unsigned value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    const char ch = i < text.size() ? text[i] : '0';
    unsigned digit = 0;
    if (ch >= '0' && ch <= '9')
      digit = unsigned(ch - '0');
    else if (ch >= 'A' && ch <= 'F')
      digit = unsigned(ch - 'A' + 10);
    else if (ch >= 'a' && ch <= 'f')
      digit = unsigned(ch - 'a' + 10);
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

KeyReference KeyReference::Parse(std::string_view text) {
  KeyReference ref;
  if (text.empty()) return ref;
  ref.a = static_cast<std::uint8_t>(HexDigits(text, 0, 1));
  ref.b = static_cast<std::uint8_t>(HexDigits(text, 1, 1));
  ref.c = static_cast<std::uint8_t>(HexDigits(text, 2, 2));
  ref.d = static_cast<std::uint16_t>(HexDigits(text, 4, 4));
  return ref;
}

KeyRecord::KeyRecord() : expires(Now()), updateStamp(expires) {}

void KeyRecord::Clear() {
  KeyRecord fresh;
  *this = std::move(fresh);
}

std::string KeyRecord::ReadLabel() const {
  return Cut(entityName + "/" + keyId + ":" + entityGroupName, kDisplayLabelWidth);
}

std::string Cut(std::string_view text, std::size_t width) {
  return std::string(text.substr(0, width));
}

}  // namespace nimbra::keys
