// Keys and values through Registry and RegKey: types, text conversion,
// case, links, predefined roots, deletion and moves.

#include <gtest/gtest.h>

#include "platform/registry/registry.h"
#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

using testsupport::ReadText;
using testsupport::TempFolder;
using testsupport::WriteText;

class RegistryApi : public ::testing::Test {
 protected:
  RegKey Key(RootKey root, std::string_view path) {
    std::optional<RegKey> key = registry_->OpenKey(root, path, true);
    EXPECT_TRUE(key.has_value());
    return *key;
  }
  // Saves, then loads the folder again as a fresh registry.
  void Reopen() {
    registry_->Flush();
    registry_ = std::make_unique<Registry>(folder_.Path());
  }

  TempFolder folder_;
  std::unique_ptr<Registry> registry_ = std::make_unique<Registry>(folder_.Path());
};

TEST_F(RegistryApi, EveryTypeSurvivesSaveAndLoad) {
  RegKey key = Key(RootKey::CurrentUser, "Software\\Types");
  key.WriteString("", "default");
  key.WriteString("s", "text with \"quotes\", \\ and \t tab");
  key.WriteExpandString("e", "%SystemRoot%\\x");
  key.WriteInteger("i", -2);
  key.WriteBinary("b", {0, 1, 0xfe, 0xff});
  key.WriteBinary("nothing", {});
  key.WriteMultiString("m", {"one", "two"});
  key.WriteMultiString("m0", {});
  key.WriteRaw("q", RegValue{RegType::QWord, {1, 2, 3, 4, 5, 6, 7, 8}});
  Reopen();
  key = Key(RootKey::CurrentUser, "Software\\Types");
  EXPECT_EQ(key.ReadString(""), "default");
  EXPECT_EQ(key.ReadString("s"), "text with \"quotes\", \\ and \t tab");
  EXPECT_EQ(key.ReadString("e"), "%SystemRoot%\\x");
  EXPECT_EQ(key.GetValueType("e"), RegType::ExpandString);
  EXPECT_EQ(key.ReadInteger("i"), -2);
  EXPECT_EQ(key.ReadBinary("b"), (std::vector<std::uint8_t>{0, 1, 0xfe, 0xff}));
  EXPECT_TRUE(key.ReadBinary("nothing").empty());
  EXPECT_EQ(key.ReadMultiString("m"), (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(key.ReadMultiString("m0").empty());
  EXPECT_EQ(key.ReadBinary("q"), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(key.ValueNames(),
            (std::vector<std::string>{"", "b", "e", "i", "m", "m0", "nothing", "q", "s"}));
  const std::string file = ReadText(folder_ / "user.reg");
  EXPECT_NE(file.find("\"i\"=dword:fffffffe\n"), std::string::npos);
  EXPECT_NE(file.find("\"m\"=str(7):\"one\\0two\\0\"\n"), std::string::npos);
  EXPECT_NE(file.find("\"s\"=\"text with \\\"quotes\\\", \\\\ and \\t tab\"\n"), std::string::npos);
}

TEST_F(RegistryApi, ReadsRefuseMissingValuesAndOtherTypes) {
  RegKey key = Key(RootKey::CurrentUser, "Software\\T");
  key.WriteString("s", "1");
  key.WriteInteger("i", 1);
  key.WriteBinary("b", {'@'});
  key.WriteRaw("short", RegValue{RegType::DWord, {1, 2}});
  EXPECT_THROW(key.ReadString("missing"), ERegistryException);
  EXPECT_THROW(key.ReadInteger("missing"), ERegistryException);
  EXPECT_THROW(key.GetValueType("missing"), ERegistryException);
  EXPECT_THROW(key.ReadString("i"), ERegistryException);
  EXPECT_THROW(key.ReadString("b"), ERegistryException);
  EXPECT_THROW(key.ReadInteger("s"), ERegistryException);
  EXPECT_THROW(key.ReadInteger("short"), ERegistryException);
  EXPECT_THROW(key.ReadBinary("s"), ERegistryException);
  EXPECT_THROW(key.ReadMultiString("s"), ERegistryException);
  try {
    key.ReadInteger("s");
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 's'");
  }
  // A string stops at its first NUL, as Windows hands it to ANSI callers.
  key.WriteRaw("nul", RegValue{RegType::String, {'a', 0, 0, 0, 'b', 0, 0, 0}});
  EXPECT_EQ(key.ReadString("nul"), "a");
  EXPECT_TRUE(key.DeleteValue("S"));
  EXPECT_FALSE(key.DeleteValue("s"));
  EXPECT_FALSE(key.ValueExists("s"));
}

TEST_F(RegistryApi, AnsiTextMapsToUtf16Exactly) {
  // All 255 non-NUL bytes survive; non-ASCII goes to the file as \x escapes.
  std::string every;
  for (int b = 1; b < 256; ++b) every.push_back(static_cast<char>(b));
  RegKey key = Key(RootKey::CurrentUser, "Software\\Jos\xe9");
  key.WriteString("all", every);
  key.WriteString("name", "Jos\xe9 \x80");
  Reopen();
  key = Key(RootKey::CurrentUser, "software\\JOS\xc9");  // Latin-1 letters fold too
  EXPECT_EQ(key.ReadString("all"), every);
  const std::string file = ReadText(folder_ / "user.reg");
  EXPECT_NE(file.find("[Software\\\\Jos\\xe9]"), std::string::npos);
  EXPECT_NE(file.find("\"name\"=\"Jos\\xe9 \\x20ac\"\n"), std::string::npos);
  for (unsigned char c : file) EXPECT_LT(c, 0x80);

  // A character outside Windows-1252 reads back as '?'.
  key.WriteRaw("greek", RegValue{RegType::String, {0xa9, 0x03, 'x', 0, 0, 0}});
  EXPECT_EQ(key.ReadString("greek"), "?x");
}

TEST_F(RegistryApi, NamesMatchWithoutCaseAndKeepTheirCase) {
  RegKey key = Key(RootKey::LocalMachine, "Software\\NimbraPost\\Current Version");
  key.WriteString("InstallDir", "C:\\A");
  key.WriteString("INSTALLDIR", "C:\\B");  // same value, first spelling kept
  EXPECT_EQ(key.ValueNames(), std::vector<std::string>{"InstallDir"});
  std::optional<RegKey> again =
      registry_->OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\nimbrapost\\CURRENT VERSION\\", false);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->ReadString("installdir"), "C:\\B");
  std::optional<RegKey> software = registry_->OpenKey(RootKey::LocalMachine, "software", false);
  EXPECT_EQ(software->SubkeyNames(), std::vector<std::string>{"NimbraPost"});
  EXPECT_FALSE(registry_->KeyExists(RootKey::LocalMachine, "Software\\Missing"));
  EXPECT_FALSE(registry_->OpenKey(RootKey::LocalMachine, "Software\\Missing", false));
}

TEST_F(RegistryApi, PredefinedRootsAndLinks) {
  // CurrentControlSet is a link to ControlSet001 (made as Wine makes it).
  Key(RootKey::LocalMachine, "System\\CurrentControlSet\\Services\\Tcpip\\Parameters")
      .WriteString("NameServer", "192.0.2.53");
  EXPECT_EQ(Key(RootKey::LocalMachine, "SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters")
                .ReadString("NameServer"),
            "192.0.2.53");
  Key(RootKey::CurrentConfig, "Software").WriteInteger("x", 7);
  EXPECT_EQ(
      Key(RootKey::LocalMachine, "System\\ControlSet001\\Hardware Profiles\\Current\\Software")
          .ReadInteger("x"),
      7);
  Key(RootKey::ClassesRoot, ".npk").WriteString("", "NimbraPost.Key");
  EXPECT_EQ(Key(RootKey::LocalMachine, "Software\\Classes\\.NPK").ReadString(""), "NimbraPost.Key");
  Key(RootKey::Users, "S-1-5-21-0-0-0-1000\\Environment").WriteString("TEMP", "t");
  EXPECT_EQ(Key(RootKey::CurrentUser, "Environment").ReadString("TEMP"), "t");
  EXPECT_FALSE(registry_->OpenKey(RootKey::Users, ".Default", false));
  EXPECT_THROW(registry_->OpenKey(RootKey::Users, ".Default\\X", true), ERegistryException);

  Reopen();
  const std::string system = ReadText(folder_ / "system.reg");
  EXPECT_NE(system.find("[System\\\\ControlSet001\\\\Services\\\\Tcpip\\\\Parameters]"),
            std::string::npos);
  EXPECT_NE(system.find("[System\\\\CurrentControlSet] "), std::string::npos);
  EXPECT_NE(system.find("#link\n\"SymbolicLinkValue\"=hex(6):5c,00,52,00"), std::string::npos);
  EXPECT_EQ(system.find("CurrentControlSet\\\\"), std::string::npos);
  EXPECT_EQ(Key(RootKey::LocalMachine, "System\\CurrentControlSet\\Services\\Tcpip\\Parameters")
                .ReadString("NameServer"),
            "192.0.2.53");

  // A link pointing at itself: resolution gives up instead of looping.
  RegKey loop = Key(RootKey::LocalMachine, "Software\\Loop");
  std::vector<std::uint8_t> target;
  for (char c : std::string_view("\\Registry\\Machine\\Software\\Loop")) {
    target.insert(target.end(), {static_cast<std::uint8_t>(c), 0});
  }
  loop.WriteRaw("SymbolicLinkValue", RegValue{RegType::Link, target});
  registry_->Flush();
  std::string text = ReadText(folder_ / "system.reg");
  const std::size_t at = text.find("\n", text.find("#time=", text.find("[Software\\\\Loop]")));
  text.insert(at + 1, "#link\n");
  WriteText(folder_ / "system.reg", text);
  registry_ = std::make_unique<Registry>(folder_.Path());
  EXPECT_FALSE(registry_->OpenKey(RootKey::LocalMachine, "Software\\Loop\\X", false));
  EXPECT_THROW(registry_->OpenKey(RootKey::LocalMachine, "Software\\Loop\\X", true),
               ERegistryException);
  EXPECT_TRUE(registry_->DeleteKey(RootKey::LocalMachine, "Software\\Loop"));
}

TEST_F(RegistryApi, DeletingKeysWithSubkeys) {
  RegKey product = Key(RootKey::CurrentUser, "Software\\NimbraPost");
  product.OpenSubkey("A\\B\\C", true)->WriteString("v", "1");
  product.OpenSubkey("D", true);
  RegKey deep = *product.OpenSubkey("a\\b", false);
  EXPECT_TRUE(product.HasSubkeys());
  EXPECT_TRUE(product.DeleteSubkey("A"));
  EXPECT_FALSE(product.SubkeyExists("A\\B\\C"));
  EXPECT_THROW(deep.ReadString("v"), ERegistryException);  // handle to a deleted key
  EXPECT_THROW(deep.WriteString("v", "x"), ERegistryException);
  EXPECT_FALSE(product.DeleteSubkey("A"));
  EXPECT_TRUE(registry_->DeleteKey(RootKey::CurrentUser, "\\Software\\NimbraPost"));
  EXPECT_THROW(product.SubkeyNames(), ERegistryException);
  EXPECT_FALSE(registry_->DeleteKey(RootKey::CurrentUser, "Software\\NimbraPost"));
  EXPECT_THROW(registry_->DeleteKey(RootKey::CurrentUser, ""), ERegistryException);
  Key(RootKey::ClassesRoot, ".npk");
  EXPECT_THROW(registry_->DeleteKey(RootKey::ClassesRoot, "\\"), ERegistryException);
  EXPECT_THROW(registry_->DeleteKey(RootKey::Users, kUserSid), ERegistryException);
  EXPECT_TRUE(registry_->KeyExists(RootKey::ClassesRoot, ".npk"));
  // Re-creating the key gives working handles again.
  Key(RootKey::CurrentUser, "Software\\NimbraPost\\A\\B").WriteString("v", "2");
  EXPECT_EQ(Key(RootKey::CurrentUser, "Software\\NimbraPost\\A\\B").ReadString("v"), "2");
  // Deleting the link key removes the link, not what it points to.
  Key(RootKey::LocalMachine, "System\\CurrentControlSet\\Services").WriteString("v", "1");
  EXPECT_TRUE(registry_->DeleteKey(RootKey::LocalMachine, "System\\CurrentControlSet"));
  EXPECT_TRUE(registry_->KeyExists(RootKey::LocalMachine, "System\\ControlSet001\\Services"));
}

TEST_F(RegistryApi, MovingSubkeysCarriesValuesAndSubkeys) {
  RegKey pop3 = Key(RootKey::CurrentUser, "Software\\Mail\\POP3");
  pop3.OpenSubkey("pop.example.net", true)->WriteBinary("Password", {1, 2, 3});
  pop3.OpenSubkey("pop.example.net\\Sub", true)->WriteInteger("x", 5);
  RegKey old_handle = *pop3.OpenSubkey("pop.example.net", false);
  EXPECT_TRUE(pop3.MoveSubkey("pop.example.net", "127.0.2.1"));
  EXPECT_FALSE(pop3.SubkeyExists("pop.example.net"));
  EXPECT_EQ(pop3.OpenSubkey("127.0.2.1", false)->ReadBinary("Password"),
            (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(pop3.OpenSubkey("127.0.2.1\\Sub", false)->ReadInteger("x"), 5);
  EXPECT_THROW(old_handle.ValueNames(), ERegistryException);
  EXPECT_FALSE(pop3.MoveSubkey("missing", "other"));
  pop3.OpenSubkey("taken", true);
  EXPECT_FALSE(pop3.MoveSubkey("127.0.2.1", "TAKEN"));
  EXPECT_TRUE(pop3.MoveSubkey("127.0.2.1", "127.0.2.1"));  // same key: nothing lost
  EXPECT_THROW(pop3.MoveSubkey("taken", "taken\\inner"), ERegistryException);
  EXPECT_TRUE(pop3.MoveSubkey("TAKEN", "Taken"));  // a change of case only
  EXPECT_EQ(pop3.SubkeyNames(), (std::vector<std::string>{"127.0.2.1", "Taken"}));
}

TEST_F(RegistryApi, TimeStampsAndFlushOnlyChangedHives) {
  WriteText(folder_ / "user.reg",
            "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
            "#arch=win64\n\n[Old] 946684800\n#time=1bf53eb256d4000\n\"v\"=\"1\"\n");
  registry_ = std::make_unique<Registry>(folder_.Path());
  RegKey old_key = Key(RootKey::CurrentUser, "Old");
  EXPECT_EQ(old_key.LastWriteTime(), 946684800);
  EXPECT_EQ(old_key.ReadString("v"), "1");
  EXPECT_FALSE(registry_->Modified());  // reading and opening change nothing
  Key(RootKey::LocalMachine, "Software\\New").WriteString("v", "1");
  EXPECT_TRUE(registry_->Modified());
  registry_->Flush();
  EXPECT_FALSE(registry_->Modified());
  // user.reg untouched (the older header comment stays as it was);
  // a new system.reg takes the sibling's architecture.
  EXPECT_NE(ReadText(folder_ / "user.reg").find(";; All keys relative to \\\\User"),
            std::string::npos);
  const std::string system = ReadText(folder_ / "system.reg");
  EXPECT_EQ(system.rfind("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
                         "#arch=win64\n",
                         0),
            0u);
  old_key.WriteString("w", "2");
  EXPECT_GE(old_key.LastWriteTime(), 1700000000);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "userdef.reg"));
}

TEST_F(RegistryApi, SeesFilesRewrittenByOthersAndMergesWithThemOnSaving) {
  RegKey mine = Key(RootKey::CurrentUser, "Software\\Shared");
  mine.WriteString("v", "mine");
  registry_->Flush();
  {
    Registry other(folder_.Path());  // another process, in effect
    other.OpenKey(RootKey::CurrentUser, "Software\\Shared", false)->WriteString("v", "other");
    other.OpenKey(RootKey::CurrentUser, "Software\\Other", true);
    other.Flush();
  }
  EXPECT_TRUE(registry_->KeyExists(RootKey::CurrentUser, "Software\\Other"));
  EXPECT_EQ(mine.ReadString("v"), "other");  // the handle follows the new content
  // With unsaved changes of our own, the file is read again only by our save,
  // which keeps the other writer's changes beside ours.
  mine.WriteString("w", "1");
  {
    Registry other(folder_.Path());
    other.DeleteKey(RootKey::CurrentUser, "Software\\Other");
    other.Flush();
  }
  EXPECT_TRUE(registry_->KeyExists(RootKey::CurrentUser, "Software\\Other"));
  registry_->Flush();
  EXPECT_FALSE(registry_->KeyExists(RootKey::CurrentUser, "Software\\Other"));
  Registry reread(folder_.Path());
  EXPECT_FALSE(reread.KeyExists(RootKey::CurrentUser, "Software\\Other"));
  EXPECT_EQ(reread.OpenKey(RootKey::CurrentUser, "Software\\Shared", false)->ReadString("w"), "1");
}

TEST(RegistryRootNames, ParseLongAndShortNames) {
  EXPECT_EQ(ParseRootKey("HKEY_LOCAL_MACHINE"), RootKey::LocalMachine);
  EXPECT_EQ(ParseRootKey("hklm"), RootKey::LocalMachine);
  EXPECT_EQ(ParseRootKey("HKEY_Classes_Root"), RootKey::ClassesRoot);
  EXPECT_EQ(ParseRootKey("HKCU"), RootKey::CurrentUser);
  EXPECT_EQ(ParseRootKey("HKU"), RootKey::Users);
  EXPECT_EQ(ParseRootKey("HKCC"), RootKey::CurrentConfig);
  EXPECT_EQ(ParseRootKey("HKEY_DYN_DATA"), std::nullopt);
  EXPECT_EQ(ParseRootKey(""), std::nullopt);
  EXPECT_EQ(RootKeyName(RootKey::CurrentConfig), "HKEY_CURRENT_CONFIG");
  EXPECT_EQ(RegTypeName(RegType::MultiString), "REG_MULTI_SZ");
  EXPECT_EQ(RegTypeName(static_cast<RegType>(0x20)), "REG_0x20");
}

}  // namespace
}  // namespace nimbra::platform
