#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "engine/keys/vrx_crypto.h"
#include "keys/key_cache.h"
#include "keys/keys_db.h"
#include "keys/letters.h"
#include "keys/nimbra_crypto.h"
#include "keys/table_pool.h"
#include "keys/tests/fake_ui.h"
#include "keys/text_seal.h"
#include "platform/processes/library.h"
#include "testsupport/test_machine.h"

namespace nimbra::keys::test {

inline const std::string kProgramDir = "C:\\Program Files\\NimbraPost\\";
inline const std::string kDataDir = "C:\\NimbraPost\\Data\\";

// The letter texts of an engine public key made from a one-byte seed
// pattern (made once per seed in the process).
inline LetterTexts EnginePublicKey(std::uint8_t seed, engine::TGeneratorSizes sizes = 28) {
  engine::TVRXCrypto crypto;
  crypto.SetGeneratorSizes(sizes);
  std::vector<std::uint8_t> bytes(50, seed);
  crypto.MakePrivateKey(bytes.data(), 50);
  crypto.ComputePublicKey(crypto.PublicKey(), crypto.PrivateKey());
  MemoryStream stream;
  crypto.PublicKey().SaveToStream(stream);
  return ToLetters(stream.Data());
}

// A machine with an installed product whose user "Ann" (password "a") is
// logged on to a key component.
class CryptoFixture : public ::testing::Test {
 protected:
  CryptoFixture()
      : loader(platform::SearchPath{kProgramDir, kProgramDir, "C:\\windows\\system32",
                                    "C:\\windows", ""},
               [this](const std::string& path) { return m->HostPath(path).value_or(""); }) {
    CloseAllTables();
    ClearAllCaches();
    InstallProduct(m);
    crypto = NewComponent();
  }
  ~CryptoFixture() override {
    crypto.reset();
    CloseAllTables();
    ClearAllCaches();
  }
  // The product's registry key, "WS.INI" and a users file with "Ann".
  static void InstallProduct(testsupport::TestMachine& machine) {
    machine.SetString("HKLM\\Software\\NimbraPost\\Current Version", "exePath", kProgramDir);
    WriteWsIni(machine, "");
    machine.PutDirectory(kDataDir);
    machine.PutFile(
        kDataDir + "Users.ini",
        "[Users]\r\nAnn=" +
            SealUserEntry("a", MakeDatabasePassword(std::vector<std::uint8_t>(100, 9)).Text()) +
            "\r\n");
  }
  void WriteWsIni(const std::string& extra) { WriteWsIni(m, extra); }
  static void WriteWsIni(testsupport::TestMachine& m, const std::string& extra) {
    m.PutFile(kProgramDir + "WS.INI", "[WORKSTATION]\r\nINSTALLED=NimbraPost\r\nUsersFile=" +
                                          kDataDir + "Users.ini\r\n" + extra);
  }
  std::unique_ptr<TNimbraMGR> NewComponent() {
    auto component = std::make_unique<TNimbraMGR>(*m, ui, loader, kProgramDir);
    component->shareSessions = false;
    EXPECT_TRUE(component->CheckPassword("Ann", "a"));
    return component;
  }
  bool ReadRecipient(const std::string& keyId, KeyRecord& record) {
    TKeysDB db;
    return crypto->OpenRecipients(db) && db.ReadKey(keyId, record);
  }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }

  testsupport::TestMachine m;
  FakeUi ui;
  platform::LibraryLoader loader;
  std::unique_ptr<TNimbraMGR> crypto;
};

}  // namespace nimbra::keys::test
