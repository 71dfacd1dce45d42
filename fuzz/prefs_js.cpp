// The prefs.js line reader: any bytes read without a fault, a rewrite that
// changes no line keeps every byte, and a preference written with its name
// and value escaped reads back as written.
#include "detect/prefs_js.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto prefs = nimbra::detect::ReadUserPrefs(input);
  std::size_t lines = 1;
  for (const char c : input) lines += c == '\n' || c == '\r';
  if (prefs.size() > lines) std::abort();
  // A rewrite that replaces no line gives the text back byte for byte.
  if (nimbra::detect::ReplacePrefsLines(
          input, [](std::string_view) { return std::optional<std::string>(); }) != input) {
    std::abort();
  }

  const std::string_view name = input.substr(0, size / 2);
  const std::string_view value = input.substr(size / 2);
  const std::string line =
      "user_pref(\"" + Escaped(name) + "\", \"" + Escaped(value) + "\"); // a comment\r\n";
  const auto read = nimbra::detect::ReadUserPrefs(line);
  if (read.size() != 1 || read[0].name != name || read[0].value != value) std::abort();
  return 0;
}
