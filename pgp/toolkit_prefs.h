#pragma once

// The toolkit's preferences file in the machine: "PGPsdkPrefs.ini" in the
// Windows directory, section "[Preferences]" with the full Windows paths of
// the public key ring ("PublicKeyRing"), the private key ring
// ("PrivateKeyRing") and the random seed file ("RandomSeedFile"), and the
// data preference as hexadecimal digits ("Data"). docs/pgp-toolkit.md
// describes it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/machine.h"

namespace nimbra::pgp {

class ToolkitPrefs {
 public:
  static constexpr const char* kFileName = "PGPsdkPrefs.ini";
  static constexpr const char* kSection = "Preferences";

  // Windows path of the file on a machine.
  static std::string FilePath(const platform::Machine& machine);

  // Reads the file's text; a missing file or key is an unset preference, a
  // file preference whose value is empty or a data value that is not
  // hexadecimal counts as unset as well. Never fails on the text.
  static ToolkitPrefs Parse(std::string_view text);
  // The file's text, CR LF lines.
  std::string Text() const;

  // Preference numbers of pgp/toolkit_api.h; nullopt when unset.
  std::optional<std::string> FilePref(std::uint32_t pref) const;
  void SetFilePref(std::uint32_t pref, std::string path);
  std::optional<std::vector<std::uint8_t>> Data() const { return data_; }
  void SetData(std::vector<std::uint8_t> data) { data_ = std::move(data); }

  // The INI key of a file preference; nullptr for a number that is none.
  static const char* FileKey(std::uint32_t pref);

 private:
  std::map<std::uint32_t, std::string> files_;
  std::optional<std::vector<std::uint8_t>> data_;
};

}  // namespace nimbra::pgp
