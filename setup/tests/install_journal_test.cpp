// A whole test installation checked from outside: what the machine holds
// before and after is compared with what the journal says was changed, and
// the registry values are read back by Wine's own "reg query".

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/strings.h"
#include "platform/files/path.h"
#include "platform/registry/registry.h"
#include "setup/answer_ui.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"
#include "testsupport/test_machine.h"
#include "testsupport/wine_prefix.h"
#include "ui/event_log.h"

namespace nimbra::setup {
namespace {

using platform::RootKey;

// Every file of the machine's drive C by its Windows path (upper case), with
// its bytes.
std::map<std::string, std::string> Files(platform::Machine& machine) {
  std::map<std::string, std::string> files;
  const auto root = *machine.DriveHostRoot('C');
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const auto windows = machine.WindowsPath(entry.path());
    if (!windows) continue;
    std::string key = UpperCase(*windows);
    if (entry.is_directory()) {
      files[key + "\\"] = "<dir>";
    } else if (entry.is_regular_file()) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      files[key] = bytes.str();
    }
  }
  return files;
}

void Walk(const platform::RegKey& key, const std::string& name,
          std::map<std::string, std::string>& out) {
  out[UpperCase(name)] = "<key>";
  for (const auto& value : key.ValueNames()) {
    const auto raw = key.ReadRaw(value);
    out[UpperCase(name) + "|" + UpperCase(value)] =
        std::to_string(static_cast<int>(raw.type)) + std::string(raw.data.begin(), raw.data.end());
  }
  for (const auto& sub : key.SubkeyNames()) {
    Walk(*key.OpenSubkey(sub, false), name + "\\" + sub, out);
  }
}

// Every key and value of the two hives.
std::map<std::string, std::string> Registry(platform::Machine& machine) {
  std::map<std::string, std::string> out;
  for (RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser}) {
    Walk(*machine.Reg().OpenKey(root, "", false), platform::RootKeyName(root), out);
  }
  return out;
}

std::set<std::string> Changed(const std::map<std::string, std::string>& before,
                              const std::map<std::string, std::string>& after) {
  std::set<std::string> changed;
  for (const auto& [name, value] : after) {
    const auto it = before.find(name);
    if (it == before.end() || it->second != value) changed.insert(name);
  }
  for (const auto& [name, value] : before) {
    if (!after.count(name)) changed.insert(name);
  }
  return changed;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', from);
    fields.push_back(InstallJournal::UnescapeField(line.substr(from, tab - from)));
    if (tab == std::string::npos) return fields;
    from = tab + 1;
  }
}

// HKEY_CLASSES_ROOT is HKLM\Software\Classes; keys written with a leading "\".
std::string KeyOf(const std::string& journalKey) {
  std::string key = journalKey;
  const std::string cr = "HKEY_CLASSES_ROOT\\";
  if (key.rfind(cr, 0) == 0)
    key = "HKEY_LOCAL_MACHINE\\Software\\Classes\\" + key.substr(cr.size());
  std::string out;
  for (char c : key) {
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out += c;
  }
  if (!out.empty() && out.back() == '\\') out.pop_back();
  return UpperCase(out);
}

class InstallJournalTest : public ::testing::Test {
 public:
  void Install(platform::Machine& machine) {
    ui = std::make_unique<AnswerFileUi>("[Answers]\r\nOverwriteDataFiles=Yes\r\nDefault=OK\r\n");
    ui->SetLog(&log);
    wizard = std::make_unique<TSetupForm>(*ui, machine, "D:\\");
    InstallSettings& s = wizard->Settings();
    s.InstallType = 1;
    s.ProgramsFolder = "C:\\Programs\\";
    ui::Form& f = wizard->Form();
    f.At("SoftwareLocation").text = "C:\\Program Files\\NimbraPost\\";
    f.At("DataLocation").text = "C:\\NimbraData\\";
    f.At("SharedDataLocation").text = "C:\\NimbraShared\\";
    f.At("ProgGroupName").text = "NimbraPost 4";
    f.At("UserName").text = "jane";
    f.At("NewPass").text = "secret";
    f.At("PrimeEmail").text = "jane@example.com";
    wizard->MakeLocations();
    wizard->saveinstalldir();
    wizard->CopyFileScript();
    wizard->CreateBaseFile();
    wizard->SaveDefaults();
    wizard->SaveSettings();
    wizard->DesktopUtils();
    wizard->SetStartupEntry();
    wizard->SaveThirdParty();
  }
  void Setup(testsupport::TestMachine& m) {
    m.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40");
    m.PutFile(
        "D:\\Script.txt",
        "[PRODUCT]\r\nRunType=1\r\n[ThirdParty]\r\nAvailable=1\r\n[Static-A]\r\nmx=1.2.3.4\r\n"
        "START COPY\r\nNimbraMGR.exe\r\nPeruse.exe\r\nSTOP COPY\r\n"
        "PROFILE START COPY\r\nUsers.ini\r\nPROFILE STOP COPY\r\n");
    for (const char* name : {"NimbraMGR.exe", "Peruse.exe", "NimbraContextMenu.dll"}) {
      m.PutFile(std::string("D:\\") + name, name);
    }
    m.PutFile("D:\\Users.ini", "[FileVersion]\r\nFormat=3\r\n");
    m.PutFile("D:\\Update.reg",
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Upd]\r\n\"A\"=\"1\"\r\n\r\n");
    m.PutFile("C:\\Program Files\\NimbraPost\\Peruse.exe", "older");
    m.SetString("HKCU\\Software\\NimbraPost\\Old", "x", "1");
  }

  ui::EventLog log;
  std::unique_ptr<AnswerFileUi> ui;
  std::unique_ptr<TSetupForm> wizard;
};

TEST_F(InstallJournalTest, TheJournalListsEveryChangeAndNothingElse) {
  testsupport::TestMachine m;
  Setup(m);
  const auto filesBefore = Files(*m);
  const auto registryBefore = Registry(*m);
  Install(*m);
  const auto changedFiles = Changed(filesBefore, Files(*m));
  const auto changedRegistry = Changed(registryBefore, Registry(*m));

  std::set<std::string> journalFiles = {"C:\\PROGRAM FILES\\NIMBRAPOST\\INSTALL.JNL"};
  std::set<std::string> journalRegistry;
  std::vector<std::string> deletedKeys;
  for (const auto& line : wizard->Install().Journal().Lines()) {
    const auto f = Fields(line);
    if (f.size() < 4 || f[0] != "B") continue;
    const std::string& op = f[2];
    if (op == "FOLDER") journalFiles.insert(UpperCase(platform::WithTrailingBackslash(f[3])));
    if (op == "COPY" || op == "INI" || op == "LINK" || op == "DELETE" || op == "INIDELETE") {
      journalFiles.insert(UpperCase(op == "COPY" ? f[4] : f[3]));
    }
    if (op == "KEPT") journalFiles.insert(UpperCase(f[4]));  // the copy of a file replaced
    if (op == "MOVEASIDE") {
      journalFiles.insert(UpperCase(f[3]));
      journalFiles.insert(UpperCase(f[4]));
    }
    if (op == "REGVALUE" || op == "REGVALUEDELETE") {
      journalRegistry.insert(KeyOf(f[3]) + "|" + UpperCase(f[4]));
      // A created key brings its missing parents.
      std::string key = KeyOf(f[3]);
      while (!registryBefore.count(key) && key.find('\\') != std::string::npos) {
        journalRegistry.insert(key);
        key = key.substr(0, key.rfind('\\'));
      }
    }
    if (op == "REGKEY") journalRegistry.insert(KeyOf(f[3]));
    if (op == "REGDELETE") deletedKeys.push_back(KeyOf(f[3]));
  }
  // What a deleted key held went with it.
  for (const auto& [name, value] : registryBefore) {
    for (const auto& key : deletedKeys) {
      if (name == key || name.rfind(key + "\\", 0) == 0 || name.rfind(key + "|", 0) == 0) {
        journalRegistry.insert(name);
      }
    }
  }
  EXPECT_EQ(changedFiles, journalFiles);
  EXPECT_EQ(changedRegistry, journalRegistry);
  EXPECT_TRUE(changedFiles.count("C:\\PROGRAM FILES\\NIMBRAPOST\\PERUSE.EXE"));
  // What it held before is kept, and only it: no file the installation made.
  const auto kept = std::count_if(changedFiles.begin(), changedFiles.end(), [](const auto& f) {
    return f.rfind("C:\\PROGRAM FILES\\NIMBRAPOST\\REPLACED\\", 0) == 0 && f.back() != '\\';
  });
  EXPECT_EQ(kept, 1);
  EXPECT_TRUE(changedRegistry.count("HKEY_LOCAL_MACHINE\\SOFTWARE\\UPD|A"));
  // Every operation was done.
  const auto& lines = wizard->Install().Journal().Lines();
  const auto begun = std::count_if(lines.begin(), lines.end(),
                                   [](const std::string& l) { return l.rfind("B\t", 0) == 0; });
  const auto done = std::count_if(lines.begin(), lines.end(),
                                  [](const std::string& l) { return l.rfind("D\t", 0) == 0; });
  EXPECT_EQ(begun, done);
}

TEST_F(InstallJournalTest, WineReadsTheRegistrationBack) {
  const auto booted = testsupport::BootedWinePrefix();
  if (!booted) GTEST_SKIP() << "wine, wineboot or wineserver is not installed, or wineboot failed";
  testsupport::TempFolder prefix("nimbra-wine");
  std::filesystem::copy(
      *booted, prefix.Path(),
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  {
    platform::Machine machine = platform::Machine::Open(prefix.Path());
    machine.AddDrive('D', prefix.Path() / "cd", platform::DriveType::CdRom);
    machine.WriteFile("D:\\Script.txt",
                      "[PRODUCT]\r\nRunType=1\r\n[ThirdParty]\r\nAvailable=1\r\n");
    machine.ForceDirectories("C:\\Program Files\\NimbraPost");
    machine.WriteFile("C:\\Program Files\\NimbraPost\\NimbraMGR.exe", "exe");
    Install(machine);
    machine.Save();
  }
  const std::string env = "WINEPREFIX='" + prefix.Path().string() + "' WINEDEBUG=-all ";
  const auto query = [&](const std::string& key) {
    return testsupport::RunCommand(env + "wine reg query " + testsupport::ShellQuote(key)).out;
  };
  const std::string product = query("HKLM\\Software\\NimbraPost\\Current Version");
  const std::string uninstall =
      query("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NimbraPost");
  const std::string fileType = query("HKCR\\.ZQ1");
  testsupport::RunCommand(env + "wineserver -k");
  EXPECT_NE(uninstall.find("NimbraMGR.EXE UNI"), std::string::npos) << uninstall;
  EXPECT_NE(fileType.find("application/NimbraPost"), std::string::npos) << fileType;
  EXPECT_NE(fileType.find("VRXAuthOK"), std::string::npos) << fileType;
  EXPECT_NE(product.find("C:\\Program Files\\NimbraPost\\"), std::string::npos) << product;
  EXPECT_NE(product.find("Sequence"), std::string::npos) << product;
  EXPECT_NE(product.find("ThirdPartyAuth"), std::string::npos) << product;
}

}  // namespace
}  // namespace nimbra::setup
