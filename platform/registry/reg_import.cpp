// Import of registry editor export files (".reg").

#include <utility>

#include "core/hex.h"
#include "platform/registry/reg_hive.h"
#include "platform/registry/reg_text.h"
#include "platform/registry/registry.h"

namespace nimbra::platform {
namespace {

struct Operation {
  enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
  RootKey root;
  std::string path;
  std::string name;
  RegValue value;
};

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r';
}

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// UTF-16LE with a byte order mark, UTF-8 with one, REGEDIT4 in CP-1252,
// anything else as UTF-8.
std::u16string DecodeText(std::string_view text) {
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xff &&
      static_cast<unsigned char>(text[1]) == 0xfe) {
    std::u16string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                          (static_cast<unsigned char>(text[i + 1]) << 8)));
    }
    return out;
  }
  if (text.substr(0, 3) == "\xef\xbb\xbf") return reg::Utf8ToUtf16(text.substr(3));
  return text.substr(0, 8) == "REGEDIT4" ? reg::AnsiToUtf16(text) : reg::Utf8ToUtf16(text);
}

// How deep in its hive a key of `elements` names below a root key lies:
// HKEY_CLASSES_ROOT is HKLM\Software\Classes, HKEY_CURRENT_CONFIG four keys
// down; the SID key of HKEY_USERS is HKEY_CURRENT_USER itself.
std::size_t HiveDepth(RootKey root, std::size_t elements) {
  switch (root) {
    case RootKey::ClassesRoot:
      return elements + 2;
    case RootKey::CurrentConfig:
      return elements + 4;
    case RootKey::Users:
      return elements - 1;  // never empty: the SID was checked
    default:
      return elements;
  }
}

class RegFileParser {
 public:
  RegFileParser(std::u16string_view text, const std::string& source)
      : text_(text), source_(source) {}

  std::vector<Operation> Parse() {
    std::u16string_view line;
    while (NextLine(line) && Trim(line).empty()) {
    }
    const std::u16string_view header = Trim(line);
    if (header != u"REGEDIT4" && header != u"Windows Registry Editor Version 5.00") {
      Fail(
          "not a registry export (the first line must be \"REGEDIT4\" or \"Windows "
          "Registry Editor Version 5.00\")");
    }
    ansi_strings_ = header == u"REGEDIT4";
    while (NextLine(line)) {
      std::u16string_view p = Trim(line);
      if (p.empty() || p[0] == u';') continue;
      if (p[0] == u'[') {
        KeyLine(p);
      } else if (p[0] == u'@' || p[0] == u'"') {
        ValueLine(p);
      } else {
        Fail("unrecognized line");
      }
    }
    return std::move(operations_);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) {
    throw ERegistryFormatError(source_, line_number_, what);
  }

  bool NextLine(std::u16string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find(u'\n', pos_);
    if (end == std::u16string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    ++line_number_;
    return true;
  }

  void KeyLine(std::u16string_view p) {
    if (p.back() != u']') Fail("malformed key line (no closing ']')");
    p = p.substr(1, p.size() - 2);
    const bool remove = !p.empty() && p[0] == u'-';
    if (remove) p.remove_prefix(1);
    const std::string full = reg::Utf16ToAnsi(p);
    const std::size_t slash = full.find('\\');
    const std::optional<RootKey> root = ParseRootKey(full.substr(0, slash));
    if (!root) Fail("unknown root key in [" + full + "]");
    std::string path = slash == std::string::npos ? "" : full.substr(slash + 1);
    const std::vector<std::u16string> elements = reg::SplitKeyPath(path);
    if (*root == RootKey::Users &&
        (elements.empty() || reg::Fold(elements[0]) != reg::Fold(reg::AnsiToUtf16(kUserSid)))) {
      Fail("only HKEY_USERS\\" + std::string(kUserSid) + " can be imported");
    }
    if (elements.empty() && remove) Fail("a root key cannot be deleted");
    // What the registry refuses to create is refused here, before anything
    // of the file is written.
    for (const std::u16string& element : elements) {
      if (element.size() > 255) Fail("registry key name longer than 255 characters");
    }
    if (HiveDepth(*root, elements.size()) > reg::kMaxDepth) {
      Fail("registry key path deeper than " + std::to_string(reg::kMaxDepth) + " levels");
    }
    seen_key_ = true;
    root_ = *root;
    path_ = path;
    have_key_ = !remove;
    operations_.push_back(
        {remove ? Operation::DeleteKey : Operation::CreateKey, root_, path_, {}, {}});
  }

  void ValueLine(std::u16string_view p) {
    if (!seen_key_) Fail("value without key");
    std::u16string name;
    if (p[0] == u'@') {
      p.remove_prefix(1);
    } else {
      std::size_t used;
      if (!QuotedText(p.substr(1), name, used)) Fail("unterminated value name");
      p.remove_prefix(1 + used);
    }
    p = Trim(p);
    if (p.empty() || p[0] != u'=') Fail("malformed value (no '=' after the name)");
    p = Trim(p.substr(1));
    Operation op{Operation::SetValue, root_, path_, reg::Utf16ToAnsi(name), {}};
    if (p == u"-") {
      op.kind = Operation::DeleteValue;
    } else if (!p.empty() && p[0] == u'"') {
      std::u16string text;
      std::size_t used;
      if (!QuotedText(p.substr(1), text, used)) Fail("unterminated string");
      std::u16string_view rest = Trim(p.substr(1 + used));
      if (!rest.empty() && rest[0] != u';') Fail("text after the closing quote");
      op.value = {RegType::String, reg::Utf16Bytes(text, true)};
    } else if (StartsWith(p, u"dword:")) {
      std::u16string_view digits = p.substr(6);
      std::uint32_t value = 0;
      std::size_t i = 0;
      for (; i < digits.size() && HexDigitValue(digits[i]) >= 0; ++i) {
        if (i == 8) Fail("dword value longer than 8 hex digits");
        value = (value << 4) | static_cast<std::uint32_t>(HexDigitValue(digits[i]));
      }
      if (i == 0 || !Trim(digits.substr(i)).empty()) Fail("malformed dword value");
      op.value = {RegType::DWord,
                  {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
    } else if (StartsWith(p, u"hex:")) {
      op.value = {RegType::Binary, HexBytes(p.substr(4))};
    } else if (StartsWith(p, u"hex(")) {
      std::size_t i = 4;
      std::uint64_t type = 0;
      for (; i < p.size() && HexDigitValue(p[i]) >= 0 && type <= 0xffffffffULL; ++i) {
        type = type * 16 + static_cast<std::uint64_t>(HexDigitValue(p[i]));
      }
      if (i == 4 || type > 0xffffffffULL || !StartsWith(p.substr(i), u"):")) {
        Fail("malformed value type");
      }
      op.value = {static_cast<RegType>(type), HexBytes(p.substr(i + 2))};
      if (ansi_strings_ && (type == 1 || type == 2 || type == 7)) {
        // REGEDIT4 stores string types as ANSI bytes; the registry keeps UTF-16.
        std::string ansi(op.value.data.begin(), op.value.data.end());
        op.value.data = reg::Utf16Bytes(reg::AnsiToUtf16(ansi), false);
      }
    } else {
      Fail("unknown value type");
    }
    if (!have_key_) return;  // values after a [-key] deletion are ignored
    operations_.push_back(std::move(op));
  }

  // Text up to the closing quote; "\\" and "\"" are the only escapes.
  static bool QuotedText(std::u16string_view p, std::u16string& out, std::size_t& used) {
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (p[i] == u'"') {
        used = i + 1;
        return true;
      }
      if (p[i] == u'\\' && i + 1 < p.size() && (p[i + 1] == u'\\' || p[i + 1] == u'"')) ++i;
      out.push_back(p[i]);
    }
    return false;
  }

  std::vector<std::uint8_t> HexBytes(std::u16string_view p) {
    std::vector<std::uint8_t> data;
    for (;;) {
      p = Trim(p);
      std::size_t i = 0;
      while (i < p.size()) {
        const int high = HexDigitValue(p[i]);
        if (high < 0) break;
        int byte = high;
        if (i + 1 < p.size() && HexDigitValue(p[i + 1]) >= 0)
          byte = byte * 16 + HexDigitValue(p[++i]);
        data.push_back(static_cast<std::uint8_t>(byte));
        ++i;
        while (i < p.size() && IsBlank(p[i])) ++i;
        if (i < p.size() && p[i] == u',') ++i;
        while (i < p.size() && IsBlank(p[i])) ++i;
      }
      std::u16string_view rest = Trim(p.substr(i));
      if (rest.empty() || rest[0] == u';') return data;
      if (rest != u"\\") Fail("malformed hex data");
      if (!NextLine(p)) Fail("hex data continued past the end of the file");
    }
  }

  std::u16string_view text_;
  bool ansi_strings_ = false;  // REGEDIT4: hex(1), hex(2), hex(7) hold ANSI bytes
  bool seen_key_ = false;
  const std::string& source_;
  std::size_t pos_ = 0;
  int line_number_ = 0;
  std::vector<Operation> operations_;
  RootKey root_ = RootKey::CurrentUser;
  std::string path_;
  bool have_key_ = false;
};

}  // namespace

void ImportRegFile(Registry& registry, std::string_view text, const std::string& source_name) {
  const std::u16string decoded = DecodeText(text);
  std::vector<Operation> operations = RegFileParser(decoded, source_name).Parse();
  RegistryTransaction transaction(registry);
  std::optional<RegKey> key;
  for (Operation& op : operations) {
    switch (op.kind) {
      case Operation::CreateKey:
        key = registry.OpenKey(op.root, op.path, true);
        break;
      case Operation::DeleteKey:
        registry.DeleteKey(op.root, op.path);
        key.reset();
        break;
      case Operation::SetValue:
        key->WriteRaw(op.name, op.value);
        break;
      case Operation::DeleteValue:
        key->DeleteValue(op.name);
        break;
    }
  }
  transaction.Commit();
}

}  // namespace nimbra::platform
