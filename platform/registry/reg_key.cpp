#include <utility>

#include "platform/registry/reg_location.h"
#include "platform/registry/reg_text.h"
#include "platform/registry/reg_tree.h"
#include "platform/registry/registry.h"

namespace nimbra::platform {
namespace {

// The UTF-16 units of the data, stopping at the first NUL.
std::u16string Utf16UpToNul(const std::vector<std::uint8_t>& data) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

constexpr std::uint32_t Type(RegType type) {
  return static_cast<std::uint32_t>(type);
}

}  // namespace

RegKey::RegKey(Registry* registry, int hive, std::vector<std::u16string> path, std::string display)
    : registry_(registry), hive_(hive), path_(std::move(path)), display_(std::move(display)) {}

RegNode& RegKey::Node() const {
  if (!cached_ || generation_ != registry_->generation_) {
    cached_ = registry_->Resolve(hive_, path_);
    generation_ = registry_->generation_;
    if (!cached_) throw ERegistryException("registry key " + display_ + " has been deleted");
  }
  return *cached_;
}

std::string RegKey::Path() const {
  return display_;
}

std::string RegKey::Identity() const {
  Node();  // a deleted key has no place
  // The folded UTF-16 names byte by byte (names outside the ANSI code page
  // stay apart), each after the unit U+FFFF, which no name holds.
  std::string identity = std::to_string(hive_);
  for (const std::u16string& element : path_) {
    identity += "\xff\xff";
    for (const char16_t c : reg::Fold(element)) {
      identity += static_cast<char>(c & 0xFF);
      identity += static_cast<char>(c >> 8);
    }
  }
  return identity;
}

RegValue RegKey::ReadRaw(std::string_view name) const {
  const RegNodeValue* value = Node().FindValue(reg::Fold(reg::AnsiToUtf16(name)));
  if (!value) {
    throw ERegistryException("registry value '" + std::string(name) + "' not found in " + display_);
  }
  return RegValue{static_cast<RegType>(value->type), value->data};
}

namespace {

[[noreturn]] void WrongType(std::string_view name) {
  throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
}

}  // namespace

std::string RegKey::ReadString(std::string_view name) const {
  RegValue value = ReadRaw(name);
  if (value.type != RegType::String && value.type != RegType::ExpandString) WrongType(name);
  return reg::Utf16ToAnsi(Utf16UpToNul(value.data));
}

std::int32_t RegKey::ReadInteger(std::string_view name) const {
  RegValue value = ReadRaw(name);
  if (value.type != RegType::DWord || value.data.size() != 4) WrongType(name);
  const auto& d = value.data;
  return static_cast<std::int32_t>(d[0] | (d[1] << 8) | (d[2] << 16) |
                                   (static_cast<std::uint32_t>(d[3]) << 24));
}

std::vector<std::uint8_t> RegKey::ReadBinary(std::string_view name) const {
  RegValue value = ReadRaw(name);
  if (value.type == RegType::String || value.type == RegType::ExpandString ||
      value.type == RegType::DWord) {
    WrongType(name);
  }
  return std::move(value.data);
}

std::vector<std::string> RegKey::ReadMultiString(std::string_view name) const {
  RegValue value = ReadRaw(name);
  if (value.type != RegType::MultiString) WrongType(name);
  std::vector<std::string> result;
  std::u16string current;
  for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
    const auto c = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
    if (c != 0) {
      current.push_back(c);
    } else if (current.empty()) {
      break;  // the empty string ends the list
    } else {
      result.push_back(reg::Utf16ToAnsi(current));
      current.clear();
    }
  }
  if (!current.empty()) result.push_back(reg::Utf16ToAnsi(current));
  return result;
}

void RegKey::WriteRaw(std::string_view name, const RegValue& value) const {
  RegNode& node = Node();
  node.SetValue(reg::AnsiToUtf16(name), Type(value.type), value.data);
  node.modified = CurrentFileTime();
  registry_->Touched(hive_);
}

void RegKey::WriteString(std::string_view name, std::string_view value) const {
  WriteRaw(name, RegValue{RegType::String, reg::Utf16Bytes(reg::AnsiToUtf16(value), true)});
}

void RegKey::WriteExpandString(std::string_view name, std::string_view value) const {
  WriteRaw(name, RegValue{RegType::ExpandString, reg::Utf16Bytes(reg::AnsiToUtf16(value), true)});
}

void RegKey::WriteInteger(std::string_view name, std::int32_t value) const {
  const auto v = static_cast<std::uint32_t>(value);
  WriteRaw(name,
           RegValue{RegType::DWord,
                    {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                     static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}});
}

void RegKey::WriteBinary(std::string_view name, const std::vector<std::uint8_t>& value) const {
  WriteRaw(name, RegValue{RegType::Binary, value});
}

void RegKey::WriteMultiString(std::string_view name, const std::vector<std::string>& value) const {
  std::u16string text;
  for (const std::string& item : value) {
    text += reg::AnsiToUtf16(item);
    text.push_back(0);
  }
  // "a\0b\0" + the closing NUL; an empty list is a single NUL.
  if (value.empty()) {
    WriteRaw(name, RegValue{RegType::MultiString, {0, 0}});
  } else {
    WriteRaw(name, RegValue{RegType::MultiString, reg::Utf16Bytes(text, true)});
  }
}

bool RegKey::ValueExists(std::string_view name) const {
  return Node().FindValue(reg::Fold(reg::AnsiToUtf16(name))) != nullptr;
}

RegType RegKey::GetValueType(std::string_view name) const {
  return ReadRaw(name).type;
}

bool RegKey::DeleteValue(std::string_view name) const {
  RegNode& node = Node();
  if (!node.RemoveValue(reg::Fold(reg::AnsiToUtf16(name)))) return false;
  node.modified = CurrentFileTime();
  registry_->Touched(hive_);
  return true;
}

std::vector<std::string> RegKey::ValueNames() const {
  std::vector<std::string> names;
  for (const RegNodeValue& value : Node().values) names.push_back(reg::Utf16ToAnsi(value.name));
  return names;
}

std::vector<std::string> RegKey::SubkeyNames() const {
  std::vector<std::string> names;
  for (const auto& child : Node().subkeys) names.push_back(reg::Utf16ToAnsi(child->name));
  return names;
}

bool RegKey::HasSubkeys() const {
  return !Node().subkeys.empty();
}

std::optional<RegKey> RegKey::OpenSubkey(std::string_view path, bool create) const {
  reg::Location at{hive_, &Node(), path_};
  std::vector<std::u16string> elements = reg::SplitKeyPath(path);
  std::string display = display_;
  for (const auto& element : elements) display += "\\" + reg::Utf16ToAnsi(element);
  return registry_->Open(std::move(at), elements, create, std::move(display));
}

bool RegKey::SubkeyExists(std::string_view path) const {
  return OpenSubkey(path, false).has_value();
}

bool RegKey::DeleteSubkey(std::string_view path) const {
  return registry_->Remove(reg::Location{hive_, &Node(), path_}, reg::SplitKeyPath(path));
}

bool RegKey::MoveSubkey(std::string_view from, std::string_view to) const {
  return registry_->Move(reg::Location{hive_, &Node(), path_}, reg::SplitKeyPath(from),
                         reg::SplitKeyPath(to));
}

std::int64_t RegKey::LastWriteTime() const {
  constexpr std::int64_t kTicks1601To1970 = 116444736000000000LL;
  return (static_cast<std::int64_t>(Node().modified) - kTicks1601To1970) / 10000000;
}

}  // namespace nimbra::platform
