#pragma once

// Text helpers with the rules of the Windows/Delphi world the system lives in.
//
// Texts are 8-bit strings in the Windows ANSI code page (Windows-1252). Two
// families of case rules exist, as in the system's own run-time library:
//  - plain (UpperCase, LowerCase, SameText, CompareText): ASCII letters only,
//    every other byte is left alone;
//  - Ansi (AnsiUpperCase, AnsiSameText, ...): Windows-1252 letters as the
//    Windows ANSI character functions fold them for 8-bit text: a-z, the
//    accented letters 0xE0-0xFE except 0xF7 (division sign), and the pairs
//    0x9A/0x8A (s caron), 0x9C/0x8C (oe), 0x9E/0x8E (z caron), 0xFF/0x9F
//    (y diaeresis). 0xB5 (micro) and 0xDF (sharp s) have no upper case.
// Comparisons ignoring case are ordinal on the upper-cased bytes (not a
// linguistic sort): stable, locale-free, and what INI/registry names need.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra {

// ---- case, ASCII only ----
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
// <0, 0, >0 like strcmp, comparing ASCII-upper-cased bytes as unsigned.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// ---- case, Windows-1252 ----
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

// Function objects for containers keyed by names without regard to case
// (Windows-1252 rules). All three are transparent: a std::string key can be
// looked up with a std::string_view.
struct TextLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    return AnsiCompareText(a, b) < 0;
  }
};
struct TextEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return AnsiSameText(a, b); }
};
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const;
};

// Inserts text into a list kept sorted without regard to case, unless a text
// equal to it without regard to case is already there (a sorted string list
// that ignores duplicates).
void InsertSortedText(std::vector<std::string>& list, std::string_view text);

// Does text begin / end with sub, ignoring case (Windows-1252)? Argument
// order is (text, sub), unlike Delphi's StartsText(sub, text).
bool StartsText(std::string_view text, std::string_view sub);
bool EndsText(std::string_view text, std::string_view sub);
// Position of the first occurrence of sub in text at or after from,
// ignoring case (Windows-1252); std::string_view::npos when absent. An empty
// sub is found at from (when from <= text.size()).
std::size_t FindText(std::string_view text, std::string_view sub, std::size_t from = 0);

// ---- trimming: blanks and control characters (every byte <= ' ') ----
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);

// ---- comma lists ----
// Reads a comma list the way the system's string lists read their comma
// text: items are separated by commas and by runs of blanks and control
// characters (bytes 1..32), which are also skipped around items; an item that
// starts with a double quote runs to the closing quote and keeps its commas
// and blanks, "" inside it standing for one quote. "a,,b" gives an empty
// middle item; a trailing comma gives a trailing empty item; an empty or
// all-blank text gives no items. A NUL byte ends the text. An unterminated
// quoted item takes the rest of the text.
std::vector<std::string> SplitCommaList(std::string_view text);
// The reverse: items joined by commas; an item holding a byte <= ' ', a
// double quote or a comma is written in double quotes with its quotes
// doubled. A list of one empty item is written as "" so that it reads back.
std::string JoinCommaList(const std::vector<std::string>& items);

// ---- numbers ----
std::string IntToStr(std::int64_t value);
// Decimal with at least min_digits digits, zero-padded after the sign, as the
// "%.5d" format writes it: (-12, 5) -> "-00012", (123456, 5) -> "123456".
std::string FormatInt(std::int64_t value, int min_digits);
// Reads a 32-bit integer as the system's run-time library does: leading
// blanks (bytes <= ' ') are skipped, then an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x" or "0x" (any case). Nothing may follow
// (trailing blanks included). Decimal must fit -2147483648..2147483647;
// hexadecimal may go up to FFFFFFFF and wraps to a negative value above
// 7FFFFFFF ("$FFFFFFFF" is -1). Returns nullopt on any failure.
std::optional<std::int32_t> TryStrToInt(std::string_view text);
std::int32_t StrToIntDef(std::string_view text, std::int32_t default_value);
// A 32-bit integer in decimal only, as settings files hold their integers:
// an optional sign and decimal digits, nothing before or after ("$3", "0x3",
// "2x" and " 2" are not numbers). Returns nullopt on any failure.
std::optional<std::int32_t> TryDecimalToInt(std::string_view text);
// As TryStrToInt, raising ConvertError ("'<text>' is not a valid integer value").
std::int32_t StrToInt(std::string_view text);

}  // namespace nimbra
