#include "setup/update_reg.h"

#include "core/strings.h"
#include "setup/copy_script.h"

namespace nimbra::setup {

namespace {

using platform::RootKey;

bool IsKeyLine(const std::string& line) {
  return line.size() >= 19 && line.front() == '[' && line.back() == ']';
}

// "\\" and "\"" of an exported text as the characters they stand for.
std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
      ++i;
    }
    out += text[i];
  }
  return out;
}

bool IsHexDigits(std::string_view text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

// The key of a key line, with a warning step first when its root is none of
// the four allowed.
void AddKey(const std::string& line, RegStep& key, std::vector<RegStep>& steps) {
  const std::string inside = line.substr(1, line.size() - 2);
  const std::size_t slash = inside.find('\\');
  const std::string root = UpperCase(inside.substr(0, slash));
  key = RegStep{};
  key.path = slash == std::string::npos ? std::string() : inside.substr(slash + 1);
  if (root == "HKEY_CLASSES_ROOT") {
    key.root = RootKey::ClassesRoot;
  } else if (root == "HKEY_CURRENT_USER") {
    key.root = RootKey::CurrentUser;
  } else if (root == "HKEY_LOCAL_MACHINE") {
    key.root = RootKey::LocalMachine;
  } else if (root == "HKEY_CURRENT_CONFIG") {
    key.root = RootKey::CurrentConfig;
  } else {
    RegStep warning = key;
    warning.kind = RegStep::Kind::RootWarning;
    steps.push_back(warning);
  }
}

// The value a value line writes into key, when it writes one.
void AddValue(const std::string& line, const RegStep& key, std::vector<RegStep>& steps) {
  if (line.front() != '"') return;  // "@=" (the default value) and other forms write nothing
  const std::size_t close = line.find('"', 1);
  if (close == std::string::npos || close + 1 >= line.size() || line[close + 1] != '=') return;
  RegStep value = key;
  value.name = line.substr(1, close - 1);
  const std::string_view data = std::string_view(line).substr(close + 2);
  if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
    value.kind = RegStep::Kind::String;
    value.text = Unescape(data.substr(1, data.size() - 2));
  } else if (data.size() == 14 && data.substr(0, 6) == "dword:" && IsHexDigits(data.substr(6))) {
    value.kind = RegStep::Kind::Integer;
    value.number = static_cast<std::int32_t>(std::stoul(std::string(data.substr(6)), nullptr, 16));
  } else {
    return;
  }
  steps.push_back(value);
}

}  // namespace

std::vector<RegStep> ParseUpdateReg(std::string_view text) {
  const std::vector<std::string> lines = ScriptLines(text);
  std::vector<RegStep> steps;
  std::size_t i = 0;
  bool header = true;
  while (i < lines.size()) {
    if (header) {
      if (lines[i].find("REGEDIT4") == std::string::npos) break;
      i += 2;  // the header and the line after it
      header = false;
      continue;
    }
    const std::string& keyLine = lines[i++];
    if (!IsKeyLine(keyLine)) break;
    RegStep key;
    AddKey(keyLine, key, steps);
    bool ended = false;
    while (i < lines.size()) {
      const std::string& line = lines[i++];
      if (!line.empty() && (line.size() < 4 || line.find('=') == std::string::npos)) {
        ended = true;
        break;
      }
      steps.push_back(key);  // every value line, and the closing empty one, opens the key
      if (line.empty()) break;
      AddValue(line, key, steps);
    }
    if (ended) break;
    if (i < lines.size() && lines[i].find("REGEDIT4") != std::string::npos) header = true;
  }
  return steps;
}

}  // namespace nimbra::setup
