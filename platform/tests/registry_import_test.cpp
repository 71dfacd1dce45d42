// Registry editor files (.reg) in, REGEDIT4 out, and `reg query` text.

#include <gtest/gtest.h>

#include "platform/registry/registry.h"
#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

using testsupport::TempFolder;

std::string Utf16File(std::u16string_view text) {
  std::string out = "\xff\xfe";
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xff));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

class RegistryImport : public ::testing::Test {
 protected:
  RegKey Key(RootKey root, std::string_view path) {
    std::optional<RegKey> key = registry_.OpenKey(root, path, false);
    if (!key) throw std::runtime_error("missing key " + std::string(path));
    return *key;
  }
  TempFolder folder_;
  Registry registry_{folder_.Path()};
};

TEST_F(RegistryImport, Regedit4) {
  registry_.OpenKey(RootKey::CurrentUser, "Software\\Old\\Sub", true)->WriteString("x", "1");
  registry_.OpenKey(RootKey::CurrentUser, "Software\\Keep", true)->WriteString("gone", "1");
  ImportRegFile(registry_,
                "REGEDIT4\r\n\r\n"
                "; a comment\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\NimbraPost\\Current Version]\r\n"
                "@=\"default\"\r\n"
                "\"exePath\"=\"C:\\\\Program Files\\\\NimbraPost\\\\\"\r\n"
                "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
                "\"Name\"=\"Jos\xe9\"\r\n"
                "\"ThirdPartyAuth\"=dword:00000001\r\n"
                "\"Bin\"=hex:de,ad,\\\r\n"
                "  be,ef\r\n"
                "\"Path\"=hex(2):25,41,25,00\r\n"
                "\"List\"=hex(7):61,00,62,00,00\r\n"
                "\r\n"
                "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
                "\"ignored\"=\"after a deletion\"\r\n"
                "\r\n"
                "[HKEY_CURRENT_USER\\Software\\Keep]\r\n"
                "\"gone\"=-\r\n"
                "[HKEY_CLASSES_ROOT\\.vrx]\r\n"
                "@=\"VRXFile\"\r\n");
  RegKey product = Key(RootKey::LocalMachine, "Software\\NimbraPost\\Current Version");
  EXPECT_EQ(product.ReadString(""), "default");
  EXPECT_EQ(product.ReadString("exePath"), "C:\\Program Files\\NimbraPost\\");
  EXPECT_EQ(product.ReadString("Quote"), "say \"hi\"");
  EXPECT_EQ(product.ReadString("Name"), "Jos\xe9");
  EXPECT_EQ(product.ReadInteger("ThirdPartyAuth"), 1);
  EXPECT_EQ(product.ReadBinary("Bin"), (std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef}));
  EXPECT_EQ(product.GetValueType("Path"), RegType::ExpandString);
  EXPECT_EQ(product.ReadString("Path"), "%A%");
  EXPECT_EQ(product.ReadMultiString("List"), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(registry_.KeyExists(RootKey::CurrentUser, "Software\\Old"));
  EXPECT_TRUE(Key(RootKey::CurrentUser, "Software\\Keep").ValueNames().empty());
  EXPECT_EQ(Key(RootKey::LocalMachine, "Software\\Classes\\.VRX").ReadString(""), "VRXFile");
}

TEST_F(RegistryImport, Version5Utf16) {
  ImportRegFile(registry_, Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                     u"[HKEY_CURRENT_USER\\Software\\U]\r\n"
                                     u"\"Name\"=\"Jos\u00e9 \u20ac\"\r\n"
                                     u"\"Exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                                     u"\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"));
  RegKey key = Key(RootKey::CurrentUser, "Software\\U");
  EXPECT_EQ(key.ReadString("Name"), "Jos\xe9 \x80");
  EXPECT_EQ(key.ReadString("Exp"), "%A%");
  EXPECT_EQ(key.GetValueType("q"), RegType::QWord);
  // The same content as UTF-8 without a byte order mark.
  ImportRegFile(
      registry_,
      "Windows Registry Editor Version 5.00\n[HKCU\\Software\\V]\n\"N\"=\"Jos\xc3\xa9\"\n");
  EXPECT_EQ(Key(RootKey::CurrentUser, "Software\\V").ReadString("N"), "Jos\xe9");
}

TEST_F(RegistryImport, BadFilesChangeNothing) {
  struct Case {
    std::string text;
    int line;
  };
  // 511 keys below HKEY_CLASSES_ROOT lie 513 deep in the machine's hive.
  std::string deep = "[HKEY_CLASSES_ROOT";
  for (int i = 0; i < 511; ++i) deep += "\\k";
  const Case cases[] = {
      {"REGEDIT5\r\n[HKEY_CURRENT_USER\\A]\r\n", 1},
      {"", 0},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"1\"\r\n[HKEY_NOWHERE\\B]\r\n", 4},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"unterminated\r\n", 3},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=dword:xyz\r\n", 3},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:01,02,\\\r\n", 3},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:01,gg\r\n", 3},
      {"REGEDIT4\r\n\"v\"=\"1\"\r\n", 2},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A\r\n", 2},
      {"REGEDIT4\r\n[HKEY_USERS\\.DEFAULT\\A]\r\n", 2},
      {"REGEDIT4\r\n[-HKEY_CURRENT_USER]\r\n", 2},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\nstray text\r\n", 3},
      // Keys the registry cannot hold are refused before anything is written.
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n[HKEY_CURRENT_USER\\B\\" + std::string(256, 'k') +
           "]\r\n",
       3},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n" + deep + "]\r\n", 3},
  };
  for (const Case& c : cases) {
    try {
      ImportRegFile(registry_, c.text, "Update.reg");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ERegistryFormatError& e) {
      EXPECT_EQ(e.File(), "Update.reg");
      EXPECT_EQ(e.Line(), c.line) << c.text << e.what();
    }
    EXPECT_FALSE(registry_.KeyExists(RootKey::CurrentUser, "A")) << c.text;
  }
  EXPECT_FALSE(registry_.Modified());
}

TEST_F(RegistryImport, ExportImportsBackToTheSameValues) {
  std::optional<RegKey> key = registry_.OpenKey(RootKey::CurrentUser, "Software\\E", true);
  key->WriteString("", "d");
  key->WriteString("s", "a \"b\" \\c\\ \xe9");
  key->WriteString("crlf", "line1\r\nline2");
  key->WriteExpandString("e", "%X%");
  key->WriteInteger("i", 0x2a);
  key->WriteMultiString("m", {"x", "y"});
  std::vector<std::uint8_t> big(100);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
  key->WriteBinary("big", big);
  key->OpenSubkey("Child", true)->WriteString("c", "1");
  const std::string exported = ExportKey(registry_, RootKey::CurrentUser, "Software\\E");
  EXPECT_EQ(exported.rfind("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\E]\r\n@=\"d\"\r\n", 0),
            0u);
  EXPECT_NE(exported.find("\"i\"=dword:0000002a\r\n"), std::string::npos);
  EXPECT_NE(exported.find("\"e\"=hex(2):25,58,25,00\r\n"), std::string::npos);
  EXPECT_NE(exported.find("[HKEY_CURRENT_USER\\Software\\E\\Child]\r\n\"c\"=\"1\"\r\n"),
            std::string::npos);

  TempFolder other_folder;
  Registry other(other_folder.Path());
  ImportRegFile(other, exported);
  std::optional<RegKey> copy = other.OpenKey(RootKey::CurrentUser, "Software\\E", false);
  ASSERT_TRUE(copy.has_value());
  EXPECT_EQ(copy->ValueNames(), key->ValueNames());
  for (const std::string& name : key->ValueNames()) {
    EXPECT_EQ(copy->GetValueType(name), key->GetValueType(name)) << name;
    EXPECT_EQ(copy->ReadRaw(name).data, key->ReadRaw(name).data) << name;
  }
  EXPECT_EQ(copy->OpenSubkey("child", false)->ReadString("c"), "1");
  EXPECT_THROW(ExportKey(registry_, RootKey::CurrentUser, "Software\\Missing"), ERegistryException);
}

TEST_F(RegistryImport, QueryPrintsLikeRegQuery) {
  std::optional<RegKey> key = registry_.OpenKey(RootKey::CurrentUser, "Software\\T", true);
  key->WriteString("", "def");
  key->WriteBinary("b", {1, 2, 0xab});
  key->WriteInteger("d", 42);
  key->WriteExpandString("e", "%PATH%x");
  key->WriteMultiString("m", {"a", "b"});
  key->WriteRaw("q", RegValue{RegType::QWord, {5, 0, 0, 0, 0, 0, 0, 0}});
  key->OpenSubkey("Sub", true);
  EXPECT_EQ(QueryKey(registry_, RootKey::CurrentUser, "Software\\T"),
            "\r\nHKEY_CURRENT_USER\\Software\\T\r\n"
            "    (Default)    REG_SZ    def\r\n"
            "    b    REG_BINARY    0102AB\r\n"
            "    d    REG_DWORD    0x2a\r\n"
            "    e    REG_EXPAND_SZ    %PATH%x\r\n"
            "    m    REG_MULTI_SZ    a\\0b\r\n"
            "    q    REG_QWORD    0x5\r\n"
            "\r\n"
            "HKEY_CURRENT_USER\\Software\\T\\Sub\r\n");
  EXPECT_EQ(QueryKey(registry_, RootKey::CurrentUser, "software\\t", "D"),
            "\r\nHKEY_CURRENT_USER\\software\\t\r\n    D    REG_DWORD    0x2a\r\n\r\n");
  EXPECT_EQ(QueryKey(registry_, RootKey::CurrentUser, "Software"),
            "\r\nHKEY_CURRENT_USER\\Software\\T\r\n");
  EXPECT_THROW(QueryKey(registry_, RootKey::CurrentUser, "Software\\T", "nope"),
               ERegistryException);
  EXPECT_THROW(QueryKey(registry_, RootKey::CurrentUser, "Software\\None"), ERegistryException);
}

}  // namespace
}  // namespace nimbra::platform
