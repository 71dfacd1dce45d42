#include "platform/registry/reg_hive.h"

#include <cstdio>

#include "core/hex.h"
#include "platform/registry/reg_text.h"
#include "platform/registry/registry_error.h"

namespace nimbra::platform::reg {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000ULL;
constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ULL;
constexpr char kHeader[] = "WINE REGISTRY Version 2";

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
bool IsHexDigit(char c) {
  return HexDigitValue(static_cast<unsigned char>(c)) >= 0;
}
// The value of a character IsHexDigit accepted.
unsigned HexValue(char c) {
  return static_cast<unsigned>(HexDigitValue(static_cast<unsigned char>(c)));
}

std::string_view SkipSpace(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  return s.substr(i);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

class HiveParser {
 public:
  HiveParser(std::string_view text, const std::string& file, std::vector<HiveProblem>* problems)
      : text_(text), file_(file), problems_(problems) {}

  HiveContent Parse() {
    content_.root = std::make_unique<RegNode>();
    content_.root->modified = CurrentFileTime();
    std::string_view line;
    if (!NextLine(line) || line != kHeader) {
      try {
        Fail("not a Wine registry file (the first line must be \"WINE REGISTRY Version 2\")");
      } catch (const ERegistryFormatError& error) {
        Report(error);
        return std::move(content_);
      }
    }
    while (NextLine(line)) {
      std::string_view p = SkipSpace(line);
      if (p.empty()) continue;
      try {
        Line(line, p);
      } catch (const ERegistryFormatError& error) {
        Report(error);
        // The values of a key whose line is unreadable have no key to go to.
        if (p[0] == '[') skipping_ = true;
      }
    }
    return std::move(content_);
  }

 private:
  void Line(std::string_view line, std::string_view p) {
    switch (p[0]) {
      case '[':
        skipping_ = false;
        KeyLine(p);
        break;
      case '@':
      case '"':
        if (!skipping_) ValueLine(p);
        break;
      case '#':
        if (!skipping_) OptionLine(p);
        break;
      case ';':
        if (!key_ && content_.comment.empty()) content_.comment = std::string(line);
        break;
      default:
        Fail("unrecognized input");
    }
  }

  // Raises the error again unless the caller collects problems.
  void Report(const ERegistryFormatError& error) {
    if (!problems_) throw;
    std::string what = error.what();
    const std::string prefix = file_ + ":" + std::to_string(error.Line()) + ": ";
    if (what.rfind(prefix, 0) == 0) what.erase(0, prefix.size());
    problems_->push_back({error.Line(), std::move(what)});
  }

  [[noreturn]] void Fail(const std::string& what) {
    throw ERegistryFormatError(file_, line_number_, what);
  }

  bool NextLine(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++line_number_;
    return true;
  }

  void KeyLine(std::string_view p) {
    std::u16string path;
    const std::size_t used = ParseEscaped(p.substr(1), ']', path);
    if (used == std::string_view::npos) Fail("malformed key line (no closing ']')");
    RegNode* node = content_.root.get();
    std::size_t depth = 0;
    std::size_t start = 0;
    const std::uint64_t now = content_.root->modified;
    while (start <= path.size()) {
      std::size_t end = path.find(u'\\', start);
      if (end == std::u16string::npos) end = path.size();
      if (end > start) {
        if (++depth > kMaxDepth) Fail("key path deeper than 512 levels");
        if (end - start > 255) Fail("key name longer than 255 characters");
        node = node->AddSubkey(std::u16string_view(path).substr(start, end - start), now);
      }
      start = end + 1;
    }
    // Decimal Unix seconds after the name; "#time" below takes precedence.
    std::string_view rest = SkipSpace(p.substr(1 + used));
    std::uint64_t seconds = 0;
    std::size_t digits = 0;
    while (digits < rest.size() && digits < 19 && rest[digits] >= '0' && rest[digits] <= '9') {
      seconds = seconds * 10 + (rest[digits++] - '0');
    }
    if (digits > 0) node->modified = kTicks1601To1970 + seconds * kTicksPerSecond;
    key_ = node;
  }

  void OptionLine(std::string_view p) {
    if (!key_) {
      if (StartsWith(p, "#arch=")) {
        std::string_view arch = p.substr(6);
        while (!arch.empty() && IsSpace(arch.back())) arch.remove_suffix(1);
        if (arch != "win32" && arch != "win64") Fail("unknown architecture");
        content_.arch = std::string(arch);
      }
      return;
    }
    if (StartsWith(p, "#time=")) {
      std::uint64_t time = 0;
      for (std::size_t i = 6; i < p.size() && i < 6 + 16 && IsHexDigit(p[i]); ++i) {
        time = (time << 4) | HexValue(p[i]);
      }
      key_->modified = time;
    } else if (StartsWith(p, "#class=\"")) {
      std::u16string key_class;
      if (ParseEscaped(p.substr(8), '"', key_class) == std::string_view::npos) {
        Fail("unterminated class name");
      }
      key_->key_class = std::move(key_class);
    } else if (p == "#link" || (StartsWith(p, "#link") && IsSpace(p[5]))) {
      key_->link = true;
    }
  }

  void ValueLine(std::string_view p) {
    if (!key_) Fail("value without key");
    std::u16string name;
    if (p[0] == '@') {
      p.remove_prefix(1);
    } else {
      const std::size_t used = ParseEscaped(p.substr(1), '"', name);
      if (used == std::string_view::npos) Fail("unterminated value name");
      p.remove_prefix(1 + used);
    }
    p = SkipSpace(p);
    if (p.empty() || p[0] != '=') Fail("malformed value (no '=' after the name)");
    p = SkipSpace(p.substr(1));

    if (StartsWith(p, "\"")) {
      StringValue(name, 1, p.substr(1));
    } else if (StartsWith(p, "str:\"")) {
      StringValue(name, 1, p.substr(5));
    } else if (StartsWith(p, "str(2):\"")) {
      StringValue(name, 2, p.substr(8));
    } else if (StartsWith(p, "str(7):\"")) {
      StringValue(name, 7, p.substr(8));
    } else if (StartsWith(p, "dword:")) {
      DwordValue(name, p.substr(6));
    } else if (StartsWith(p, "hex:")) {
      HexData(name, 3, p.substr(4));
    } else if (StartsWith(p, "hex(")) {
      std::size_t i = 4;
      std::uint64_t number = 0;
      while (i < p.size() && IsHexDigit(p[i]) && number <= 0xffffffffULL) {
        number = number * 16 + HexValue(p[i++]);
      }
      if (i == 4 || number > 0xffffffffULL || !StartsWith(p.substr(i), "):")) {
        Fail("malformed value type");
      }
      HexData(name, static_cast<std::uint32_t>(number), p.substr(i + 2));
    } else {
      Fail("unknown value type");
    }
  }

  void StringValue(const std::u16string& name, std::uint32_t type, std::string_view p) {
    std::u16string text;
    if (ParseEscaped(p, '"', text) == std::string_view::npos) Fail("unterminated string");
    std::vector<std::uint8_t> data;
    data.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
      data.push_back(static_cast<std::uint8_t>(c));
      data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    key_->SetValue(name, type, std::move(data));
  }

  void DwordValue(const std::u16string& name, std::string_view p) {
    p = SkipSpace(p);
    std::uint32_t value = 0;
    std::size_t i = 0;
    while (i < p.size() && IsHexDigit(p[i])) {
      if (i == 8) Fail("dword value longer than 8 hex digits");
      value = (value << 4) | HexValue(p[i++]);
    }
    if (i == 0) Fail("malformed dword value");
    key_->SetValue(
        name, 4,
        {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
         static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
  }

  void HexData(const std::u16string& name, std::uint32_t type, std::string_view p) {
    std::vector<std::uint8_t> data;
    for (;;) {
      std::size_t i = 0;
      while (i < p.size() && IsHexDigit(p[i])) {
        unsigned byte = 0;
        std::size_t digits = 0;
        while (i < p.size() && IsHexDigit(p[i])) {
          if (++digits > 2) Fail("malformed hex data (byte over ff)");
          byte = byte * 16 + HexValue(p[i++]);
        }
        data.push_back(static_cast<std::uint8_t>(byte));
        while (i < p.size() && IsSpace(p[i])) ++i;
        if (i < p.size() && p[i] == ',') ++i;
        while (i < p.size() && IsSpace(p[i])) ++i;
      }
      if (i == p.size()) break;
      if (p[i] != '\\') Fail("malformed hex data");
      std::string_view next;
      if (!NextLine(next)) Fail("hex data continued past the end of the file");
      p = SkipSpace(next);
    }
    key_->SetValue(name, type, std::move(data));
  }

  std::string_view text_;
  const std::string& file_;
  std::vector<HiveProblem>* problems_;
  bool skipping_ = false;  // inside a key whose line could not be read
  std::size_t pos_ = 0;
  int line_number_ = 0;
  HiveContent content_;
  RegNode* key_ = nullptr;
};

// ---- writing ----

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex32(std::string& out, std::uint32_t value, bool pad) {
  char buffer[8];
  int n = 0;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const unsigned digit = (value >> shift) & 15;
    if (!pad && n == 0 && digit == 0 && shift > 0) continue;
    buffer[n++] = kHexDigits[digit];
  }
  out.append(buffer, n);
}

bool IsTerminatedString(const RegNodeValue& value) {
  const auto& d = value.data;
  return d.size() >= 2 && d.size() % 2 == 0 && d[d.size() - 1] == 0 && d[d.size() - 2] == 0;
}

void AppendValue(std::string& out, const RegNodeValue& value) {
  std::size_t count;
  if (value.name.empty()) {
    out += "@=";
    count = 2;
  } else {
    out.push_back('"');
    count = 1 + AppendEscaped(out, value.name, "\"\"");
    out += "\"=";
    count += 2;
  }
  const std::uint32_t type = value.type;
  if ((type == 1 || type == 2 || type == 7) && IsTerminatedString(value)) {
    if (type != 1) out += type == 2 ? "str(2):" : "str(7):";
    out.push_back('"');
    std::u16string text;
    text.reserve(value.data.size() / 2 - 1);
    for (std::size_t i = 0; i + 2 < value.data.size(); i += 2) {
      text.push_back(static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8)));
    }
    AppendEscaped(out, text, "\"\"");
    out += "\"\n";
    return;
  }
  if (type == 4 && value.data.size() == 4) {
    const auto& d = value.data;
    out += "dword:";
    AppendHex32(out, d[0] | (d[1] << 8) | (d[2] << 16) | (std::uint32_t{d[3]} << 24), true);
    out.push_back('\n');
    return;
  }
  if (type == 3) {
    out += "hex:";
    count += 4;
  } else {
    const std::size_t before = out.size();
    out += "hex(";
    AppendHex32(out, type, false);
    out += "):";
    count += out.size() - before;
  }
  const std::size_t n = value.data.size();
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(kHexDigits[value.data[i] >> 4]);
    out.push_back(kHexDigits[value.data[i] & 15]);
    count += 2;
    if (i + 1 < n) {
      out.push_back(',');
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
  out.push_back('\n');
}

void AppendKey(std::string& out, const RegNode& node, std::string& path) {
  if (!node.values.empty() || node.subkeys.empty() || node.key_class || node.link) {
    out += "\n[";
    out += path;
    out += "] ";
    const auto seconds =
        static_cast<std::uint32_t>(static_cast<std::int64_t>(node.modified - kTicks1601To1970) /
                                   static_cast<std::int64_t>(kTicksPerSecond));
    out += std::to_string(seconds);
    out += "\n#time=";
    AppendHex32(out, static_cast<std::uint32_t>(node.modified >> 32), false);
    AppendHex32(out, static_cast<std::uint32_t>(node.modified), true);
    out.push_back('\n');
    if (node.key_class) {
      out += "#class=\"";
      AppendEscaped(out, *node.key_class, "\"\"");
      out += "\"\n";
    }
    if (node.link) out += "#link\n";
    for (const RegNodeValue& value : node.values) AppendValue(out, value);
  }
  const std::size_t length = path.size();
  for (const auto& child : node.subkeys) {
    if (length > 0) path += "\\\\";
    AppendEscaped(path, child->name, "[]");
    AppendKey(out, *child, path);
    path.resize(length);
  }
}

}  // namespace

HiveContent ParseHive(std::string_view text, const std::string& file_name,
                      std::vector<HiveProblem>* problems) {
  return HiveParser(text, file_name, problems).Parse();
}

std::string WriteHive(const RegNode& root, std::string_view comment, std::string_view arch) {
  std::string out;
  out.reserve(1 << 16);
  out += kHeader;
  out.push_back('\n');
  out += comment;
  out.push_back('\n');
  if (!arch.empty()) {
    out += "\n#arch=";
    out += arch;
    out.push_back('\n');
  }
  std::string path;
  AppendKey(out, root, path);
  return out;
}

}  // namespace nimbra::platform::reg
