#include <gtest/gtest.h>

#include "pgp/tests/pgp_fixture.h"
#include "pgp/toolkit_prefs.h"

namespace nimbra::pgp::testing {
namespace {

TEST_F(ToolkitTest, LoadsOnlyWhenTheLibraryFileExistsAndOnce) {
  EXPECT_FALSE(binding->Load());
  EXPECT_FALSE(binding->Available());
  EXPECT_EQ(Read(kSelectPrivateRing, kPgpNotInitialized), "");
  InstallLibrary();
  EXPECT_TRUE(binding->Load());
  EXPECT_TRUE(binding->Load());
  EXPECT_TRUE(binding->Available());
  // One load held by the binding, one taken here.
  const platform::ModuleHandle module = loader.LoadLibrary("pgpsdk.dll");
  EXPECT_EQ(loader.LoadCount(module), 2);
  loader.FreeLibrary(module);
}

TEST_F(ToolkitTest, PreferencesRoundTripThroughTheToolkitsFile) {
  InstallLibrary();
  ASSERT_TRUE(binding->Load());
  // Nothing set yet: the caller's buffer stays as it was.
  PrefBuffer buffer{};
  buffer[0] = 'x';
  EXPECT_EQ(binding->ReadPreference(kSelectPrivateRing, buffer), kPgpPrefNotFound);
  EXPECT_EQ(buffer[0], 'x');

  EXPECT_EQ(binding->WritePreference("C:\\Data\\secring.pkr", kSelectPrivateRing), kPgpOk);
  EXPECT_EQ(binding->WritePreference("C:\\Prog\\randseed.bin", kSelectRandomSeed), kPgpOk);
  EXPECT_EQ(binding->WritePreference("C:\\Data\\pubring.pkr", kSelectPublicRing), kPgpOk);
  EXPECT_EQ(binding->WritePreference("some data", kSelectData), kPgpOk);
  EXPECT_EQ(Read(kSelectPrivateRing), "C:\\Data\\secring.pkr");
  EXPECT_EQ(Read(kSelectRandomSeed), "C:\\Prog\\randseed.bin");
  EXPECT_EQ(Read(kSelectPublicRing), "C:\\Data\\pubring.pkr");
  EXPECT_EQ(Read(kSelectData), "some data");
  // Every selector but 1, 2 and 3 is the public key ring.
  EXPECT_EQ(Read(0), "C:\\Data\\pubring.pkr");
  EXPECT_EQ(Read(7), "C:\\Data\\pubring.pkr");

  const std::string file = m.ReadFile(ToolkitPrefs::FilePath(*m));
  EXPECT_NE(file.find("PublicKeyRing=C:\\Data\\pubring.pkr\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("PrivateKeyRing=C:\\Data\\secring.pkr\r\n"), std::string::npos);
  EXPECT_NE(file.find("RandomSeedFile=C:\\Prog\\randseed.bin\r\n"), std::string::npos);
  // The data preference keeps the NUL the page stores with the text.
  EXPECT_NE(file.find("Data=736F6D65206461746100\r\n"), std::string::npos);
  ToolkitLibrary* library = Library();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->OpenObjects(), 0u);
}

TEST_F(ToolkitTest, LongPathsAreCutAt259Characters) {
  InstallLibrary();
  ASSERT_TRUE(binding->Load());
  const std::string path = "C:\\" + std::string(300, 'a');
  ASSERT_EQ(binding->WritePreference(path, kSelectPrivateRing), kPgpOk);
  EXPECT_EQ(Read(kSelectPrivateRing), path.substr(0, 259));
  ASSERT_EQ(binding->WritePreference(path, kSelectData), kPgpOk);
  EXPECT_EQ(Read(kSelectData), path.substr(0, 259));
}

TEST_F(ToolkitTest, APreferencesFileThatIsNotOneReadsAsNothingSet) {
  InstallLibrary();
  ASSERT_TRUE(binding->Load());
  m.PutFile(ToolkitPrefs::FilePath(*m), "\x01\x02[Preferences]\r\nData=zz\r\nPublicKeyRing=\r\n");
  EXPECT_EQ(Read(kSelectPublicRing, kPgpPrefNotFound), "");
  EXPECT_EQ(Read(kSelectData, kPgpPrefNotFound), "");
  // Writing one preference keeps the file readable for the others.
  EXPECT_EQ(binding->WritePreference("C:\\a.pkr", kSelectPublicRing), kPgpOk);
  EXPECT_EQ(Read(kSelectPublicRing), "C:\\a.pkr");
}

TEST_F(ToolkitTest, MakesAKeyPairInTheRingsThePreferencesName) {
  InstallLibrary();
  ASSERT_TRUE(binding->Load());
  // Without rings named there is nowhere to put a key.
  EXPECT_EQ(binding->MakeKeyPair("Ann <ann@x.example>", "pass", 365), std::nullopt);
  ASSERT_EQ(binding->WritePreference("C:\\Data\\secring.pkr", kSelectPrivateRing), kPgpOk);
  ASSERT_EQ(binding->WritePreference("C:\\Data\\pubring.pkr", kSelectPublicRing), kPgpOk);
  const auto first = binding->MakeKeyPair("Ann <ann@x.example>", "pass", 365);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size(), 16u);
  EXPECT_EQ(first->find_first_not_of("0123456789ABCDEF"), std::string::npos) << *first;
  // A second key joins the first in the same rings.
  const auto second = binding->MakeKeyPair("Bob <bob@x.example>", "other", 30);
  ASSERT_TRUE(second);
  EXPECT_NE(*first, *second);
  EXPECT_EQ(Library()->OpenObjects(), 0u);

  if (!testsupport::OnPath("gpg"))
    GTEST_SKIP() << "gpg is not installed: the rings are not checked";
  const auto listed = ListWithGpg(*m->HostPath("C:\\Data\\pubring.pkr"));
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].keyId, *first);
  EXPECT_EQ(listed[0].userId, "Ann <ann@x.example>");
  EXPECT_EQ(listed[1].keyId, *second);
}

TEST_F(ToolkitTest, ADamagedKeyRingIsKeptAndNoKeyIsMade) {
  InstallLibrary();
  ASSERT_TRUE(binding->Load());
  ASSERT_EQ(binding->WritePreference("C:\\Data\\secring.pkr", kSelectPrivateRing), kPgpOk);
  ASSERT_EQ(binding->WritePreference("C:\\Data\\pubring.pkr", kSelectPublicRing), kPgpOk);
  m.PutFile("C:\\Data\\pubring.pkr", "not a key ring");
  EXPECT_EQ(binding->MakeKeyPair("Ann <ann@x.example>", "pass", 365), std::nullopt);
  EXPECT_EQ(m.ReadFile("C:\\Data\\pubring.pkr"), "not a key ring");
  EXPECT_FALSE(m->FileExists("C:\\Data\\secring.pkr"));
}

}  // namespace
}  // namespace nimbra::pgp::testing
