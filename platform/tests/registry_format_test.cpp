// Wine's registry text format: exact output, escapes, wrapping, order and
// rejection of malformed files.

#include <gtest/gtest.h>

#include "platform/registry/reg_hive.h"
#include "platform/registry/registry.h"
#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

using testsupport::ReadText;
using testsupport::TempFolder;
using testsupport::WriteText;

constexpr char kSystemReg[] = R"(WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win32

[Software\\Classes\\.npk] 946684800
#time=1bf53eb256d4000
@="NimbraPost.Key"

[Software\\Classes\\NimbraPost.Key\\shell\\open\\command] 946684800
#time=1bf53eb256d4000
@="\"C:\\Program Files\\NimbraPost\\NimbraMGR.exe\" \"%1\""

[Software\\Microsoft\\Windows\\CurrentVersion\\Run] 946684800
#time=1bf53eb256d4000
"NimbraPost"="C:\\PROGRA~1\\NIMBRA~1\\NIMBRA~1.EXE"

[Software\\Wine\\Drives] 946684800
#time=1bf53eb256d4000
"a:"="floppy"
"d:"="cdrom"

[System\\ControlSet001\\Services\\Tcpip\\Parameters] 946684800
#time=1bf53eb256d4000
"DataBasePath"=str(2):"%SystemRoot%\\System32\\drivers\\etc"
"NameServer"="192.0.2.53"

[System\\CurrentControlSet] 946684800
#time=1bf53eb256d4000
#link
"SymbolicLinkValue"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,\
  00,5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,\
  74,00,65,00,6d,00,5c,00,43,00,6f,00,6e,00,74,00,72,00,6f,00,6c,00,53,00,65,\
  00,74,00,30,00,30,00,31,00
)";

constexpr char kUserDefReg[] = R"(WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\User\\.Default

#arch=win32

[Control Panel\\International] 946684800
#time=1bf53eb256d4000
"Bin"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\
  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27
"Locale"="00000409"
"sCountry"="United States"
"Sources"=str(7):"a\0b\0"

[Software\\Wine\\Empty] 946684800
#time=1bf53eb256d4000
)";

std::string RoundTrip(std::string_view text) {
  reg::HiveContent hive = reg::ParseHive(text, "test.reg");
  return reg::WriteHive(*hive.root, hive.comment, hive.arch);
}

// The body of a one-key hive as Wine writes it, for comparing value lines.
std::string ValueLines(const std::string& hive_text) {
  const std::size_t time = hive_text.find("#time=");
  return hive_text.substr(hive_text.find('\n', time) + 1);
}

TEST(RegistryFormat, WineFilesComeBackByteIdentical) {
  EXPECT_EQ(RoundTrip(kSystemReg), kSystemReg);
  EXPECT_EQ(RoundTrip(kUserDefReg), kUserDefReg);

  // Through the Registry class as well, with a value changed elsewhere:
  // untouched keys keep their lines and time stamps.
  TempFolder folder;
  WriteText(folder / "system.reg", kSystemReg);
  {
    Registry registry(folder.Path());
    registry.OpenKey(RootKey::LocalMachine, "Software\\Wine\\Drives", false)
        ->WriteString("n:", "network");
    registry.Flush();
  }
  std::string expected = kSystemReg;
  const std::string cdrom = "\"d:\"=\"cdrom\"\n";
  expected.insert(expected.find(cdrom) + cdrom.size(), "\"n:\"=\"network\"\n");
  std::string written = ReadText(folder / "system.reg");
  // Only the changed key gets a new time.
  const std::size_t key = written.find("[Software\\\\Wine\\\\Drives] ");
  ASSERT_NE(key, std::string::npos);
  const std::size_t end = written.find('\n', written.find("#time=", key));
  written.replace(key, end - key, "[Software\\\\Wine\\\\Drives] 946684800\n#time=1bf53eb256d4000");
  EXPECT_EQ(written, expected);
}

TEST(RegistryFormat, ValueTypesAsWineWritesThem) {
  RegNode root;
  RegNode* key = root.AddSubkey(u"K", 0x1bf53eb256d4000ULL);
  auto bytes = [](std::initializer_list<int> list) {
    std::vector<std::uint8_t> out;
    for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
    return out;
  };
  key->SetValue(u"", 1, bytes({'x', 0, 0, 0}));
  key->SetValue(u"dw", 4, bytes({0x2a, 0, 0, 0}));
  key->SetValue(u"dw3", 4, bytes({1, 2, 3}));
  key->SetValue(u"empty", 3, {});
  key->SetValue(u"exp", 2, bytes({'%', 0, 'A', 0, 0, 0}));
  key->SetValue(u"multi", 7, bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
  key->SetValue(u"none", 0, bytes({0xab}));
  key->SetValue(u"odd", 1, bytes({'a', 0, 'b'}));
  key->SetValue(u"qword", 11, bytes({1, 0, 0, 0, 0, 0, 0, 0}));
  key->SetValue(u"unterminated", 1, bytes({'a', 0}));
  const std::string text = reg::WriteHive(root, ";;", "");
  EXPECT_EQ(ValueLines(text),
            "@=\"x\"\n"
            "\"dw\"=dword:0000002a\n"
            "\"dw3\"=hex(4):01,02,03\n"
            "\"empty\"=hex:\n"
            "\"exp\"=str(2):\"%A\"\n"
            "\"multi\"=str(7):\"a\\0b\\0\"\n"
            "\"none\"=hex(0):ab\n"
            "\"odd\"=hex(1):61,00,62\n"
            "\"qword\"=hex(b):01,00,00,00,00,00,00,00\n"
            "\"unterminated\"=hex(1):61,00\n");
  // And every one of them reads back to the same bytes.
  EXPECT_EQ(RoundTrip(text), text);
  reg::HiveContent parsed = reg::ParseHive(text, "t");
  const RegNode* k = parsed.root->FindSubkey(u"k");
  ASSERT_NE(k, nullptr);
  ASSERT_EQ(k->values.size(), key->values.size());
  for (std::size_t i = 0; i < k->values.size(); ++i) {
    EXPECT_EQ(k->values[i].type, key->values[i].type) << i;
    EXPECT_EQ(k->values[i].data, key->values[i].data) << i;
  }
}

TEST(RegistryFormat, EscapesFollowWine) {
  RegNode root;
  RegNode* key = root.AddSubkey(u"A[1]", 0x1bf53eb256d4000ULL);
  auto text16 = [](std::u16string s) {
    std::vector<std::uint8_t> out;
    for (char16_t c : s) {
      out.push_back(static_cast<std::uint8_t>(c));
      out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.insert(out.end(), {0, 0});
    return out;
  };
  key->SetValue(u"q\"b\\", 1, text16(u"say \"hi\" \\ end"));
  key->SetValue(u"ctl", 1,
                text16(u"\a\b\t\n\v\f\r\x1b|\x01x|\x01"
                       u"7|\x7f"));
  key->SetValue(u"hexes", 1, text16(u"\u00e9 \u00e9e\u00e9g\u20ac\xd83d\xde00"));
  const std::string text = reg::WriteHive(root, ";;", "");
  EXPECT_NE(text.find("\n[A\\[1\\]] "), std::string::npos);
  EXPECT_EQ(ValueLines(text),
            "\"ctl\"=\"\\a\\b\\t\\n\\v\\f\\r\\e|\\1x|\\0017|\x7f\"\n"
            "\"hexes\"=\"\\xe9 \\x00e9e\\xe9g\\x20ac\\xd83d\\xde00\"\n"
            "\"q\\\"b\\\\\"=\"say \\\"hi\\\" \\\\ end\"\n");
  EXPECT_EQ(RoundTrip(text), text);

  // Raw UTF-8 and the other escape spellings Wine reads.
  const std::string input =
      "WINE REGISTRY Version 2\n[K]\n\"v\"=\"Jos\xc3\xa9 \\x41\\101\\q\\xz\"\n";
  reg::HiveContent parsed = reg::ParseHive(input, "t");
  const RegNodeValue* v = parsed.root->FindSubkey(u"k")->FindValue(u"v");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->data, text16(u"Jos\u00e9 AAqxz"));
}

TEST(RegistryFormat, HexWrapsAfterColumn76AndReadsContinuations) {
  RegNode root;
  RegNode* key = root.AddSubkey(u"K", 0x1bf53eb256d4000ULL);
  std::vector<std::uint8_t> data;
  for (int i = 0; i < 40; ++i) data.push_back(static_cast<std::uint8_t>(i));
  key->SetValue(u"Bin", 3, data);
  EXPECT_EQ(ValueLines(reg::WriteHive(root, ";;", "")),
            "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
            "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\n");

  // CR LF line ends, blanks before "\" and any indentation are accepted.
  reg::HiveContent parsed = reg::ParseHive(
      "WINE REGISTRY Version 2\r\n[K]\r\n\"Bin\"=hex:00 , 01,\t\\\r\n\t\t02,\\\r\n03\r\n", "t");
  EXPECT_EQ(parsed.root->FindSubkey(u"k")->FindValue(u"bin")->data,
            (std::vector<std::uint8_t>{0, 1, 2, 3}));
}

TEST(RegistryFormat, WrittenKeysAndTheirOrder) {
  // Keys with subkeys but no values are implied; empty leaves are written;
  // siblings and values sort by lower-cased name.
  const std::string text = RoundTrip(
      "WINE REGISTRY Version 2\n;; c\n"
      "[Software\\\\NimbraPost.Key] 1\n\"x\"=\"1\"\n"
      "[Software\\\\CLSID\\\\Sub] 1\n"
      "[Software\\\\Classes\\\\_under] 1\n[Software\\\\Classes\\\\B] 1\n"
      "[Software\\\\.npk] 1\n\"Sources\"=\"\"\n\"sCountry\"=\"\"\n\"Bin\"=\"\"\n\"Locale\"=\"\"\n");
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    if (!line.empty() && (line[0] == '[' || line[0] == '"')) lines.push_back(line);
    start = end + 1;
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "[Software\\\\.npk] 1", "\"Bin\"=\"\"", "\"Locale\"=\"\"",
                       "\"sCountry\"=\"\"", "\"Sources\"=\"\"", "[Software\\\\Classes\\\\_under] 1",
                       "[Software\\\\Classes\\\\B] 1", "[Software\\\\CLSID\\\\Sub] 1",
                       "[Software\\\\NimbraPost.Key] 1", "\"x\"=\"1\""}));
}

TEST(RegistryFormat, TimeStampsAndKeyOptions) {
  const std::string text =
      "WINE REGISTRY Version 2\n#arch=win64\n"
      "[A] 946684800 0\n"  // older files carry a second number
      "[B]\n#time=1bf53eb256d4000\n#class=\"My \\\"class\\\"\"\n#unknown option\n"
      "  [C] 1000000000\n";
  reg::HiveContent hive = reg::ParseHive(text, "t");
  EXPECT_EQ(hive.arch, "win64");
  EXPECT_EQ(hive.root->FindSubkey(u"a")->modified, 0x1bf53eb256d4000ULL);
  EXPECT_EQ(*hive.root->FindSubkey(u"b")->key_class, u"My \"class\"");
  EXPECT_EQ(reg::WriteHive(*hive.root, ";; x", hive.arch),
            "WINE REGISTRY Version 2\n;; x\n\n#arch=win64\n"
            "\n[A] 946684800\n#time=1bf53eb256d4000\n"
            "\n[B] 946684800\n#time=1bf53eb256d4000\n#class=\"My \\\"class\\\"\"\n"
            "\n[C] 1000000000\n#time=1c138d144ff8000\n");
}

TEST(RegistryFormat, MalformedFilesNameFileAndLine) {
  struct Case {
    const char* text;
    int line;
    const char* what;
  };
  const Case cases[] = {
      {"", 0, "not a Wine registry file"},
      {"WINE REGISTRY Version 1\n", 1, "not a Wine registry file"},
      {"WINE REGISTRY Version 2\n#arch=win16\n", 2, "unknown architecture"},
      {"WINE REGISTRY Version 2\n\"v\"=\"x\"\n", 2, "value without key"},
      {"WINE REGISTRY Version 2\n[A\n", 2, "no closing ']'"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\"=\"x\n", 3, "unterminated string"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\" \"x\"\n", 3, "no '='"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\"=qword:1\n", 3, "unknown value type"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\"=dword:123456789\n", 3, "longer than 8"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\"=dword:\n", 3, "malformed dword"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\"=hex:1,2,zz\n", 3, "malformed hex"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\"=hex:100\n", 3, "over ff"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\"=hex(2:00\n", 3, "malformed value type"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\"=hex:00,\\\n", 3, "past the end"},
      {"WINE REGISTRY Version 2\n[A]\n\n!\n", 4, "unrecognized input"},
      {"WINE REGISTRY Version 2\n[A]\n\"v\\", 3, "unterminated value name"},
  };
  for (const Case& c : cases) {
    try {
      reg::ParseHive(c.text, "/m/system.reg");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ERegistryFormatError& e) {
      EXPECT_EQ(e.File(), "/m/system.reg");
      EXPECT_EQ(e.Line(), c.line) << c.text;
      EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("/m/system.reg:" + std::to_string(c.line) + ": ", 0),
                0u)
          << e.what();
    }
  }
  // Too deep a tree is refused instead of exhausting the stack later.
  std::string deep = "WINE REGISTRY Version 2\n[";
  for (int i = 0; i < 600; ++i) deep += "k\\\\";
  deep += "]\n";
  EXPECT_THROW(reg::ParseHive(deep, "t"), ERegistryFormatError);
}

TEST(RegistryFormat, DamagedHiveIsReadInPartAndKeptAsideBeforeItIsSaved) {
  TempFolder folder;
  const std::string damaged =
      "WINE REGISTRY Version 2\n[A]\n\"good\"=\"1\"\n\"v\"=\"x\n\"after\"=dword:00000002\n"
      "garbage\n[B\n\"lost\"=\"with its key\"\n[C]\n\"c\"=\"3\"\n";
  WriteText(folder / "user.reg", damaged);
  Registry registry(folder.Path());
  // What can be read is there; the damaged lines are not.
  auto a = registry.OpenKey(RootKey::CurrentUser, "A", false);
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->ReadString("good"), "1");
  EXPECT_FALSE(a->ValueExists("v"));
  EXPECT_EQ(a->ReadInteger("after"), 2);
  EXPECT_EQ(registry.OpenKey(RootKey::CurrentUser, "C", false)->ReadString("c"), "3");
  EXPECT_EQ(registry.OpenKey(RootKey::CurrentUser, "A", false)->SubkeyNames().size(), 0u);

  const std::vector<HiveDamage> damage = registry.Damage();
  ASSERT_EQ(damage.size(), 1u);
  EXPECT_EQ(damage[0].file, folder / "user.reg");
  EXPECT_EQ(damage[0].line, 4);
  EXPECT_EQ(damage[0].what, "unterminated string");
  EXPECT_EQ(damage[0].lines, 3u);
  EXPECT_EQ(damage[0].keptAs, folder / "user.reg.damaged");
  EXPECT_EQ(ReadText(folder / "user.reg.damaged"), damaged);

  // A save writes what was read; the damaged file stays aside.
  registry.OpenKey(RootKey::CurrentUser, "New", true)->WriteString("n", "4");
  registry.Flush();
  Registry again(folder.Path());
  EXPECT_TRUE(again.Damage().empty());
  EXPECT_EQ(again.OpenKey(RootKey::CurrentUser, "A", false)->ReadString("good"), "1");
  EXPECT_EQ(again.OpenKey(RootKey::CurrentUser, "New", false)->ReadString("n"), "4");
  EXPECT_EQ(ReadText(folder / "user.reg.damaged"), damaged);

  // A second, different damage does not replace the first copy.
  WriteText(folder / "user.reg", "not a registry\n");
  Registry third(folder.Path());
  ASSERT_EQ(third.Damage().size(), 1u);
  EXPECT_EQ(third.Damage()[0].keptAs, folder / "user.reg.damaged.2");
  EXPECT_FALSE(third.OpenKey(RootKey::CurrentUser, "A", false).has_value());
}

TEST(RegistryFormat, DamagedHiveThatCannotBeKeptAsideIsNeverSavedOver) {
  TempFolder folder;
  const std::string damaged = "WINE REGISTRY Version 2\n[A]\n\"v\"=\"x\n";
  WriteText(folder / "user.reg", damaged);
  std::filesystem::create_directory(folder / "user.reg.damaged");  // no copy can go there
  Registry registry(folder.Path());
  ASSERT_EQ(registry.Damage().size(), 1u);
  EXPECT_TRUE(registry.Damage()[0].keptAs.empty());
  registry.OpenKey(RootKey::CurrentUser, "New", true)->WriteString("n", "1");
  registry.OpenKey(RootKey::LocalMachine, "Software\\New", true)->WriteString("n", "1");
  EXPECT_THROW(registry.Flush(), ERegistryException);
  EXPECT_EQ(ReadText(folder / "user.reg"), damaged);
  // A commit is whole or nothing: the sound hive is not written either ...
  EXPECT_FALSE(std::filesystem::exists(folder / "system.reg"));
  // ... but changes to it alone are.
  Registry other(folder.Path());
  other.OpenKey(RootKey::LocalMachine, "Software\\New", true)->WriteString("n", "1");
  other.Flush();
  EXPECT_NE(ReadText(folder / "system.reg").find("[Software\\\\New]"), std::string::npos);
}

}  // namespace
}  // namespace nimbra::platform
