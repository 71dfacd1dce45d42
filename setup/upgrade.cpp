#include "keys/product_location.h"
#include "platform/processes/process.h"
#include "platform/processes/window.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/registry.h"
#include "setup/tsetup_form.h"
#include "ui/pumped_wait.h"
#include "ui/questions.h"

namespace nimbra::setup {

namespace {

struct RegValues {
  bool found = false;
  std::map<std::string, std::string> values;
};

// The string values of a key; a missing key is not found, a missing value or
// one of another type is left out. A registry that cannot be read raises.
RegValues ReadKey(platform::Machine& machine, platform::RootKey root, std::string_view key,
                  std::initializer_list<const char*> names) {
  RegValues out;
  auto k = machine.Reg().OpenKey(root, key, false);
  if (!k) return out;
  out.found = true;
  for (const char* name : names) {
    if (!k->ValueExists(name)) continue;
    const platform::RegType type = k->GetValueType(name);
    if (type == platform::RegType::String || type == platform::RegType::ExpandString)
      out.values[name] = k->ReadString(name);
  }
  return out;
}

}  // namespace

bool TSetupForm::OldVersion() {
  auto older = ReadKey(machine_, platform::RootKey::CurrentUser,
                       "\\Software\\VRX\\NimbraPost\\Version", {"Version", "InstallDir"});
  if (older.values["Version"].empty()) return false;
  const ui::Question question{
      std::string(ui::q::OldVersionDetected),
      "An old Version of NimbraPost has been detected on this Machine.\r\nIt should be "
      "uninstalled before proceding.\r\nNimbraPost may already be inactive on this "
      "machine.\r\nClick Okay to Uninstall NimbraPost,\r\nclick Ignore to proceed,\r\nClick Cancel "
      "to stop the set-up",
      context_->MessageCaption()};
  const ui::Answer answer = ui_.Ask(question, ui::Buttons::OkCancelIgnore);
  if (answer == ui::Answer::Cancel) return true;
  const std::string dir = older.values["InstallDir"];
  if (answer == ui::Answer::Ok) {
    // Run the older generation's uninstaller unless its wizard is already up,
    // wait for its wizard to close and look again.
    const char* kWizardTitle = "NimbraPost Auto Setup";
    platform::Windows windows(machine_.Root());
    if (!windows.FindWindow(std::nullopt, kWizardTitle)) {
      const std::string program =
          dir + (!dir.empty() && dir.back() == '\\' ? "" : "\\") + "setup.exe";
      const auto shortPath = machine_.ShortPath(program);
      platform::Processes processes(machine_, context_->SetupDir());
      const bool started = shortPath && processes.WinExec(*shortPath + " UNI",
                                                          platform::ShowWindow::ShowNormal) > 31;
      ui_.LogLine("RUN " + program + " UNI -> " + (started ? "started" : "not started"));
      if (!started) {
        context_->Message("The NimbraPost Uninstaller in directory " + dir + "can not be started." +
                          "\r\n" +
                          "Please Un-install the Old NimbraPost manually or choice Ignore to "
                          "continue the Installing version " +
                          settings_.Release);
        ui_.EndProcess(ui::kExitStopped, "old version uninstaller not started");
      }
    }
    const bool closed = ui::WaitPumping(
        ui_, windowWaitLimit, [&] { return windows.FindWindow(std::nullopt, kWizardTitle) != 0; });
    if (!closed) {
      ui_.LogLine("WAIT the window \"" + std::string(kWizardTitle) + "\" is still open after " +
                  std::to_string(windowWaitLimit.count()) +
                  " ms; looking for the old version again");
    }
    // An uninstaller that leaves the older version in place would be offered
    // again and again; after a few rounds the set-up stops instead.
    if (++uninstallRounds_ > kMaxUninstallRounds) {
      ui_.EndProcess(ui::kExitStopped, "old version still present after its uninstaller ran");
    }
    return OldVersion();
  }
  settings_.OldVersionFound = true;
  settings_.OldInstallDir = dir;
  try {
    if (auto host = machine_.HostPath(dir + "SAB.INI")) {
      settings_.OldVersionText =
          platform::ProfileFile(*host).ReadString("Registration", "Version", "");
    }
  } catch (const platform::ProfileError&) {
    // An unreadable settings file of the older generation names no version.
  }
  return false;
}

void TSetupForm::LoadPrevSettings() {
  const char* key = keys::kProductKey;
  const std::initializer_list<const char*> names = {"Version", "InstallDir", "DataDir", "GroupName",
                                                    "Sequence"};
  auto previous = ReadKey(machine_, platform::RootKey::LocalMachine, key, names);
  if (!previous.found) previous = ReadKey(machine_, platform::RootKey::CurrentUser, key, names);
  auto& v = previous.values;
  settings_.PreviousVersion = v["Version"];
  settings_.PreviousInstallDir = v["InstallDir"];
  settings_.PreviousDataDir = v["DataDir"];
  settings_.PreviousGroup = v["GroupName"];
  settings_.PreviousSequence = v["Sequence"].empty() ? "03.00.00" : v["Sequence"];
  if (settings_.PreviousVersion.empty()) return;
  ui::Form& f = *form_;
  f["SoftwareLocation"].text = settings_.PreviousInstallDir;
  f["DataLocation"].text = settings_.PreviousDataDir;
  f["SharedDataLocation"].text = settings_.PreviousDataDir;
  f["ProgGroupName"].text = settings_.PreviousGroup;
  settings_.PreviousFound = true;
}

void TSetupForm::MigrationEnter() {
  for (const char* button : {"ExitSetup", "Next", "Prev"}) form_->At(button).enabled = false;
}

void TSetupForm::OkMigrateClick() {
  ui::Form& f = *form_;
  settings_.CreateNewKeys = false;
  if (f["DNS1"].text.empty() && f["DNS2"].text.empty()) {
    try {
      if (auto host = machine_.HostPath(f["SoftwareLocation"].text + "WS.INI")) {
        platform::ProfileFile ini(*host);
        f["DNS1"].text = ini.ReadString("DNS", "Server1", f["DNS1"].text);
        f["DNS2"].text = ini.ReadString("DNS", "Server2", f["DNS2"].text);
      }
    } catch (const platform::ProfileError&) {
      // An unreadable WS.INI leaves the DNS fields as they are.
    }
  }
  if (settings_.PreviousFound) {
    ShowPage("TabSheet14");
    Overwritepages();
    f["InstallSet"].SetLines({"Installation", "------------", "Type = " + settings_.ProductType,
                              "Version = " + settings_.Release,
                              "Updating From = " + settings_.PreviousVersion,
                              "Source = " + settings_.Source, " ",
                              "Install Software Directory = " + f["SoftwareLocation"].text,
                              "Data Directory = " + f["DataLocation"].text,
                              "Program Group = " + f["ProgGroupName"].text});
    f["Next"].text = "&Continue";
    f["Next"].enabled = true;
    f["ExitSetup"].enabled = true;
    f["Prev"].enabled = false;
    return;
  }
  // Only an older generation: its sequence starts with the close-windows page.
  OldVersionpages();
  ShowPage("TabSheet3");
  for (const char* button : {"ExitSetup", "Next", "Prev"}) f[button].enabled = true;
}

void TSetupForm::NewInstallClick() {
  const int licence = [&] {
    for (std::size_t i = 0; i < settings_.PageList.size(); ++i) {
      if (settings_.PageList[i] == "TabSheet2") return static_cast<int>(i);
    }
    return -1;
  }();
  if (licence >= 0 && licence + 1 < static_cast<int>(settings_.PageList.size()) &&
      !settings_.PageList[static_cast<std::size_t>(licence) + 1].empty()) {
    ShowPage(settings_.PageList[static_cast<std::size_t>(licence) + 1]);
  }
  settings_.CreateNewKeys = true;
  for (const char* button : {"ExitSetup", "Next", "Prev"}) form_->At(button).enabled = true;
}

}  // namespace nimbra::setup
