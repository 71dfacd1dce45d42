#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pgp/toolkit_binding.h"
#include "pgp/toolkit_library.h"
#include "platform/files/path.h"
#include "platform/processes/library.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"
#include "testsupport/test_machine.h"

namespace nimbra::pgp::testing {

// A machine whose loader binds the toolkit stand-in, and the binding.
class ToolkitTest : public ::testing::Test {
 public:
  ToolkitTest() : loader(*m, "D:\\"), binding(std::make_unique<ToolkitBinding>(loader)) {
    m.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40");
    RegisterToolkitLibrary(loader, *m);
  }

  std::string SystemFile(std::string_view name) {
    return platform::JoinWindowsPath(m->SystemDirectory(), name);
  }
  void InstallLibrary() { m.PutFile(SystemFile("pgpsdk.dll"), "library"); }
  ToolkitLibrary* Library() {
    return loader.StandInAs<ToolkitLibrary>(loader.LoadLibrary("pgpsdk.dll"));
  }
  std::string Read(int selector, PgpStatus expected = kPgpOk) {
    PrefBuffer buffer{};
    EXPECT_EQ(binding->ReadPreference(selector, buffer), expected) << "selector " << selector;
    return buffer.data();
  }

  testsupport::TestMachine m;
  platform::LibraryLoader loader;
  std::unique_ptr<ToolkitBinding> binding;
};

// The key ids and user ids another OpenPGP implementation lists for a
// public key ring file (host path); empty when gpg is not installed.
struct ListedKey {
  std::string keyId;
  std::string userId;
};
inline std::vector<ListedKey> ListWithGpg(const std::filesystem::path& ring) {
  testsupport::TempFolder home("nimbra-gpg");
  const std::string dir = testsupport::ShellQuote(home.Path().string());
  const auto imported = testsupport::RunCommand("gpg --homedir " + dir + " --batch --import " +
                                                testsupport::ShellQuote(ring.string()));
  EXPECT_EQ(imported.status, 0) << imported.err;
  const auto listed =
      testsupport::RunCommand("gpg --homedir " + dir + " --batch --with-colons --list-keys");
  EXPECT_EQ(listed.status, 0) << listed.err;
  std::vector<ListedKey> keys;
  std::size_t start = 0;
  while (start < listed.out.size()) {
    std::size_t end = listed.out.find('\n', start);
    if (end == std::string::npos) end = listed.out.size();
    const std::string line = listed.out.substr(start, end - start);
    start = end + 1;
    std::vector<std::string> fields;
    for (std::size_t at = 0;;) {
      const std::size_t colon = line.find(':', at);
      fields.push_back(line.substr(at, colon - at));
      if (colon == std::string::npos) break;
      at = colon + 1;
    }
    if (fields[0] == "pub" && fields.size() > 4) keys.push_back({fields[4], ""});
    if (fields[0] == "uid" && fields.size() > 9 && !keys.empty()) keys.back().userId = fields[9];
  }
  return keys;
}

}  // namespace nimbra::pgp::testing
