#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "platform/files/path.h"
#include "platform/links/shell_link.h"
#include "platform/registry/registry.h"
#include "setup/answer_ui.h"
#include "setup/install_ops.h"
#include "setup/pb_shell_link.h"
#include "setup/tsetup_form.h"
#include "setup/update_reg.h"
#include "testsupport/run_program.h"
#include "testsupport/test_machine.h"
#include "ui/event_log.h"

namespace nimbra::setup {
namespace {

using platform::RootKey;

class SystemRegistrationTest : public ::testing::Test {
 public:
  SystemRegistrationTest() { m.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40"); }

  void NewWizard(int type) {
    wizard.reset();
    ui = std::make_unique<AnswerFileUi>("[Answers]\r\nDefault=OK\r\n");
    ui->SetLog(&log);
    wizard = std::make_unique<TSetupForm>(*ui, *m, "D:\\");
    InstallSettings& s = wizard->Settings();
    s.InstallType = type;
    s.ProgramsFolder = "C:\\windows\\Start Menu\\Programs\\";
    s.Release = "4.1";
    s.StartMenuNames = {"Read Me.lnk", "Tools"};
    s.StartMenuTargets = {"ReadMe.txt", "Tools.exe"};
    ui::Form& f = wizard->Form();
    f.At("SoftwareLocation").text = "C:\\Program Files\\NimbraPost\\";
    f.At("DataLocation").text = "C:\\NimbraData\\";
    f.At("ProgGroupName").text = "NimbraPost 4";
    m.PutFile("C:\\Program Files\\NimbraPost\\NimbraMGR.exe", "exe");
    m.PutFile("C:\\Program Files\\NimbraPost\\Peruse.exe", "exe");
  }

  std::string Value(RootKey root, const std::string& key, const std::string& name) {
    const auto k = m->Reg().OpenKey(root, key, false);
    if (!k || !k->ValueExists(name)) return "<missing>";
    return k->ReadString(name);
  }

  std::vector<std::string> Links() {
    std::vector<std::string> names;
    for (const auto& e : m->ListDirectory(kGroup)) names.push_back(e.name);
    return names;
  }

  static constexpr const char* kGroup = "C:\\windows\\Start Menu\\Programs\\NimbraPost 4";
  testsupport::TestMachine m;
  ui::EventLog log;
  std::unique_ptr<AnswerFileUi> ui;
  std::unique_ptr<TSetupForm> wizard;
};

TEST_F(SystemRegistrationTest, AClientGetsItsShortcutsAndAnUninstallStringEndingInDis) {
  NewWizard(5);
  m.SetString("HKCU\\Software\\NimbraPost\\Sub", "x", "1");
  wizard->saveinstalldir();
  wizard->SaveSettings();
  // Sorted by name; ".lnk" is not added twice.
  EXPECT_EQ(Links(), (std::vector<std::string>{"Diagnostic.lnk", "Help.lnk", "Manager Suite.lnk",
                                               "Read Me.lnk", "Send Encrypted Message.lnk",
                                               "Tools.lnk", "Uninstall (Keep Data).lnk"}));
  platform::ShellLink link(*m);
  link.Load(std::string(kGroup) + "\\Diagnostic.lnk");
  EXPECT_EQ(link.GetPath(), "C:\\Program Files\\NimbraPost\\NimbraMGR.exe");
  EXPECT_EQ(link.GetArguments(), "DIAG");
  EXPECT_EQ(link.GetWorkingDirectory(), "C:\\Program Files\\NimbraPost\\");
  EXPECT_EQ(link.GetDescription(), "Diagnostic");

  const std::string uninstall =
      "Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\NimbraPost";
  const std::string shortProgram = *m->ShortPath("C:\\Program Files\\NimbraPost\\");
  EXPECT_EQ(Value(RootKey::LocalMachine, uninstall, "UninstallString"),
            platform::WithTrailingBackslash(shortProgram) + "NimbraMGR.EXE DIS");
  EXPECT_EQ(Value(RootKey::LocalMachine, uninstall, "DisplayName"), "NimbraPost 4");
  EXPECT_FALSE(m->Reg().KeyExists(RootKey::CurrentUser, "Software\\NimbraPost"));
  const std::string product = "Software\\NimbraPost\\Current Version";
  EXPECT_EQ(Value(RootKey::LocalMachine, product, "InstallDir"), "C:\\Program Files\\NimbraPost\\");
  EXPECT_EQ(Value(RootKey::LocalMachine, product, "Version"), "4.1");
  EXPECT_EQ(Value(RootKey::LocalMachine, product, "Sequence"), "04.00.00");
  EXPECT_EQ(Value(RootKey::LocalMachine, product, "OldVersion"), "<missing>");
  EXPECT_EQ(Value(RootKey::ClassesRoot, ".ZQ0", ""), "VRXAUTHFailed");
  EXPECT_EQ(Value(RootKey::ClassesRoot, "VRXAuthOK\\DefaultIcon", ""),
            platform::WithTrailingBackslash(shortProgram) + "Peruse.exe, 1");

  // A second run updates the links in place.
  NewWizard(1);
  wizard->SaveSettings();
  EXPECT_EQ(Links().size(), 10u);  // the client's two stay beside the new ones
  EXPECT_EQ(Value(RootKey::LocalMachine, uninstall, "UninstallString")
                .substr(Value(RootKey::LocalMachine, uninstall, "UninstallString").size() - 4),
            " UNI");
}

TEST_F(SystemRegistrationTest, EachTypeGetsItsShortcutsAndOnlyDesktopTypesTheShellExtension) {
  const std::map<int, std::vector<std::string>> extra = {
      {0, {"Send Public Keys to Friends.lnk", "Uninstall (Remove Data).lnk"}},
      {2,
       {"Desktop Utilities.lnk", "Send Public Keys to Friends.lnk", "Uninstall (Remove Data).lnk"}},
      {3, {"Uninstall (Remove Data).lnk"}},
      {8, {"Diagnostic.lnk"}},
  };
  for (const auto& [type, names] : extra) {
    SCOPED_TRACE(type);
    std::filesystem::remove_all(*m->HostPath(kGroup));
    m->Reg().DeleteKey(RootKey::ClassesRoot, ".nbf");
    NewWizard(type);
    wizard->SaveSettings();
    wizard->DesktopUtils();
    std::vector<std::string> expected = {"Help.lnk",    "Manager Suite.lnk",
                                         "Read Me.lnk", "Send Encrypted Message.lnk",
                                         "Tools.lnk",   "Uninstall (Keep Data).lnk"};
    expected.insert(expected.end(), names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Links(), expected);
    EXPECT_EQ(Value(RootKey::ClassesRoot, ".nbf", "") == "NimbraPost.Encrypted.File", type == 2);
    EXPECT_EQ(Value(RootKey::ClassesRoot, ".NBK", "Content Type"), "application/NimbraPost");
  }
}

TEST_F(SystemRegistrationTest, LnkinfoReadsTheShortcuts) {
  if (!testsupport::OnPath("lnkinfo")) {
    GTEST_SKIP() << "lnkinfo (Debian package liblnk-utils) is not installed";
  }
  NewWizard(1);
  wizard->SaveSettings();
  const auto host = m->HostPath(std::string(kGroup) + "\\Send Public Keys to Friends.lnk");
  ASSERT_TRUE(host);
  const auto run = testsupport::RunCommand("lnkinfo " + testsupport::ShellQuote(host->string()));
  ASSERT_EQ(run.status, 0);
  std::map<std::string, std::string> fields;
  std::istringstream lines(run.out);
  for (std::string text; std::getline(lines, text);) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || text.empty() || text[0] != '\t') continue;
    std::string name = text.substr(1, colon - 1);
    while (!name.empty() && (name.back() == '\t' || name.back() == ' ')) name.pop_back();
    std::string value = text.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    fields.emplace(name, value);
  }
  EXPECT_EQ(fields["Local path"], "C:\\Program Files\\NimbraPost\\Peruse.exe");
  EXPECT_EQ(fields["Command line arguments"], "DIST");
  EXPECT_EQ(fields["Working directory"], "C:\\Program Files\\NimbraPost\\");
  EXPECT_EQ(fields["Description"], "Send Public Keys to Friends");
}

TEST_F(SystemRegistrationTest, TheLinkComponentReportsItsThreeFailures) {
  NewWizard(1);
  TPBShellLink link(*m, wizard->Install());
  auto failure = [&] {
    try {
      link.Save();
    } catch (const ELinkError& e) {
      return std::string(e.what());
    }
    return std::string("saved");
  };
  EXPECT_EQ(failure(),
            "\"CoCreateInstance\" a \xE9"
            "chou\xE9.");
  m.PutFile("C:\\Links\\bad.lnk", "not a link");
  link.FileName = "C:\\Links\\bad.lnk";
  EXPECT_EQ(failure(),
            "\"PersistFile QueryInterface\" a \xE9"
            "chou\xE9.");
  link.FileName = "C:\\Missing\\x.lnk";
  EXPECT_EQ(failure(),
            "Erreur en \xE9"
            "criture.");
  link.FileName = "C:\\Links\\good.lnk";
  EXPECT_EQ(failure(), "saved");
}

TEST_F(SystemRegistrationTest, DesktopUtilitiesStartupAndThirdPartyAndUpdateReg) {
  NewWizard(1);
  m.PutFile("D:\\Script.txt", "[ThirdParty]\r\nAvailable=1\r\nDll=Card.dll\r\n");
  m.PutFile("D:\\NimbraContextMenu.dll", "menu");
  m.PutFile(
      "D:\\Update.reg",
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Upd]\r\n\"Path\"=\"C:\\\\x\\\\y\"\r\n\r\n");
  wizard->DesktopUtils();
  wizard->SetStartupEntry();
  wizard->SaveThirdParty();
  EXPECT_EQ(
      Value(RootKey::ClassesRoot, "CLSID\\{8e3e0f0a-0fcc-11ce-bcb0-b3fd0e25381a}\\InProcServer32",
            "ThreadingModel"),
      "Apartment");
  EXPECT_TRUE(m->FileExists("C:\\windows\\system32\\NimbraContextMenu.dll"));
  EXPECT_NE(Value(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                  "NimbraPost 3")
                .find("Nimbra.exe"),
            std::string::npos);
  const auto key =
      m->Reg().OpenKey(RootKey::LocalMachine, "Software\\NimbraPost\\Current Version", false);
  EXPECT_EQ(key->ReadInteger("ThirdPartyAuth"), 1);
  EXPECT_EQ(key->ReadString("ThirdPartyAuthDll"), "Card.dll");
  EXPECT_EQ(Value(RootKey::LocalMachine, "Software\\Upd", "Path"), "C:\\x\\y");
  EXPECT_TRUE(ui->Messages().empty());

  wizard->ImportRegistryFile("D:\\Missing.reg");
  ASSERT_EQ(ui->Messages().size(), 1u);
  EXPECT_EQ(ui->Messages()[0],
            "Exported Registry File (D:\\Missing.reg) does not exist. Importing Cancelled.");
}

TEST(UpdateReg, ARealExportImportsAsTheSubsetReadsIt) {
  using K = RegStep::Kind;
  const auto steps = ParseUpdateReg(
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Vendor\\App]\r\n"
      "@=\"default\"\r\n"
      "\"Path\"=\"C:\\\\Program Files\\\\App\"\r\n"
      "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Blob\"=hex:01,02\r\n"
      "\r\n"
      "[HKEY_USERS\\.DEFAULT\\Software\\App]\r\n"
      "\"A\"=\"1\"\r\n"
      "\r\n"
      "[hkey_classes_root\\.abc]\r\n"
      "\r\n");
  std::vector<K> kinds;
  for (const auto& s : steps) kinds.push_back(s.kind);
  EXPECT_EQ(kinds, (std::vector<K>{K::OpenKey, K::OpenKey, K::String, K::OpenKey, K::String,
                                   K::OpenKey, K::Integer, K::OpenKey, K::OpenKey, K::RootWarning,
                                   K::OpenKey, K::String, K::OpenKey, K::OpenKey}));
  EXPECT_EQ(steps[2].text, "C:\\Program Files\\App");
  EXPECT_EQ(steps[4].text, "say \"hi\"");
  EXPECT_EQ(steps[6].number, 42);
  EXPECT_EQ(steps[10].root, RootKey::CurrentUser);
  EXPECT_EQ(steps[10].path, ".DEFAULT\\Software\\App");
  EXPECT_EQ(steps.back().root, RootKey::ClassesRoot);

  // A version 5 export in UTF-16 has no "REGEDIT4" line: nothing.
  const std::string utf16("\xFF\xFEW\0i\0n\0", 8);
  EXPECT_TRUE(ParseUpdateReg(utf16).empty());
  EXPECT_TRUE(ParseUpdateReg("Windows Registry Editor Version 5.00\r\n\r\n").empty());
  // A malformed line ends the import; what came before stays.
  const auto cut = ParseUpdateReg(
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=\"1\"\nbad\n\"y\"=\"2\"\n");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[1].name, "x");
  EXPECT_TRUE(ParseUpdateReg("REGEDIT4\n\n[HKCU\\x]\n\"x\"=\"1\"\n").empty());  // too short
}

}  // namespace
}  // namespace nimbra::setup
