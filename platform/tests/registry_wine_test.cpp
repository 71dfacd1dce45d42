// Checks against a real Wine: it reads what we write, we read what it
// writes, and our rewrite of its own files still boots it. Skipped when Wine
// is not installed. A first boot takes 10-60 s, so one booted prefix is kept
// in the build folder and each test program works on a copy of it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/registry/reg_hive.h"
#include "platform/registry/registry.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"
#include "testsupport/wine_prefix.h"

namespace nimbra::platform {
namespace {

using testsupport::ReadText;
using testsupport::TempFolder;

using testsupport::OnPath;
using testsupport::RunCommand;

class RegistryWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto booted = testsupport::BootedWinePrefix();
    if (!booted) return;
    prefix_ = new TempFolder();
    std::error_code ec;
    std::filesystem::copy(
        *booted, prefix_->Path(),
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks,
        ec);
    booted_ = !ec && std::filesystem::exists(prefix_->Path() / "system.reg");
  }
  static void TearDownTestSuite() {
    if (prefix_) Run("wineserver -k");
    delete prefix_;
    prefix_ = nullptr;
  }
  void SetUp() override {
    if (!prefix_)
      GTEST_SKIP() << "wine, wineboot or wineserver is not installed, or wineboot -i failed";
    ASSERT_TRUE(booted_) << "wineboot -i failed in " << prefix_->Path();
  }

  static std::string Env() {
    return "WINEPREFIX='" + prefix_->Path().string() + "' WINEDEBUG=-all ";
  }
  static bool Run(const std::string& command) { return RunCommand(Env() + command).status == 0; }
  // Runs the commands as one batch file in one Wine session (each start of
  // Wine costs seconds) and waits for the server to exit, so that the
  // registry files are written and no server holds them any more.
  static std::string WineBatch(const std::vector<std::string>& commands) {
    std::string batch;
    for (const std::string& command : commands) batch += "@" + command + "\r\n";
    testsupport::WriteText(prefix_->Path() / "drive_c" / "nimbra_test.bat", batch);
    const std::string output = RunCommand(Env() + "wine cmd /c 'C:\\nimbra_test.bat'").out;
    Run("wineserver -w");
    return output;
  }

  static TempFolder* prefix_;
  static bool booted_;
};

TempFolder* RegistryWine::prefix_ = nullptr;
bool RegistryWine::booted_ = false;

TEST_F(RegistryWine, OurRewriteOfWinesFilesIsExactAndBoots) {
  const std::string system = ReadText(prefix_->Path() / "system.reg");
  const std::string user = ReadText(prefix_->Path() / "user.reg");
  {
    Registry registry(prefix_->Path());
    // Unchanged, our text is Wine's own, byte for byte.
    EXPECT_TRUE(registry.HiveText(RootKey::LocalMachine) == system);
    EXPECT_TRUE(registry.HiveText(RootKey::CurrentUser) == user);
    registry.OpenKey(RootKey::LocalMachine, "Software\\NimbraTouch", true)->WriteString("v", "1");
    registry.OpenKey(RootKey::CurrentUser, "Software\\NimbraTouch", true)->WriteString("v", "1");
    registry.Flush();
  }
  // The rewrite means the same: every key of Wine's files is there with the
  // same values.
  for (const auto& [name, original] : {std::pair{"system.reg", system}, {"user.reg", user}}) {
    reg::HiveContent before = reg::ParseHive(original, name);
    reg::HiveContent after = reg::ParseHive(ReadText(prefix_->Path() / name), name);
    before.root->AddSubkey(u"Software", 0)->AddSubkey(u"NimbraTouch", 0);
    std::vector<std::pair<const RegNode*, const RegNode*>> pending{
        {before.root.get(), after.root.get()}};
    std::size_t keys = 0;
    while (!pending.empty()) {
      auto [a, b] = pending.back();
      pending.pop_back();
      ++keys;
      ASSERT_EQ(a->subkeys.size(), b->subkeys.size()) << name;
      if (a->folded != u"nimbratouch") {
        ASSERT_EQ(a->values.size(), b->values.size()) << name;
        for (std::size_t i = 0; i < a->values.size(); ++i) {
          EXPECT_EQ(a->values[i].name, b->values[i].name);
          EXPECT_EQ(a->values[i].type, b->values[i].type);
          EXPECT_EQ(a->values[i].data, b->values[i].data);
        }
        EXPECT_EQ(a->link, b->link);
        EXPECT_EQ(a->key_class, b->key_class);
      }
      for (std::size_t i = 0; i < a->subkeys.size(); ++i) {
        ASSERT_EQ(a->subkeys[i]->folded, b->subkeys[i]->folded);
        pending.emplace_back(a->subkeys[i].get(), b->subkeys[i].get());
      }
    }
    EXPECT_GT(keys, 50u) << name;
  }
  // Wine boots from the rewritten files and reads existing keys.
  const std::string output =
      WineBatch({"reg query \"HKLM\\System\\CurrentControlSet\\Control\\Session "
                 "Manager\\Environment\" /v ComSpec",
                 "reg query \"HKCU\\Software\\NimbraTouch\" /v v"});
  EXPECT_NE(output.find("ComSpec    REG_EXPAND_SZ    %SystemRoot%\\system32\\cmd.exe\r\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("    v    REG_SZ    1\r\n"), std::string::npos) << output;
}

TEST_F(RegistryWine, WineReadsWhatWeWrite) {
  const std::string product = "Software\\NimbraPost\\Current Version";
  std::string ours;
  {
    Registry registry(prefix_->Path());
    std::optional<RegKey> key = registry.OpenKey(RootKey::LocalMachine, product, true);
    key->WriteString("", "default text");
    key->WriteString("InstallDir", "C:\\Program Files\\NimbraPost\\");
    key->WriteString("Quoted", "say \"hi\" [x]");
    key->WriteExpandString("DataBase", "%SystemRoot%\\System32\\drivers\\etc");
    key->WriteInteger("ThirdPartyAuth", 1);
    key->WriteInteger("Negative", -1);
    key->WriteBinary("Password", std::vector<std::uint8_t>(60, 0xa5));
    key->WriteMultiString("List", {"one", "two"});
    key->OpenSubkey("Sub Key", true);
    registry
        .OpenKey(RootKey::LocalMachine, "System\\CurrentControlSet\\Services\\Tcpip\\Parameters",
                 true)
        ->WriteString("NameServer", "192.0.2.53");
    registry.OpenKey(RootKey::ClassesRoot, ".vrx", true)->WriteString("", "VRXFile");
    registry.Flush();
    ours = QueryKey(registry, RootKey::LocalMachine, product);
  }
  const std::string output = WineBatch(
      {"reg query \"HKEY_LOCAL_MACHINE\\" + product + "\"", "echo ===",
       "reg query \"HKLM\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters\" /v NameServer",
       "reg query \"HKCR\\.vrx\" /ve"});
  // Our `reg query` text is Wine's, byte for byte.
  EXPECT_EQ(output.substr(0, output.find("===\r\n")), ours);
  EXPECT_NE(output.find("    NameServer    REG_SZ    192.0.2.53\r\n"), std::string::npos) << output;
  EXPECT_NE(output.find("    (Default)    REG_SZ    VRXFile\r\n"), std::string::npos) << output;
}

TEST_F(RegistryWine, WeReadWhatWineWrites) {
  // Wine's regedit imports the file and its server writes user.reg.
  std::string reg = "\xff\xfe";
  for (char16_t c :
       std::u16string(u"Windows Registry Editor Version 5.00\r\n\r\n"
                      u"[HKEY_CURRENT_USER\\Software\\FromWine]\r\n"
                      u"\"s\"=\"a \\\"b\\\" \\\\c Jos\u00e9 \u20ac\"\r\n"
                      u"\"d\"=dword:ffffffff\r\n"
                      u"\"e\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,78,00,00,00\r\n"
                      u"\"m\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,00\r\n\r\n"
                      u"[HKEY_CURRENT_USER\\Software\\FromWine\\Child]\r\n@=\"child\"\r\n")) {
    reg.push_back(static_cast<char>(c & 0xff));
    reg.push_back(static_cast<char>(c >> 8));
  }
  testsupport::WriteText(prefix_->Path() / "drive_c" / "nimbra_test.reg", reg);
  WineBatch({"regedit /s C:\\nimbra_test.reg"});
  const std::string user = ReadText(prefix_->Path() / "user.reg");
  EXPECT_NE(user.find("\"s\"=\"a \\\"b\\\" \\\\c Jos\\xe9 \\x20ac\"\n"), std::string::npos);

  Registry registry(prefix_->Path());
  std::optional<RegKey> key = registry.OpenKey(RootKey::CurrentUser, "software\\fromwine", false);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->ReadString("s"), "a \"b\" \\c Jos\xe9 \x80");
  EXPECT_EQ(key->ReadString("e"), "%TEMP%x");
  EXPECT_EQ(key->ReadInteger("d"), -1);
  EXPECT_EQ(key->ReadMultiString("m"), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(key->OpenSubkey("CHILD", false)->ReadString(""), "child");
}

}  // namespace
}  // namespace nimbra::platform
