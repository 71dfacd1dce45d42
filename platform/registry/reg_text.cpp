#include "platform/registry/reg_text.h"

#include <cstdio>

#include "core/hex.h"

namespace nimbra::platform::reg {
namespace {

// CP-1252 bytes 0x80..0x9F; the five undefined bytes map to themselves.
constexpr char16_t kHigh[32] = {0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                                0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
                                0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

// Characters that must follow "\" to be an escape Wine writes for them.
constexpr char kCEscapes[32] = {0, 0, 0, 0, 0, 0, 0, 'a', 'b', 't', 'n', 'v', 'f', 'r', 0, 0,
                                0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0,   'e', 0,   0,   0, 0};

bool IsHexDigit(char c) {
  return HexDigitValue(static_cast<unsigned char>(c)) >= 0;
}

// Decodes one UTF-8 sequence starting at text[pos] (a byte >= 0x80) and
// advances pos past it. Appends nothing for an invalid sequence.
void DecodeUtf8(std::string_view text, std::size_t& pos, std::u16string& out) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  int extra;
  char32_t cp;
  if (lead >= 0xc2 && lead <= 0xdf) {
    extra = 1;
    cp = lead & 0x1f;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    extra = 2;
    cp = lead & 0x0f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    return;
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= text.size()) return;
    const auto c = static_cast<unsigned char>(text[pos]);
    if ((c & 0xc0) != 0x80) return;
    cp = (cp << 6) | (c & 0x3f);
    ++pos;
  }
  // Reject overlong forms, surrogates and values past U+10FFFF.
  if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10ffff)) ||
      (cp >= 0xd800 && cp <= 0xdfff)) {
    return;
  }
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xd800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xdc00 + (cp & 0x3ff)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    out.push_back(b >= 0x80 && b < 0xa0 ? kHigh[b - 0x80] : static_cast<char16_t>(b));
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xa0 && c <= 0xff)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char mapped = '?';
    for (int i = 0; i < 32; ++i) {
      if (kHigh[i] == c) {
        mapped = static_cast<char>(0x80 + i);
        break;
      }
    }
    out.push_back(mapped);
  }
  return out;
}

char16_t FoldChar(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
  if ((c >= 0xc0 && c <= 0xde && c != 0xd7)) return static_cast<char16_t>(c + 32);
  // Latin Extended-A: upper case at even code points (with a few odd runs).
  if (c >= 0x100 && c <= 0x17f) {
    const bool odd_run = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17e);
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17f) return c;
    if (c == 0x178) return 0xff;
    if (odd_run ? (c % 2 == 1) : (c % 2 == 0)) return static_cast<char16_t>(c + 1);
    return c;
  }
  if (c >= 0x391 && c <= 0x3ab && c != 0x3a2) return static_cast<char16_t>(c + 32);  // Greek
  if (c >= 0x410 && c <= 0x42f) return static_cast<char16_t>(c + 32);                // Cyrillic
  if (c >= 0x400 && c <= 0x40f) return static_cast<char16_t>(c + 80);
  if (c >= 0xff21 && c <= 0xff3a) return static_cast<char16_t>(c + 32);  // full-width
  return c;
}

std::u16string Fold(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = FoldChar(c);
  return out;
}

std::size_t AppendEscaped(std::string& out, std::u16string_view text, const char delimiters[2]) {
  const std::size_t start = out.size();
  char buffer[16];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool has_next = i + 1 < text.size();
    const char16_t next = has_next ? text[i + 1] : 0;
    if (c > 127) {
      const bool hex_next = has_next && next < 128 && IsHexDigit(static_cast<char>(next));
      std::snprintf(buffer, sizeof buffer, hex_next ? "\\x%04x" : "\\x%x", unsigned{c});
      out += buffer;
    } else if (c < 32) {
      if (kCEscapes[c]) {
        out.push_back('\\');
        out.push_back(kCEscapes[c]);
      } else {
        const bool octal_next = has_next && next >= '0' && next <= '7';
        std::snprintf(buffer, sizeof buffer, octal_next ? "\\%03o" : "\\%o", unsigned{c});
        out += buffer;
      }
    } else {
      const char a = static_cast<char>(c);
      if (a == '\\' || a == delimiters[0] || a == delimiters[1]) out.push_back('\\');
      out.push_back(a);
    }
  }
  return out.size() - start;
}

std::size_t ParseEscaped(std::string_view text, char end, std::u16string& result) {
  result.clear();
  std::size_t p = 0;
  while (p < text.size()) {
    const char c = text[p];
    if (c == end) return p + 1;
    if (static_cast<unsigned char>(c) >= 0x80) {
      DecodeUtf8(text, p, result);
      continue;
    }
    if (c != '\\') {
      result.push_back(static_cast<char16_t>(c));
      ++p;
      continue;
    }
    if (++p >= text.size()) return std::string_view::npos;
    const char e = text[p++];
    switch (e) {
      case 'a':
        result.push_back(u'\a');
        break;
      case 'b':
        result.push_back(u'\b');
        break;
      case 'e':
        result.push_back(0x1b);
        break;
      case 'f':
        result.push_back(u'\f');
        break;
      case 'n':
        result.push_back(u'\n');
        break;
      case 'r':
        result.push_back(u'\r');
        break;
      case 't':
        result.push_back(u'\t');
        break;
      case 'v':
        result.push_back(u'\v');
        break;
      case 'x': {
        if (p >= text.size() || !IsHexDigit(text[p])) {
          result.push_back(u'x');
          break;
        }
        unsigned value = 0;
        for (int i = 0; i < 4 && p < text.size() && IsHexDigit(text[p]); ++i) {
          value = value * 16 + HexDigitValue(static_cast<unsigned char>(text[p++]));
        }
        result.push_back(static_cast<char16_t>(value));
        break;
      }
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7': {
        unsigned value = e - '0';
        for (int i = 0; i < 2 && p < text.size() && text[p] >= '0' && text[p] <= '7'; ++i) {
          value = value * 8 + (text[p++] - '0');
        }
        result.push_back(static_cast<char16_t>(value));
        break;
      }
      default:
        if (static_cast<unsigned char>(e) >= 0x80) {
          --p;
          DecodeUtf8(text, p, result);
        } else {
          result.push_back(static_cast<char16_t>(e));
        }
        break;
    }
  }
  return std::string_view::npos;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t p = 0;
  while (p < text.size()) {
    if (static_cast<unsigned char>(text[p]) < 0x80) {
      out.push_back(static_cast<char16_t>(text[p++]));
    } else {
      DecodeUtf8(text, p, out);
    }
  }
  return out;
}

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text, bool terminate) {
  std::vector<std::uint8_t> data;
  data.reserve(text.size() * 2 + 2);
  for (char16_t c : text) {
    data.push_back(static_cast<std::uint8_t>(c));
    data.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (terminate) data.insert(data.end(), {0, 0});
  return data;
}

std::vector<std::u16string> SplitKeyPath(std::string_view path) {
  std::vector<std::u16string> elements;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) elements.push_back(AnsiToUtf16(path.substr(start, end - start)));
    start = end + 1;
  }
  return elements;
}

}  // namespace nimbra::platform::reg
