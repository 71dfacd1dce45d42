#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nimbra::setup {

// The wizard's one settings record: installer settings, installation type,
// run flags, previous-installation fields, detected addresses and the page
// list. One instance, owned by the wizard for the whole run.
struct InstallSettings {
  // From the installer settings file.
  std::string ProductType = "NimbraPost 4";
  std::string Release = "4.x";
  std::string Source = "Generic";
  int InstallType = 0;
  int RunQuantity = 1;
  bool AsService = false;
  std::string Sequence = "04.00.00";
  std::string RunAfter;
  std::string RunAfterQuit;
  std::string RunAndWaitAfter;
  std::string RunAndWaitAfterQuit;
  std::string DatabaseFiles;
  std::string TrayMenu = "255";
  std::vector<std::string> StartMenuNames;
  std::vector<std::string> StartMenuTargets;
  std::string DnsDefault1;
  std::string DnsDefault2;
  std::string KeyServer1;
  std::string KeyServer2;
  std::string RestartError =
      "NimbraPost Could Not be Started.\r\nAfter installation restart your machine to activate "
      "NimbraPost";
  int KeyValidityDays = 365;
  std::string CertificationAddress = "certify@nimbrapost.example";
  std::string HelpFile = "Help.hlp";
  std::string ThirdPartyDll = "ExtAuth.dll";
  bool ThirdPartyAvailable = false;
  std::string ScriptName = "Script.txt";
  std::string ProgramsFolder;

  // Earlier installations.
  bool PreviousFound = false;
  std::string PreviousVersion;
  std::string PreviousInstallDir;
  std::string PreviousDataDir;
  std::string PreviousGroup;
  std::string PreviousSequence = "03.00.00";
  bool OldVersionFound = false;
  std::string OldVersionText;  // "Version" of the older generation's "SAB.INI"
  std::string OldInstallDir;   // the older generation's directory, ending in "\"

  // Run flags.
  bool CreateNewKeys = false;
  // The PGP compatibility page asked for a PGP key pair.
  bool PgpPreferencesSet = false;
  bool JoinExistingDatabase = false;
  bool SharedInstaller = false;
  bool GatewayServer = false;
  bool KeyServerOnly = false;
  bool DatabaseOnly = false;
  // The user chose to send the entry edition to correspondents now.
  bool Distribute = false;
  // A correspondent's key was imported from the distribution record.
  bool FromFriend = false;
  // The update request has been queued (it is sent once per run).
  bool UpdateRequestSent = false;

  std::vector<std::string> DetectedAddresses;

  // Page list: component names; "" is an empty entry (index 0 and the end of
  // each sequence).
  std::vector<std::string> PageList;
  int PageIndex = 1;
  bool MayLeavePage = true;

  std::string InstallerDir;
  std::string UserNameSaved;

  // Clears the run flags and the lists at wizard creation.
  void ResetFlags();
};

// The edition word of an installation type ("Sapling" for 0 ... "Client" for
// 5); empty for the types that have none.
std::string EditionWord(int installType);

}  // namespace nimbra::setup
