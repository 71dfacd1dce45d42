#include "core/strings.h"
#include "platform/machine_values.h"
#include "platform/registry/registry.h"
#include "setup/dns.h"
#include "setup/referral.h"
#include "setup/tsetup_form.h"
#include "setupstate/installer_script.h"

namespace nimbra::setup {

void TSetupForm::RightsCheck() {
  try {
    auto run = machine_.Reg().OpenKey(platform::RootKey::LocalMachine,
                                      "Software\\Microsoft\\Windows\\CurrentVersion\\Run", true);
    run->WriteString("", "");
    auto menu =
        machine_.Reg().OpenKey(platform::RootKey::ClassesRoot,
                               "\\*\\shellex\\ContextMenuHandlers\\NimbraPostDesktopMenu", true);
    menu->WriteString("", "");
    // Whether the registry could be saved, without saving: the two values are
    // committed with the first completed step, and a run that stops before
    // one leaves the registry as it was.
    machine_.Reg().CheckSave();
  } catch (const platform::ERegistryException&) {
    context_->Message(
        "You do not have sufficient Windows Access rights to install this program. Please "
        "contact your system administrator.");
    ui_.EndProcess(ui::kExitStopped, "no rights");
  }
}

namespace {

std::string DamageText(const platform::HiveDamage& damage) {
  std::string text =
      "The registry file " + damage.file.string() + " is damaged at line " +
      std::to_string(damage.line) + " (" + damage.what + "; " + std::to_string(damage.lines) +
      " damaged lines in all): what it holds there is ignored and defaults are used.";
  if (damage.keptAs.empty())
    return text + " The damaged file could not be kept aside and is not saved over.";
  return text + " The damaged file is kept as " + damage.keptAs.string() + ".";
}

}  // namespace

void TSetupForm::FormCreate() {
  ui_.SetMainForm(*form_);
  // Unreadable registry keys are ignored and their defaults stay; the log
  // names the damage.
  for (const platform::HiveDamage& damage : machine_.Reg().Damage())
    ui_.LogLine("MESSAGE " + DamageText(damage));
  StartCursorSampler();
  RightsCheck();

  systemDirectory_ = machine_.SystemDirectory().substr(0, 200);
  const std::string& dir = context_->SetupDir();
  if (machine_.FileExists(dir + "headlogo.bmp")) form_->At("HeadLogo").text = dir + "headlogo.bmp";
  if (machine_.FileExists(dir + "splash.bmp")) form_->At("Splash").text = dir + "splash.bmp";

  ui::Form& prep = Dialog("TPrepForm");
  try {
    ui_.ShowWindow(prep, true);
    referral_ = ReferralLookup(machine_);
  } catch (const std::exception&) {
    referral_.clear();  // a failed look-up finds no referral
  }
  ui_.ShowWindow(prep, false);

  ui::Form& backdrop = Dialog("TBackDropForm");
  if (machine_.FileExists(dir + "backlogo.bmp"))
    backdrop.At("BackLogo").text = dir + "backlogo.bmp";
  ui_.ShowWindow(backdrop, true);
  settings_.ResetFlags();

  const std::string drive = systemDirectory_.substr(0, 2);
  form_->At("SoftwareLocation").text = drive + "\\Program Files\\NimbraPost";
  form_->At("DataLocation").text = drive + "\\Program Files\\NimbraPost\\Data";

  // The settings file; its "Release" is needed by the older generation's
  // uninstaller message.
  settings_.ScriptName = machine_.FileExists(dir + "Script.txt") ? "Script.txt" : "WsScript.txt";
  std::string script;
  try {
    if (machine_.FileExists(dir + settings_.ScriptName)) {
      script = machine_.ReadFile(dir + settings_.ScriptName);
    }
  } catch (const platform::FileError&) {
    script.clear();  // an unreadable file counts as missing: every key its default
  }
  const platform::ProfileText scriptText(script);
  settings_.Release = scriptText.ReadString("PRODUCT", "Release", "4.x");

  if (OldVersion()) ui_.EndProcess(ui::kExitStopped, "old version not removed");

  ReadInstallerSettings(scriptText, settings_);
  if (!referral_.empty()) settings_.Source = referral_;
  ui_.LogLine("SETTINGS " + settings_.ScriptName +
              " RunType=" + std::to_string(settings_.InstallType));

  form_->At("ReleaseLabel").text = settings_.Release;
  form_->At("ETitle").text = settings_.ProductType;
  RenewKeyManager();

  if (machine_.IsNT()) {
    settings_.ProgramsFolder =
        platform::ReadRegString(
            machine_.Reg(), platform::RootKey::LocalMachine,
            "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
            "Common Programs")
            .value_or("");
  } else {
    settings_.ProgramsFolder =
        platform::ReadRegString(
            machine_.Reg(), platform::RootKey::CurrentUser,
            "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs")
            .value_or("");
  }
  settings_.ProgramsFolder += "\\";

  std::string dns1 = DiscoverNameServers(machine_.Reg());
  std::string dns2;
  SplitNameServers(dns1, dns2);
  if (!settings_.DnsDefault1.empty()) dns1 = settings_.DnsDefault1;
  if (!settings_.DnsDefault2.empty()) dns2 = settings_.DnsDefault2;
  form_->At("DNS1").text = dns1;
  form_->At("DNS2").text = dns2;

  BuildPagesForType(settings_.InstallType);
  if (settings_.InstallType == 3 || settings_.InstallType == 4) RetitleDataPages();
  if (settings_.InstallType == 999) ui_.EndProcess(ui::kExitFinished, "RunType 999");

  LoadPrevSettings();
  EditionCheck();
}

void TSetupForm::RetitleDataPages() {
  ui::Form& f = *form_;
  f["DataHeading"].text = "Enter a Location for the NimbraPost Primary Data Files";
  RetitlePage("TabSheet6", "DataBox", "NimbraPost Primary Data Files");
  f["DataHint"].text = "Please Select a Location for your NimbraPost Primary Data Files";
  f["SharedDataHeading"].text = "Enter a Location for the NimbraPost Secondary Data Files";
  RetitlePage("TabSheet6a", "SharedDataBox", "NimbraPost Secondary Data Files");
  f["SharedDataHint"].text = "Please Select a Location for your NimbraPost Secondary Data Files";
  f["SharedDataLocation"].text = f["DataLocation"].text + "Secondary\\";
}

void TSetupForm::EditionCheck() {
  if (!settings_.PreviousFound) return;
  const std::string& edition = settings_.PreviousVersion;
  auto containsAny = [&](std::initializer_list<std::string_view> words) {
    for (auto word : words) {
      if (edition.find(word) != std::string::npos) return true;
    }
    return false;
  };
  if (settings_.InstallType == 0 &&
      !containsAny({"Sapling", "Seedling", "Bramble", "Desktop", "Thicket"})) {
    context_->Message(
        "You are updating a previous server version of NimbraPost using an NimbraPost Sapling "
        "installer.\r\nThis is not compatible with the previous version. Please download an "
        "NimbraPost installer,\r\nthat matches your current version.");
    ui_.EndProcess(ui::kExitStopped, "incompatible edition");
  }
  if ((settings_.InstallType == 3 || settings_.InstallType == 4) &&
      !containsAny({"Network", "Glimpse", "Gateway", "Palisade"})) {
    context_->Message(
        "You are updating a previous version of workstation version of NimbraPost using an "
        "NimbraPost Server installer.\r\nThis is not compatible with the previous version. "
        "Please download an NimbraPost installer,\r\nthat matches your current version.");
    ui_.EndProcess(ui::kExitStopped, "incompatible edition");
  }
}

}  // namespace nimbra::setup
