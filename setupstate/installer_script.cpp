#include "setupstate/installer_script.h"

#include "core/strings.h"

namespace nimbra::setup {

namespace {

// Every integer key of the settings file, the "NT" switch included: the
// whole value (blanks and one pair of quotes around it removed) must be a
// decimal number, otherwise the key's default applies, so that a typo such
// as "2x" or "$3" never picks another installation type.
int ReadNumber(const platform::ProfileText& script, std::string_view section, std::string_view key,
               int defaultValue) {
  return TryDecimalToInt(script.ReadString(section, key, "")).value_or(defaultValue);
}

}  // namespace

void ReadInstallerSettings(const platform::ProfileText& script, InstallSettings& s) {
  const InstallSettings d;
  s.ProductType = script.ReadString("PRODUCT", "Installer", d.ProductType);
  s.Release = script.ReadString("PRODUCT", "Release", d.Release);
  s.Source = script.ReadString("PRODUCT", "Source", d.Source);
  s.InstallType = ReadNumber(script, "PRODUCT", "RunType", 0);
  s.RunQuantity = ReadNumber(script, "PRODUCT", "RunQty", 1);
  s.AsService = ReadNumber(script, "PRODUCT", "NT", 0) != 0;
  s.Sequence = script.ReadString("PRODUCT", "SEQ", d.Sequence);
  s.TrayMenu = script.ReadString("PRODUCT", "TRAYMENU", d.TrayMenu);

  s.RunAfter = script.ReadString("DBINSTALLER", "RUNAFTER", "");
  s.RunAfterQuit = script.ReadString("DBINSTALLER", "RUNAFTERQUIT", "");
  s.RunAndWaitAfter = script.ReadString("DBINSTALLER", "RUNANDWAITAFTER", "");
  s.RunAndWaitAfterQuit = script.ReadString("DBINSTALLER", "RUNANDWAITAFTERQUIT", "");
  s.DatabaseFiles = script.ReadString("DBINSTALLER", "FILES", "");

  s.HelpFile = script.ReadString("THIRDPARTY", "Help", d.HelpFile);
  s.ThirdPartyDll = script.ReadString("ThirdParty", "Dll", d.ThirdPartyDll);
  s.ThirdPartyAvailable = script.ReadBool("ThirdParty", "Available", false);

  s.StartMenuNames.clear();
  s.StartMenuTargets.clear();
  for (const auto& name : script.KeyNames("STARTMENU")) {
    s.StartMenuNames.push_back(name);
    s.StartMenuTargets.push_back(script.ReadString("STARTMENU", name, "NimbraMGR.exe"));
  }

  s.DnsDefault1 = script.ReadString("Defaults", "DNS1", "");
  s.DnsDefault2 = script.ReadString("Defaults", "DNS2", "");
  s.KeyServer1 = script.ReadString("Defaults", "KEYSERVER1", "");
  s.KeyServer2 = script.ReadString("Defaults", "KEYSERVER2", "");
  s.RestartError = script.ReadString("Defaults", "Restart Error", d.RestartError);
  s.KeyValidityDays = ReadNumber(script, "Defaults", "KeysExpires", 365);
  s.CertificationAddress =
      script.ReadString("Defaults", "Registration Server", d.CertificationAddress);
}

void ReadInstallerSettings(std::string_view scriptText, InstallSettings& settings) {
  ReadInstallerSettings(platform::ProfileText(scriptText), settings);
}

}  // namespace nimbra::setup
