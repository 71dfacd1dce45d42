#include "pgp/toolkit_prefs.h"

#include "core/hex.h"
#include "pgp/toolkit_api.h"
#include "platform/files/path.h"
#include "platform/profile/profile_text.h"

namespace nimbra::pgp {

std::string ToolkitPrefs::FilePath(const platform::Machine& machine) {
  return platform::JoinWindowsPath(machine.WindowsDirectory(), kFileName);
}

const char* ToolkitPrefs::FileKey(std::uint32_t pref) {
  switch (pref) {
    case kPrefPublicKeyRing:
      return "PublicKeyRing";
    case kPrefPrivateKeyRing:
      return "PrivateKeyRing";
    case kPrefRandomSeedFile:
      return "RandomSeedFile";
    default:
      return nullptr;
  }
}

ToolkitPrefs ToolkitPrefs::Parse(std::string_view text) {
  const platform::ProfileText ini(text);
  ToolkitPrefs prefs;
  for (std::uint32_t pref : {kPrefPublicKeyRing, kPrefPrivateKeyRing, kPrefRandomSeedFile}) {
    // As written (blanks around it trimmed): the paths are saved unquoted.
    const auto value = ini.ReadRaw(kSection, FileKey(pref));
    if (value && !value->empty()) prefs.files_[pref] = *value;
  }
  if (const auto data = ini.ReadRaw(kSection, "Data")) {
    try {
      prefs.data_ = HexToBytes(*data);
    } catch (const std::exception&) {
      // Not hexadecimal: the data preference is unset.
    }
  }
  return prefs;
}

std::string ToolkitPrefs::Text() const {
  platform::ProfileText ini;
  for (const auto& [pref, path] : files_) ini.WriteString(kSection, FileKey(pref), path);
  if (data_) ini.WriteString(kSection, "Data", HexUpper(*data_));
  return ini.Content();
}

std::optional<std::string> ToolkitPrefs::FilePref(std::uint32_t pref) const {
  const auto found = files_.find(pref);
  if (found == files_.end()) return std::nullopt;
  return found->second;
}

void ToolkitPrefs::SetFilePref(std::uint32_t pref, std::string path) {
  files_[pref] = std::move(path);
}

}  // namespace nimbra::pgp
