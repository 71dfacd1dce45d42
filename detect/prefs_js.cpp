#include "detect/prefs_js.h"

namespace nimbra::detect {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Up to `count` hex digits at text[i...]; nullopt unless all are there.
std::optional<unsigned> HexNumber(std::string_view text, std::size_t i, std::size_t count) {
  if (text.size() - i < count) return std::nullopt;
  unsigned value = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const int digit = HexDigit(text[i + k]);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value;
}

// The string literal starting with the quote at text[i]; `i` ends past its
// closing quote. nullopt when the literal is not closed on the line.
std::optional<std::string> ReadLiteral(std::string_view text, std::size_t& i) {
  const char quote = text[i++];
  std::string value;
  while (i < text.size()) {
    const char c = text[i++];
    if (c == quote) return value;
    if (c != '\\' || i == text.size()) {
      value += c;
      continue;
    }
    const char e = text[i++];
    switch (e) {
      case 'n':
        value += '\n';
        break;
      case 'r':
        value += '\r';
        break;
      case 't':
        value += '\t';
        break;
      case 'x':
      case 'u': {
        const std::size_t digits = e == 'x' ? 2 : 4;
        const auto code = HexNumber(text, i, digits);
        if (!code) {
          value += e;
          break;
        }
        i += digits;
        value += *code <= 0xFF ? static_cast<char>(*code) : '?';
        break;
      }
      default:
        value += e;  // \" \' \\ and any other character stand for themselves
        break;
    }
  }
  return std::nullopt;
}

// The line without its comments; `inBlock` carries an open "/*" comment from
// line to line.
std::string WithoutComments(std::string_view line, bool& inBlock) {
  std::string code;
  std::size_t i = 0;
  while (i < line.size()) {
    if (inBlock) {
      const auto end = line.find("*/", i);
      if (end == std::string_view::npos) return code;
      inBlock = false;
      i = end + 2;
      continue;
    }
    const char c = line[i];
    if (c == '"' || c == '\'') {
      // Copied through whole, escapes included, so that "//" inside a
      // string is no comment.
      const std::size_t start = i++;
      while (i < line.size() && line[i] != c) i += line[i] == '\\' ? 2 : 1;
      i = std::min(i + 1, line.size());
      code.append(line.substr(start, i - start));
      continue;
    }
    if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') return code;
    if (c == '/' && i + 1 < line.size() && line[i + 1] == '*') {
      inBlock = true;
      i += 2;
      continue;
    }
    code += c;
    ++i;
  }
  return code;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::optional<UserPref> ParseCall(std::string_view code) {
  constexpr std::string_view kCall = "user_pref(";
  const auto call = code.find(kCall);
  if (call == std::string_view::npos) return std::nullopt;
  std::size_t i = call + kCall.size();
  while (i < code.size() && IsBlank(code[i])) ++i;
  if (i == code.size() || (code[i] != '"' && code[i] != '\'')) return std::nullopt;
  std::optional<std::string> name = ReadLiteral(code, i);
  if (!name) return std::nullopt;
  UserPref pref{std::move(*name), std::nullopt};
  while (i < code.size() && IsBlank(code[i])) ++i;
  if (i < code.size() && code[i] == ',') {
    ++i;
    while (i < code.size() && IsBlank(code[i])) ++i;
    if (i < code.size() && (code[i] == '"' || code[i] == '\'')) pref.value = ReadLiteral(code, i);
  }
  return pref;
}

}  // namespace

std::vector<UserPref> ReadUserPrefs(std::string_view text) {
  std::vector<UserPref> prefs;
  bool inBlock = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string code = WithoutComments(text.substr(start, end - start), inBlock);
    if (auto pref = ParseCall(code)) prefs.push_back(std::move(*pref));
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
  return prefs;
}

std::string ReplacePrefsLines(
    std::string_view text,
    const std::function<std::optional<std::string>(std::string_view code)>& replace) {
  std::string result;
  bool inBlock = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    const std::string code = WithoutComments(line, inBlock);
    std::optional<std::string> changed;
    if (code.find_first_not_of(" \t") != std::string::npos) changed = replace(code);
    result += changed ? *changed : std::string(line);
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
    result.append(text.substr(end, start - end));
  }
  return result;
}

std::string PrefsStringContent(std::string_view text) {
  std::string content;
  for (const char c : text) {
    if (c == '\\' || c == '"') content += '\\';
    content += c;
  }
  return content;
}

}  // namespace nimbra::detect
