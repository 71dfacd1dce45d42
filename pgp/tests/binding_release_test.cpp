#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "pgp/toolkit_binding.h"
#include "platform/files/path.h"
#include "testsupport/test_machine.h"

namespace nimbra::pgp {
namespace {

// A toolkit that counts what it opened and what was given back, records the
// order of the calls, and fails the call named in failAt.
class CountingToolkit : public platform::LibraryStandIn {
 public:
  std::string failAt;
  std::vector<std::string> calls;
  std::set<PgpHandle> contexts, keySets, specs;
  std::set<void*> data;
  int inits = 0;
  std::string path = "C:\\ring.pkr";
  std::uint32_t lastVersion = 0, lastFlags = 99, lastPref = 99, lastSize = 0;

  std::size_t Open() const {
    return contexts.size() + keySets.size() + specs.size() + data.size() +
           static_cast<std::size_t>(inits);
  }

  CountingToolkit() {
    Export("PGPsdkInit", [this]() { return Step("PGPsdkInit", [&] { ++inits; }); });
    Export("PGPsdkCleanup", [this]() { return Step("PGPsdkCleanup", [&] { --inits; }); });
    Export("PGPNewContext", [this](std::uint32_t version, PgpHandle* c) {
      lastVersion = version;
      return Step("PGPNewContext", [&] { contexts.insert(*c = next++); });
    });
    Export("PGPFreeContext",
           [this](PgpHandle c) { return Step("PGPFreeContext", [&] { contexts.erase(c); }); });
    Export("PGPOpenDefaultKeyRings", [this](PgpHandle, std::uint32_t flags, PgpHandle* k) {
      lastFlags = flags;
      return Step("PGPOpenDefaultKeyRings", [&] { keySets.insert(*k = next++); });
    });
    Export("PGPFreeKeySet",
           [this](PgpHandle k) { return Step("PGPFreeKeySet", [&] { keySets.erase(k); }); });
    Export("PGPNewFileSpecFromFullPath", [this](PgpHandle, const char*, PgpHandle* s) {
      return Step("PGPNewFileSpecFromFullPath", [&] { specs.insert(*s = next++); });
    });
    Export("PGPGetFullPathFromFileSpec", [this](PgpHandle, char** out) {
      return Step("PGPGetFullPathFromFileSpec", [&] { data.insert(*out = Give(path)); });
    });
    Export("PGPFreeFileSpec",
           [this](PgpHandle s) { return Step("PGPFreeFileSpec", [&] { specs.erase(s); }); });
    Export("PGPsdkPrefSetFileSpec", [this](PgpHandle, std::uint32_t pref, PgpHandle) {
      lastPref = pref;
      return Step("PGPsdkPrefSetFileSpec", [] {});
    });
    Export("PGPsdkPrefGetFileSpec", [this](PgpHandle, std::uint32_t pref, PgpHandle* s) {
      lastPref = pref;
      return Step("PGPsdkPrefGetFileSpec", [&] { specs.insert(*s = next++); });
    });
    Export("PGPsdkPrefSetData",
           [this](PgpHandle, std::uint32_t pref, const void*, std::uint32_t size) {
             lastPref = pref;
             lastSize = size;
             return Step("PGPsdkPrefSetData", [] {});
           });
    Export("PGPsdkPrefGetData",
           [this](PgpHandle, std::uint32_t pref, void** out, std::uint32_t* size) {
             lastPref = pref;
             return Step("PGPsdkPrefGetData", [&] {
               data.insert(*out = Give(path));
               *size = static_cast<std::uint32_t>(path.size() + 1);
             });
           });
    Export("PGPsdkSavePrefs", [this](PgpHandle) { return Step("PGPsdkSavePrefs", [] {}); });
    Export("PGPFreeData", [this](void* d) {
      return Step("PGPFreeData", [&] {
        data.erase(d);
        delete[] static_cast<char*>(d);
      });
    });
    Export("PGPGenerateKey", [this](PgpHandle, const char*, const char*, std::uint32_t, char* id) {
      return Step("PGPGenerateKey", [&] { std::strcpy(id, "0123456789ABCDEF"); });
    });
  }

 private:
  template <typename Act>
  PgpStatus Step(const std::string& name, Act act) {
    calls.push_back(name);
    if (name == failAt) return kPgpFileError;
    act();
    return kPgpOk;
  }
  static char* Give(const std::string& text) {
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
  }
  PgpHandle next = 1;
};

class BindingReleaseTest : public ::testing::Test {
 protected:
  BindingReleaseTest() : loader(*m, "C:\\") {
    m.PutFile(platform::JoinWindowsPath(m->SystemDirectory(), "pgpsdk.dll"), "library");
    loader.RegisterStandIn("pgpsdk.dll", [](const platform::LoadedFile&) {
      return std::make_unique<CountingToolkit>();
    });
    EXPECT_TRUE(binding.Load());
    toolkit = loader.StandInAs<CountingToolkit>(loader.LoadLibrary("pgpsdk.dll"));
  }
  testsupport::TestMachine m;
  platform::LibraryLoader loader;
  ToolkitBinding binding{loader};
  CountingToolkit* toolkit = nullptr;
};

TEST_F(BindingReleaseTest, ReadsAndWritesInTheToolkitsOrderAndMapsTheSelectors) {
  PrefBuffer buffer{};
  ASSERT_EQ(binding.ReadPreference(kSelectPrivateRing, buffer), kPgpOk);
  EXPECT_EQ(std::string(buffer.data()), "C:\\ring.pkr");
  EXPECT_EQ(toolkit->calls,
            (std::vector<std::string>{"PGPsdkInit", "PGPNewContext", "PGPOpenDefaultKeyRings",
                                      "PGPsdkPrefGetFileSpec", "PGPGetFullPathFromFileSpec",
                                      "PGPFreeData", "PGPFreeFileSpec", "PGPFreeKeySet",
                                      "PGPFreeContext", "PGPsdkCleanup"}));
  EXPECT_EQ(toolkit->lastVersion, 0x2000010u);
  EXPECT_EQ(toolkit->lastFlags, 0u);
  toolkit->calls.clear();
  ASSERT_EQ(binding.WritePreference("C:\\x", kSelectData), kPgpOk);
  EXPECT_EQ(toolkit->calls,
            (std::vector<std::string>{"PGPsdkInit", "PGPNewContext", "PGPOpenDefaultKeyRings",
                                      "PGPNewFileSpecFromFullPath", "PGPsdkPrefSetData",
                                      "PGPsdkSavePrefs", "PGPFreeFileSpec", "PGPFreeKeySet",
                                      "PGPFreeContext", "PGPsdkCleanup"}));
  EXPECT_EQ(toolkit->lastSize, 5u);  // the text and its NUL
  for (const auto& [selector, pref] :
       std::vector<std::pair<int, std::uint32_t>>{{1, 1}, {2, 2}, {4, 0}, {0, 0}, {9, 0}}) {
    ASSERT_EQ(binding.WritePreference("C:\\x", selector), kPgpOk);
    EXPECT_EQ(toolkit->lastPref, pref) << "selector " << selector;
    ASSERT_EQ(binding.ReadPreference(selector, buffer), kPgpOk);
    EXPECT_EQ(toolkit->lastPref, pref) << "selector " << selector;
  }
  EXPECT_EQ(toolkit->Open(), 0u);
}

TEST_F(BindingReleaseTest, EveryFailingStepFreesWhatWasOpenedAndKeepsTheBuffer) {
  const std::vector<std::string> steps = {"PGPsdkInit",
                                          "PGPNewContext",
                                          "PGPOpenDefaultKeyRings",
                                          "PGPsdkPrefGetFileSpec",
                                          "PGPGetFullPathFromFileSpec",
                                          "PGPsdkPrefGetData",
                                          "PGPNewFileSpecFromFullPath",
                                          "PGPsdkPrefSetFileSpec",
                                          "PGPsdkPrefSetData",
                                          "PGPsdkSavePrefs",
                                          "PGPGenerateKey"};
  for (const std::string& step : steps) {
    toolkit->failAt = step;
    for (int selector : {kSelectPrivateRing, kSelectData, kSelectPublicRing}) {
      PrefBuffer buffer{};
      buffer[0] = 'k';
      const PgpStatus read = binding.ReadPreference(selector, buffer);
      if (read != kPgpOk) {
        EXPECT_EQ(read, kPgpFileError);
        EXPECT_EQ(buffer[0], 'k') << step;
      }
      const PgpStatus written = binding.WritePreference("C:\\x", selector);
      EXPECT_TRUE(written == kPgpOk || written == kPgpFileError);
      EXPECT_EQ(toolkit->Open(), 0u) << "after " << step << ", selector " << selector;
    }
    const bool used = step == "PGPsdkInit" || step == "PGPNewContext" ||
                      step == "PGPOpenDefaultKeyRings" || step == "PGPGenerateKey";
    EXPECT_EQ(binding.MakeKeyPair("A <a@x>", "p", 365).has_value(), !used) << step;
    EXPECT_EQ(toolkit->Open(), 0u) << "after key generation failing at " << step;
  }
}

}  // namespace
}  // namespace nimbra::pgp
