// Keys as text: `reg query` output and REGEDIT4 exports.

#include <cstdio>

#include "platform/registry/reg_text.h"
#include "platform/registry/registry.h"

namespace nimbra::platform {
namespace {

std::u16string Units(const std::vector<std::uint8_t>& data) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

std::string UpperHex(const std::vector<std::uint8_t>& data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint8_t b : data) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

std::string QueryData(const RegValue& value) {
  const auto& d = value.data;
  switch (value.type) {
    case RegType::String:
    case RegType::ExpandString: {
      std::u16string text = Units(d);
      text = text.substr(0, text.find(u'\0'));
      return reg::Utf16ToAnsi(text);
    }
    case RegType::DWord:
    case RegType::QWord: {
      if (d.size() != (value.type == RegType::DWord ? 4u : 8u)) break;
      std::uint64_t number = 0;
      for (std::size_t i = d.size(); i-- > 0;) number = (number << 8) | d[i];
      char buffer[24];
      std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(number));
      return buffer;
    }
    case RegType::MultiString: {
      std::u16string text = Units(d);
      while (!text.empty() && text.back() == 0) text.pop_back();
      std::string out;
      for (char16_t c : text) {
        if (c == 0) {
          out += "\\0";
        } else {
          out += reg::Utf16ToAnsi(std::u16string(1, c));
        }
      }
      return out;
    }
    default:
      break;
  }
  return UpperHex(d);
}

std::string QueryLine(const RegKey& key, const std::string& name) {
  const RegValue value = key.ReadRaw(name);
  return "    " + (name.empty() ? std::string("(Default)") : name) + "    " +
         RegTypeName(value.type) + "    " + QueryData(value) + "\r\n";
}

// ---- REGEDIT4 ----

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

void AppendHexValue(std::string& out, std::size_t count, const std::vector<std::uint8_t>& data) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < data.size(); ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 15]);
    count += 2;
    if (i + 1 < data.size()) {
      out.push_back(',');
      if (++count > 76) {
        out += "\\\r\n  ";
        count = 2;
      }
    }
  }
  out += "\r\n";
}

void AppendExportValue(std::string& out, const std::string& name, const RegValue& value) {
  const std::size_t start = out.size();
  out += name.empty() ? std::string("@") : Quoted(name);
  out.push_back('=');
  const auto type = static_cast<std::uint32_t>(value.type);
  std::vector<std::uint8_t> bytes = value.data;
  if (type == 1 || type == 2 || type == 7) {
    // REGEDIT4 holds string data as ANSI bytes.
    const std::string ansi = reg::Utf16ToAnsi(Units(value.data));
    const std::string text = ansi.substr(0, ansi.find('\0'));
    if (type == 1 && text.size() + 1 == ansi.size() &&
        text.find_first_of("\r\n") == std::string::npos) {
      out += Quoted(text) + "\r\n";
      return;
    }
    bytes.assign(ansi.begin(), ansi.end());
  } else if (type == 4 && bytes.size() == 4) {
    char buffer[24];
    std::snprintf(
        buffer, sizeof buffer, "dword:%08x\r\n",
        bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<unsigned>(bytes[3]) << 24));
    out += buffer;
    return;
  }
  if (type == 3) {
    out += "hex:";
  } else {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "hex(%x):", type);
    out += buffer;
  }
  AppendHexValue(out, out.size() - start, bytes);
}

void ExportTree(std::string& out, const RegKey& key) {
  out += "[" + key.Path() + "]\r\n";
  for (const std::string& name : key.ValueNames()) {
    AppendExportValue(out, name, key.ReadRaw(name));
  }
  out += "\r\n";
  for (const std::string& sub : key.SubkeyNames()) {
    if (std::optional<RegKey> child = key.OpenSubkey(sub, false)) ExportTree(out, *child);
  }
}

std::optional<RegKey> MustOpen(Registry& registry, RootKey root, std::string_view path) {
  std::optional<RegKey> key = registry.OpenKey(root, path, false);
  if (!key) throw ERegistryException("Unable to find the specified registry key");
  return key;
}

}  // namespace

std::string QueryKey(Registry& registry, RootKey root, std::string_view path,
                     std::optional<std::string_view> value) {
  const std::optional<RegKey> key = MustOpen(registry, root, path);
  if (value) {
    const std::string name(*value);
    if (!key->ValueExists(name)) {
      throw ERegistryException("Unable to find the specified registry value");
    }
    return "\r\n" + key->Path() + "\r\n" + QueryLine(*key, name) + "\r\n";
  }
  std::string out;
  const std::vector<std::string> names = key->ValueNames();
  if (!names.empty()) {
    out += "\r\n" + key->Path() + "\r\n";
    for (const std::string& name : names) out += QueryLine(*key, name);
  }
  out += "\r\n";
  for (const std::string& sub : key->SubkeyNames()) out += key->Path() + "\\" + sub + "\r\n";
  return out;
}

std::string ExportKey(Registry& registry, RootKey root, std::string_view path) {
  const std::optional<RegKey> key = MustOpen(registry, root, path);
  std::string out = "REGEDIT4\r\n\r\n";
  ExportTree(out, *key);
  return out;
}

}  // namespace nimbra::platform
