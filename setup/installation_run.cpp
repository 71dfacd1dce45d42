#include "core/strings.h"
#include "netconfig/comms_writers.h"
#include "platform/files/atomic_file.h"
#include "platform/files/path.h"
#include "platform/processes/process.h"
#include "platform/processes/service.h"
#include "platform/processes/service_program.h"
#include "platform/profile/profile_file.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"

namespace nimbra::setup {

namespace {

// The pass phrase of a user who left the password empty.
constexpr const char* kEmptyPassPhrase = "NILPAS9062";

// The server editions' configuration writes, journaled like every other
// change of the installation.
class InstallSink : public netconfig::ConfigSink {
 public:
  explicit InstallSink(InstallOps& ops) : ops_(ops) {}
  bool WriteIni(std::string_view file, std::string_view section, std::string_view key,
                std::string_view value) override {
    return ops_.WriteIni(file, section, key, value);
  }
  bool WriteFile(std::string_view path, std::string_view content) override {
    return ops_.WriteFile(path, content);
  }

 private:
  InstallOps& ops_;
};

}  // namespace

void TSetupForm::SelectProgress(const char* list, int item) {
  ui_.ProcessMessages();
  form_->At(list).itemIndex = item;
}

void TSetupForm::TickProgress(const char* list, int item) {
  ui::ListItem& entry = form_->At(list).items.at(static_cast<std::size_t>(item));
  if (entry.checked) return;
  entry.checked = true;
  ui_.LogLine("PROGRESS " + entry.text);
}

void TSetupForm::UseFixedPassPhraseWhenEmpty() {
  ui::Form& f = *form_;
  if (!f["NewPass"].text.empty()) return;
  f["NewPass"].text = kEmptyPassPhrase;
  f["ConfirmPass"].text = kEmptyPassPhrase;
}

void TSetupForm::WriteWorkstationKeys() {
  ui::Form& f = *form_;
  InstallOps& ops = Install();
  const std::string wsIni = platform::WithTrailingBackslash(f["SoftwareLocation"].text) + "WS.INI";
  ops.WriteIni(wsIni, "WORKSTATION", "INSTALLED", settings_.ProductType);
  ops.WriteIni(wsIni, "DNS", "Server1", f["DNS1"].text);
  ops.WriteIni(wsIni, "DNS", "Server2", f["DNS2"].text);
  if (!settings_.KeyServer1.empty())
    ops.WriteIni(wsIni, "KeyServer", "Server1", settings_.KeyServer1);
  if (!settings_.KeyServer2.empty())
    ops.WriteIni(wsIni, "KeyServer", "Server2", settings_.KeyServer2);
}

// Logs on as the user of the installation being kept: the key manager finds
// the user's credentials itself (the logon window). A person may try as often
// as needed; an unattended run gives up after logonAttemptLimit attempts.
void TSetupForm::LogonPreviousUser() {
  ui::Form& f = *form_;
  keys::TNimbraMGR& manager = RenewKeyManager();
  for (int attempt = 1;; ++attempt) {
    keys::LogonRecord record{"", SecretBuffer(), std::nullopt};
    if (manager.Logon(record)) break;
    if (logonAttemptLimit > 0 && attempt >= logonAttemptLimit) {
      ui_.EndProcess(ui::kExitStopped,
                     "the user of the previous installation could not log on after " +
                         std::to_string(attempt) + " attempts");
    }
    ui_.ProcessMessages();
  }
  f["UserName"].text = manager.CurrentUser();
  settings_.UserNameSaved = manager.CurrentUser();
  f["PrimeEmail"].text = manager.DefaultEmail();
  manager.SetTableDirectory(platform::JoinWindowsPath(f["SoftwareLocation"].text, "PowerTables"));
}

// A resumed installation first clears what the interrupted one's killed
// writes left: the temporary files beside the files it was replacing (those
// its journal names, the journal itself, the hosts file, the e-mail
// programs' settings and the key databases' folders).
void TSetupForm::ClearInterruptedWrites() {
  const InstallJournal& journal = Install().Journal();
  if (!journal.Resumed()) return;
  std::vector<std::string> files = journal.FieldsBefore();
  files.push_back(journal.FilePath());
  files.push_back(machine_.HostsFilePath());
  const std::string wsIni =
      platform::WithTrailingBackslash(form_->At("SoftwareLocation").text) + "WS.INI";
  try {
    if (const auto host = machine_.HostPath(wsIni); host && machine_.FileExists(wsIni)) {
      platform::ProfileFile ini(*host);
      for (const std::string& section : ini.SectionNames()) {
        if (StartsText(section, "UNINSTALL"))
          files.push_back(ini.ReadString(section, "INIFile", ""));
      }
    }
  } catch (const platform::ProfileError&) {
    // Without the accounts' list their folders are not looked at.
  }
  for (const std::string& folder : KeyFolders()) {
    for (const auto& entry : machine_.ListDirectory(folder))
      if (!entry.is_directory) files.push_back(folder + entry.name);
  }
  for (const std::string& file : files) {
    if (file.size() < 3 || file[1] != ':') continue;
    if (const auto host = machine_.HostPath(file)) platform::RemoveStaleTempFiles(*host);
  }
  ui_.LogLine("RESUME the installation interrupted before goes on from its journal");
}

void TSetupForm::DesktopRun() {
  ui::Form& f = *form_;
  const bool keepPrevious = settings_.PreviousFound && !settings_.CreateNewKeys;
  const int type = settings_.InstallType;
  f["Next"].enabled = false;
  f["Prev"].enabled = false;
  saveinstalldir();
  ClearInterruptedWrites();
  ui_.SetBusyCursor(true);
  SelectProgress("InstallProgress", 0);
  if (f["DNS1"].text.empty() && f["DNS2"].text.empty()) f["Quickroute"].checked = false;
  ui_.ProcessMessages();
  StopProduct(false);
  UseFixedPassPhraseWhenEmpty();
  for (const char* button : {"ExitSetup", "Next", "Prev"}) f[button].enabled = false;

  MakeLocations();
  CopyFileScript();
  TickProgress("InstallProgress", 0);
  if (keepPrevious) {
    LogonPreviousUser();
  } else {
    CreateBaseFile();
    TickProgress("InstallProgress", 0);
  }

  SelectProgress("InstallProgress", 1);
  DesktopUtils();
  if (!keepPrevious && settings_.SharedInstaller) {
    const std::string dir = platform::WithTrailingBackslash(settings_.InstallerDir);
    Install().CreateFolderTree(dir);
    Install().WriteIni(dir + "wsscript.txt", "DBINSTALLER", "FILES", f["DataLocation"].text);
  }
  WriteWorkstationKeys();
  TickProgress("InstallProgress", 1);

  SelectProgress("InstallProgress", 2);
  if (type != 5 && type != 8 && !settings_.JoinExistingDatabase) {
    if (!keepPrevious) {
      if (settings_.CreateNewKeys || !settings_.OldVersionFound) {
        CreateBaseKey();
      } else {
        Migrate();
      }
      SaveAuths();
      TickProgress("InstallProgress", 2);
    } else if (settings_.PgpPreferencesSet) {
      CreatePreviousUserPgpKey();
    }
    SaveDefaults();
  }

  SelectProgress("InstallProgress", 3);
  SaveSettings();
  if (settings_.DatabaseOnly) {
    InstallSink sink(Install());
    netconfig::DatabaseComms(*context_, sink);
  }
  if (!keepPrevious) SaveFriends();
  TickProgress("InstallProgress", 3);

  SelectProgress("InstallProgress", 4);
  if (!keepPrevious) {
    ProtectClients();
    TickProgress("InstallProgress", 4);
  }
  if (type != 6 && type != 7 && !ServiceFlavour()) SetStartupEntry();

  f["Next"].enabled = true;
  if (keepPrevious) {
    ShowPage("TabSheet19");
    f["Next"].enabled = false;
    f["Prev"].enabled = false;
  } else {
    NextClick();
  }
  ui_.SetBusyCursor(false);
}

void TSetupForm::ServerRun() {
  ui::Form& f = *form_;
  saveinstalldir();
  ClearInterruptedWrites();
  ui_.ProcessMessages();
  StopProduct(true);
  UseFixedPassPhraseWhenEmpty();
  for (const char* button : {"ExitSetup", "Next", "Prev"}) f[button].enabled = false;

  MakeLocations();
  SelectProgress("NetProgress", 0);
  CreateBaseFile();
  SaveAuths();
  TickProgress("NetProgress", 0);
  SaveDefaults();

  SelectProgress("NetProgress", 1);
  CopyFileScript();
  if (ServiceFlavour()) {
    platform::Processes processes(machine_, context_->SetupDir());
    platform::ServiceManager services(machine_);
    platform::InstallSelfRegisteringService(processes, services, "NimbraSrv.exe", "Nimbra",
                                            "NimbraPost Root Service");
    const std::string command = ShortProgramLocation() + "NimbraSrv.exe -INSTALL";
    const auto started =
        processes.CreateProcess("", command, platform::ShowWindow::Hide, false).Started();
    ui_.LogLine("RUN " + command + " -> " + (started ? "started" : "not started"));
  }
  TickProgress("NetProgress", 1);

  SelectProgress("NetProgress", 2);
  TickProgress("NetProgress", 2);
  KeyManager().SetTableDirectory(
      platform::JoinWindowsPath(f["SoftwareLocation"].text, "PowerTables"));
  if (!settings_.KeyServerOnly) SaveFriends();

  SelectProgress("NetProgress", 3);
  SaveSettings();
  {
    InstallSink sink(Install());
    if (settings_.KeyServerOnly) {
      netconfig::KeyServerComms(*context_, sink);
    } else if (settings_.GatewayServer) {
      netconfig::GatewayComms(*context_, sink);
    } else {
      netconfig::NetworkComms(*context_, sink);
    }
  }
  TickProgress("NetProgress", 3);
  WriteWorkstationKeys();

  SelectProgress("NetProgress", 4);
  if (!settings_.KeyServerOnly) {
    ui::Control& grid = f["NimbraAccounts"];
    for (int row = 1; row < grid.RowCount(); ++row) {
      const std::string name = grid.Cell(0, row);
      const std::string addresses = grid.Cell(1, row);
      if (name.empty() || addresses.empty()) continue;
      f["NetTask"].text = name;
      ui_.ProcessMessages();
      CreateUserKey(name, addresses);
      TickProgress("NetProgress", 4);
    }
  }
  f["Next"].enabled = true;
  ShowPage("TabSheet17");
}

}  // namespace nimbra::setup
