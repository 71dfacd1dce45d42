#include "core/strings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

#include "core/error.h"

namespace nimbra {
namespace {

using Table = std::array<unsigned char, 256>;

constexpr Table MakeAnsiUpper() {
  Table t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  for (int i = 'a'; i <= 'z'; ++i) t[i] = static_cast<unsigned char>(i - 32);
  for (int i = 0xE0; i <= 0xFE; ++i) {
    if (i != 0xF7) t[i] = static_cast<unsigned char>(i - 32);
  }
  t[0x9A] = 0x8A;
  t[0x9C] = 0x8C;
  t[0x9E] = 0x8E;
  t[0xFF] = 0x9F;
  return t;
}

constexpr Table MakeAnsiLower() {
  Table t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  for (int i = 'A'; i <= 'Z'; ++i) t[i] = static_cast<unsigned char>(i + 32);
  for (int i = 0xC0; i <= 0xDE; ++i) {
    if (i != 0xD7) t[i] = static_cast<unsigned char>(i + 32);
  }
  t[0x8A] = 0x9A;
  t[0x8C] = 0x9C;
  t[0x8E] = 0x9E;
  t[0x9F] = 0xFF;
  return t;
}

constexpr Table kAnsiUpper = MakeAnsiUpper();
constexpr Table kAnsiLower = MakeAnsiLower();

inline unsigned char U(char c) {
  return static_cast<unsigned char>(c);
}
inline unsigned char AsciiUp(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}
inline unsigned char AnsiUp(unsigned char c) {
  return kAnsiUpper[c];
}

template <unsigned char (*Fold)(unsigned char)>
int CompareFolded(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = Fold(U(a[i])), y = Fold(U(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

template <unsigned char (*Fold)(unsigned char)>
bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(U(a[i])) != Fold(U(b[i]))) return false;
  }
  return true;
}

std::string Map(std::string_view text, const Table& table) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(table[U(c)]);
  return out;
}

inline bool IsBlank(char c) {
  return U(c) <= ' ';
}

}  // namespace

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(AsciiUp(U(c)));
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

int CompareText(std::string_view a, std::string_view b) {
  return CompareFolded<AsciiUp>(a, b);
}
bool SameText(std::string_view a, std::string_view b) {
  return SameFolded<AsciiUp>(a, b);
}

char AnsiUpperChar(char c) {
  return static_cast<char>(kAnsiUpper[U(c)]);
}
char AnsiLowerChar(char c) {
  return static_cast<char>(kAnsiLower[U(c)]);
}
std::string AnsiUpperCase(std::string_view text) {
  return Map(text, kAnsiUpper);
}
std::string AnsiLowerCase(std::string_view text) {
  return Map(text, kAnsiLower);
}

void InsertSortedText(std::vector<std::string>& list, std::string_view text) {
  const auto at = std::lower_bound(list.begin(), list.end(), text, TextLess());
  if (at == list.end() || !AnsiSameText(*at, text)) list.insert(at, std::string(text));
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  return CompareFolded<AnsiUp>(a, b);
}
bool AnsiSameText(std::string_view a, std::string_view b) {
  return SameFolded<AnsiUp>(a, b);
}

std::size_t TextHash::operator()(std::string_view text) const {
  // FNV-1a over the upper-cased bytes, so that equal names hash alike.
  std::uint64_t h = 14695981039346656037ull;
  for (char c : text) {
    h ^= AnsiUp(U(c));
    h *= 1099511628211ull;
  }
  return static_cast<std::size_t>(h);
}

bool StartsText(std::string_view text, std::string_view sub) {
  return sub.size() <= text.size() && AnsiSameText(text.substr(0, sub.size()), sub);
}

bool EndsText(std::string_view text, std::string_view sub) {
  return sub.size() <= text.size() && AnsiSameText(text.substr(text.size() - sub.size()), sub);
}

std::size_t FindText(std::string_view text, std::string_view sub, std::size_t from) {
  if (from > text.size() || sub.size() > text.size() - from) return std::string_view::npos;
  const std::size_t last = text.size() - sub.size();
  for (std::size_t i = from; i <= last; ++i) {
    if (AnsiSameText(text.substr(i, sub.size()), sub)) return i;
  }
  return std::string_view::npos;
}

std::string_view TrimLeft(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

std::string_view TrimRight(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && IsBlank(text[n - 1])) --n;
  return text.substr(0, n);
}

std::string_view Trim(std::string_view text) {
  return TrimRight(TrimLeft(text));
}

std::vector<std::string> SplitCommaList(std::string_view text) {
  // A NUL ends the text, as for the null-terminated strings of the original.
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    text = text.substr(0, nul);
  }
  std::vector<std::string> items;
  std::size_t p = 0;
  const std::size_t n = text.size();
  auto skip_blanks = [&] {
    while (p < n && IsBlank(text[p])) ++p;
  };
  skip_blanks();
  while (p < n) {
    std::string item;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      const std::size_t start = p;
      while (p < n && !IsBlank(text[p]) && text[p] != ',') ++p;
      item.assign(text.substr(start, p - start));
    }
    items.push_back(std::move(item));
    skip_blanks();
    if (p < n && text[p] == ',') {
      if (p + 1 == n) items.emplace_back();
      ++p;
      skip_blanks();
    }
  }
  return items;
}

std::string JoinCommaList(const std::vector<std::string>& items) {
  if (items.size() == 1 && items[0].empty()) return "\"\"";
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ',';
    const std::string& item = items[i];
    bool quote = false;
    for (char c : item) {
      if (IsBlank(c) || c == '"' || c == ',') {
        quote = true;
        break;
      }
    }
    if (!quote) {
      out += item;
      continue;
    }
    out += '"';
    for (char c : item) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::string IntToStr(std::int64_t value) {
  return std::to_string(value);
}

std::string FormatInt(std::int64_t value, int min_digits) {
  // Magnitude as unsigned so that the most negative value does not overflow.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (static_cast<int>(digits.size()) < min_digits) {
    digits.insert(0, static_cast<std::size_t>(min_digits) - digits.size(), '0');
  }
  return value < 0 ? "-" + digits : digits;
}

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
  std::size_t p = 0;
  while (p < text.size() && IsBlank(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  int base = 10;
  if (p < text.size() && text[p] == '$') {
    base = 16;
    ++p;
  } else if (p < text.size() && (text[p] == 'x' || text[p] == 'X')) {
    base = 16;
    ++p;
  } else if (p + 1 < text.size() && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X')) {
    base = 16;
    p += 2;
  }
  const std::string_view digits = text.substr(p);
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (base == 16) {
    if (value > 0xFFFFFFFFull) return std::nullopt;
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
  }
  const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  if (value > limit) return std::nullopt;
  const std::int64_t signed_value =
      negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(signed_value);
}

std::optional<std::int32_t> TryDecimalToInt(std::string_view text) {
  std::string_view digits = text;
  const bool negative = !digits.empty() && digits[0] == '-';
  if (!digits.empty() && (digits[0] == '+' || negative)) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  std::int64_t value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t default_value) {
  return TryStrToInt(text).value_or(default_value);
}

std::int32_t StrToInt(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value;
  throw ConvertError("'" + std::string(text) + "' is not a valid integer value");
}

}  // namespace nimbra
