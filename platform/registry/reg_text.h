#pragma once

// Text conversions of the registry: Windows-1252 <-> UTF-16, the case
// folding used to match and sort names, and Wine's escaping of UTF-16 text
// in its registry files (dump_strW / parse_strW).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::platform::reg {

// Each byte to its UTF-16 unit (bytes undefined in CP-1252 map to U+0080..U+009F).
std::u16string AnsiToUtf16(std::string_view text);
// Each unit back to its byte; units outside CP-1252 become '?'.
std::string Utf16ToAnsi(std::u16string_view text);

// The case-folded form used to compare names (lower case, as Wine's
// server compares them).
char16_t FoldChar(char16_t c);
std::u16string Fold(std::u16string_view text);

// Appends text escaped as Wine writes it; `delimiters` are the two characters
// that get a backslash besides "\" itself ("\"\"" for names and strings,
// "[]" for key path elements). Returns the number of characters appended.
std::size_t AppendEscaped(std::string& out, std::u16string_view text, const char delimiters[2]);

// Parses escaped text from `text` up to the unescaped `end` character.
// On success stores the text in `result` and returns the number of input
// characters consumed, including `end`; returns npos when `end` never comes.
// Raw bytes >= 0x80 are read as UTF-8 (invalid sequences dropped).
std::size_t ParseEscaped(std::string_view text, char end, std::u16string& result);

// Decodes UTF-8 into UTF-16 (invalid sequences dropped), the way Wine reads raw bytes.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-16LE bytes of the text, with a terminating NUL when asked.
std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text, bool terminate);

// "a\b\\c\" -> {"a", "b", "c"}: the elements of a key path given in
// ANSI text; empty elements (leading, trailing or doubled "\") are ignored.
std::vector<std::u16string> SplitKeyPath(std::string_view path);

}  // namespace nimbra::platform::reg
