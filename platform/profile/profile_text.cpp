#include "platform/profile/profile_text.h"

#include <unordered_set>

#include "core/strings.h"

namespace nimbra::platform {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

enum class Kind { Other, Section, Key };

struct Parsed {
  Kind kind = Kind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
  std::size_t equals = 0;  // offset of "=" in a key line
};

Parsed Classify(std::string_view line) {
  Parsed r;
  const std::string_view t = TrimLeft(line);
  if (t.empty() || t.front() == ';') return r;
  if (t.front() == '[') {
    const std::size_t close = t.rfind(']');
    r.kind = Kind::Section;
    r.name = Trim(close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1));
    return r;
  }
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return r;
  r.kind = Kind::Key;
  r.name = Trim(line.substr(0, eq));
  r.value = Trim(line.substr(eq + 1));
  r.equals = eq;
  return r;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// GetPrivateProfileInt's number: blanks, sign, leading decimal digits; the
// arithmetic wraps at 32 bits as the Windows conversion does.
std::int32_t LeadingInteger(std::string_view text) {
  std::size_t p = 0;
  while (p < text.size() && static_cast<unsigned char>(text[p]) <= ' ') ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  std::uint32_t value = 0;
  while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
    value = value * 10u + static_cast<std::uint32_t>(text[p++] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

ProfileText::ProfileText(std::string_view content) {
  if (content.starts_with(kBom)) {
    bom_ = kBom;
    content.remove_prefix(kBom.size());
  }
  std::size_t p = 0;
  while (p < content.size()) {
    const std::size_t lf = content.find('\n', p);
    Line line;
    if (lf == std::string_view::npos) {
      line.text = content.substr(p);
      p = content.size();
    } else {
      const bool crlf = lf > p && content[lf - 1] == '\r';
      line.text = content.substr(p, lf - p - (crlf ? 1 : 0));
      line.end = crlf ? "\r\n" : "\n";
      p = lf + 1;
    }
    lines_.push_back(std::move(line));
  }
}

std::string ProfileText::Content() const {
  std::size_t size = bom_.size();
  for (const Line& l : lines_) size += l.text.size() + l.end.size();
  std::string out;
  out.reserve(size);
  out += bom_;
  for (const Line& l : lines_) {
    out += l.text;
    out += l.end;
  }
  return out;
}

const std::string& ProfileText::NewLineEnd() const {
  static const std::string kCrLf = "\r\n";
  if (!lines_.empty() && !lines_.front().end.empty()) return lines_.front().end;
  return kCrLf;
}

std::optional<ProfileText::SectionRange> ProfileText::FindSection(std::string_view section) const {
  section = Trim(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Parsed p = Classify(lines_[i].text);
    if (p.kind != Kind::Section || !AnsiSameText(p.name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && Classify(lines_[end].text).kind != Kind::Section) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> ProfileText::FindKey(const SectionRange& range,
                                                std::string_view key) const {
  key = Trim(key);
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    const Parsed p = Classify(lines_[i].text);
    if (p.kind == Kind::Key && AnsiSameText(p.name, key)) return i;
  }
  return std::nullopt;
}

const std::string* ProfileText::KeyLine(std::string_view section, std::string_view key) const {
  const auto range = FindSection(section);
  if (!range) return nullptr;
  const auto index = FindKey(*range, key);
  return index ? &lines_[*index].text : nullptr;
}

std::optional<std::string> ProfileText::ReadRaw(std::string_view section,
                                                std::string_view key) const {
  const std::string* line = KeyLine(section, key);
  if (!line) return std::nullopt;
  return std::string(Classify(*line).value);
}

std::optional<std::string> ProfileText::ReadExact(std::string_view section,
                                                  std::string_view key) const {
  const std::string* line = KeyLine(section, key);
  if (!line) return std::nullopt;
  return line->substr(Classify(*line).equals + 1);
}

std::string ProfileText::ReadString(std::string_view section, std::string_view key,
                                    std::string_view default_value) const {
  const auto raw = ReadRaw(section, key);
  if (!raw) return std::string(default_value);
  return std::string(StripQuotes(*raw));
}

std::int32_t ProfileText::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t default_value) const {
  const auto raw = ReadRaw(section, key);
  if (!raw) return default_value;
  const std::string_view value = StripQuotes(*raw);
  if (value.empty()) return default_value;
  return LeadingInteger(value);
}

bool ProfileText::ReadBool(std::string_view section, std::string_view key,
                           bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

bool ProfileText::SectionExists(std::string_view section) const {
  return FindSection(section).has_value();
}

bool ProfileText::ValueExists(std::string_view section, std::string_view key) const {
  return ReadRaw(section, key).has_value();
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  std::unordered_set<std::string_view, TextHash, TextEqual> seen;
  for (const Line& line : lines_) {
    const Parsed p = Classify(line.text);
    if (p.kind == Kind::Section && seen.insert(p.name).second) names.emplace_back(p.name);
  }
  return names;
}

std::vector<std::string> ProfileText::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const auto range = FindSection(section);
  if (!range) return names;
  std::unordered_set<std::string_view, TextHash, TextEqual> seen;
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    const Parsed p = Classify(lines_[i].text);
    if (p.kind == Kind::Key && seen.insert(p.name).second) names.emplace_back(p.name);
  }
  return names;
}

std::vector<std::string> ProfileText::SectionValues(std::string_view section) const {
  std::vector<std::string> lines;
  for (const std::string& key : KeyNames(section)) {
    lines.push_back(key + "=" + ReadString(section, key, ""));
  }
  return lines;
}

void ProfileText::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (HasLineBreak(section)) throw ProfileError("profile section name holds a line break");
  if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos ||
      key.front() == '[' || key.front() == ';') {
    throw ProfileError("invalid profile key name '" + std::string(key) + "'");
  }
  if (HasLineBreak(value)) {
    throw ProfileError("profile value of '" + std::string(key) + "' holds a line break");
  }
  const std::string key_line = std::string(key) + "=" + std::string(value);

  const auto range = FindSection(section);
  if (!range) {
    if (!lines_.empty()) {
      if (lines_.back().end.empty()) lines_.back().end = NewLineEnd();
      if (!Trim(lines_.back().text).empty()) lines_.push_back({"", NewLineEnd()});
    }
    const std::string end = NewLineEnd();
    lines_.push_back({"[" + std::string(section) + "]", end});
    lines_.push_back({key_line, end});
    return;
  }
  if (const auto index = FindKey(*range, key)) {
    std::string& text = lines_[*index].text;
    std::size_t keep = Classify(text).equals + 1;
    while (keep < text.size() && (text[keep] == ' ' || text[keep] == '\t')) ++keep;
    text.replace(keep, std::string::npos, value);
    return;
  }
  std::size_t after = range->header;
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    if (Classify(lines_[i].text).kind == Kind::Key) after = i;
  }
  if (lines_[after].end.empty()) lines_[after].end = NewLineEnd();
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after) + 1,
                Line{key_line, NewLineEnd()});
}

void ProfileText::WriteInteger(std::string_view section, std::string_view key, std::int64_t value) {
  WriteString(section, key, IntToStr(value));
}

void ProfileText::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool ProfileText::DeleteKey(std::string_view section, std::string_view key) {
  const auto range = FindSection(section);
  if (!range) return false;
  key = Trim(key);
  bool removed = false;
  std::size_t end = range->end;
  for (std::size_t i = range->header + 1; i < end;) {
    const Parsed p = Classify(lines_[i].text);
    if (p.kind == Kind::Key && AnsiSameText(p.name, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      --end;
      removed = true;
    } else {
      ++i;
    }
  }
  return removed;
}

bool ProfileText::DeleteSection(std::string_view section) {
  bool removed = false;
  while (const auto range = FindSection(section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
    removed = true;
  }
  return removed;
}

}  // namespace nimbra::platform
