#pragma once

// The wizard's binding to the PGP toolkit library: loaded through the
// platform's library loader, its entry points resolved by name, and the
// preference operations of the PGP page on top of them.

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "keys/pgp_key_maker.h"
#include "pgp/toolkit_api.h"
#include "platform/processes/library.h"

namespace nimbra::pgp {

// The page's preference selectors: 1 private key ring, 2 random seed file,
// 3 the data preference, 4 public key ring.
inline constexpr int kSelectPrivateRing = 1;
inline constexpr int kSelectRandomSeed = 2;
inline constexpr int kSelectData = 3;
inline constexpr int kSelectPublicRing = 4;

// A preference value as read: at most 259 characters and a NUL.
using PrefBuffer = std::array<char, 260>;

class ToolkitBinding : public keys::PgpKeyMaker {
 public:
  explicit ToolkitBinding(platform::LibraryLoader& loader) : loader_(loader) {}
  ~ToolkitBinding() override;
  ToolkitBinding(const ToolkitBinding&) = delete;
  ToolkitBinding& operator=(const ToolkitBinding&) = delete;

  // Loads "pgpsdk.dll" and resolves its entry points, once: later calls
  // report what the first successful load left. False when the library is
  // missing, not loadable or lacks an entry point (nothing stays loaded).
  bool Load();
  bool Available() const override { return available_; }

  // The toolkit's preference number of a selector (1, 2, 3 as they are,
  // anything else, the public key ring's 4 included, 0).
  static std::uint32_t PreferenceNumber(int selector);

  // Reads a preference into buffer (a path of more than 259 characters is
  // cut there). Any status other than kPgpOk leaves buffer as it was; so
  // does a toolkit that is not loaded (kPgpNotInitialized).
  PgpStatus ReadPreference(int selector, PrefBuffer& buffer);
  // Stores a preference (selector 3: the text as data, its NUL included)
  // and saves the toolkit's preferences.
  PgpStatus WritePreference(const std::string& path, int selector);

  std::optional<std::string> MakeKeyPair(const std::string& userId, const std::string& passPhrase,
                                         int validityDays) override;

 private:
  class Session;

  struct Entries {
    std::function<entry::SdkInit> sdkInit;
    std::function<entry::SdkCleanup> sdkCleanup;
    std::function<entry::NewContext> newContext;
    std::function<entry::FreeContext> freeContext;
    std::function<entry::OpenDefaultKeyRings> openDefaultKeyRings;
    std::function<entry::FreeKeySet> freeKeySet;
    std::function<entry::NewFileSpecFromFullPath> newFileSpecFromFullPath;
    std::function<entry::GetFullPathFromFileSpec> getFullPathFromFileSpec;
    std::function<entry::FreeFileSpec> freeFileSpec;
    std::function<entry::PrefSetFileSpec> prefSetFileSpec;
    std::function<entry::PrefGetFileSpec> prefGetFileSpec;
    std::function<entry::PrefSetData> prefSetData;
    std::function<entry::PrefGetData> prefGetData;
    std::function<entry::SavePrefs> savePrefs;
    std::function<entry::FreeData> freeData;
    std::function<entry::GenerateKey> generateKey;
  };

  platform::LibraryLoader& loader_;
  platform::ModuleHandle module_ = 0;
  bool available_ = false;
  Entries e_;
};

}  // namespace nimbra::pgp
