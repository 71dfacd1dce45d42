#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/nimbra_crypto.h"
#include "platform/machine.h"
#include "platform/processes/library.h"
#include "setupstate/install_settings.h"
#include "setupstate/wizard_context.h"
#include "ui/form.h"
#include "ui/ui.h"

namespace nimbra::detect {
class SearchPages;
class MailboxReader;
}  // namespace nimbra::detect
namespace nimbra::netconfig {
class ServerPages;
}  // namespace nimbra::netconfig
namespace nimbra::pgp {
class ToolkitBinding;
class PgpFileOps;
class PgpPage;
}  // namespace nimbra::pgp

namespace nimbra::setup {

class InstallJournal;  // setup/install_ops.h
class InstallOps;

// The wizard: its window model, its companion dialogs, the settings record
// and the page navigation. Page handlers of the other subsystems are
// registered on Context() and called by NextClick and PrevClick.
class TSetupForm {
 public:
  // setupDir: Windows path of the folder holding the setup program and the
  // installer script; programName: the setup program's own file name.
  TSetupForm(ui::Ui& ui, platform::Machine& machine, std::string setupDir,
             std::string programName = "SETUP.EXE");
  ~TSetupForm();
  TSetupForm(const TSetupForm&) = delete;
  TSetupForm& operator=(const TSetupForm&) = delete;

  // Wizard creation: rights check, settings, earlier installations, DNS and
  // the page sequence. Ends the process (ui::ProcessEnd) at its fatal stops.
  void FormCreate();

  ui::Form& Form() { return *form_; }
  ui::Form& Dialog(std::string_view name);  // "TCalyTimeout", "TSaveData", ...
  InstallSettings& Settings() { return settings_; }
  WizardContext& Context() { return *context_; }
  ui::Ui& Ui() { return ui_; }
  platform::Machine& Machine() { return machine_; }
  platform::LibraryLoader& Libraries() { return *libraries_; }
  // The drive, search and check-list pages, with the search drives.
  detect::SearchPages& SearchPages() { return *searchPages_; }
  // The server editions' pages, with the limits of their connection tests.
  netconfig::ServerPages& ServerPages() { return *serverPages_; }
  // The PGP toolkit binding (the key manager makes PGP keys with it).
  pgp::ToolkitBinding& PgpToolkit() { return *pgpToolkit_; }
  // The key manager component shared by the whole run (created by FormCreate).
  keys::TNimbraMGR& KeyManager();
  // Replaces the key manager component by a fresh one (the installation run
  // and the import of older keys log on through a new component).
  keys::TNimbraMGR& RenewKeyManager();

  // Key creation of the installation run: the desktop user's keys, and one
  // key per user of the server editions' accounts grid.
  void CreateBaseKey();
  // The 200 ms cursor timer, started with the wizard, and one tick of it.
  void StartCursorSampler();
  void Timer1Timer();
  void CreateUserKey(const std::string& userName, const std::string& addresses);
  // Imports the certification keys ("NBKeys.NBK" of the installer's folder)
  // when the key manager can log on as the new user (boxes UserName and
  // NewPass); errors are ignored.
  void SaveAuths();
  // Imports the correspondent's key of "Distrib.ini" in the Windows folder
  // (left by a distribution) and sets FromFriend when it was imported.
  void SaveFriends();
  // Queues the "Update Requests" message to the certification server as
  // "Messages\000000000000.msg" in the program location (once per run;
  // not for types 5 to 8 nor for a client of an existing database).
  void RegServer();
  // The body lines of that message: edition, source, flags, new keys.
  std::vector<std::string> UpdateRequestBody();
  // The free updates page: "Yes." (the default) or "No.".
  bool FreeUpdatesChosen();

  // The operations of the installation run, journaled in the program
  // location (created at first use from "SoftwareLocation").
  InstallOps& Install();
  // The program, data and shared data locations with their parents, and the
  // program location's own folders; FileError ("I/O error 5") when one of
  // the latter cannot be made.
  void MakeLocations();
  // The five copy passes of the installer script (the database-only part
  // when DatabaseOnly is set), then the control library's registration.
  // Fixes InstallerDir. FileError when the script cannot be read.
  void CopyFileScript();
  // WS.INI's base content, then the users file (unless the type has none or
  // the run joins an existing database; asks before overwriting one).
  void CreateBaseFile();
  // The key manager's "Default" policy and "*@*" content rule, local.dns
  // from the installer script, and FormatUsersFile.
  void SaveDefaults();
  // Brings the key manager's users file to format 4.
  void FormatUsersFile();
  // The product key's location values (the start of every installation run).
  void saveinstalldir();
  // The program group's shortcuts, the uninstall entry, the removal of the
  // per-user key, the product key values and the file types.
  void SaveSettings();
  // One shortcut in the program group: name (".lnk" added when missing), a
  // target in the program location, arguments. ELinkError, or FileError when
  // the group folder cannot be made.
  void AddStartMenu(const std::string& arguments, const std::string& name,
                    const std::string& target);
  // The shell extension of the desktop utilities (types 1, 2 and 5).
  void DesktopUtils();
  // The start-up entry of the desktop flavour.
  void SetStartupEntry();
  // The external authentication settings, then "Update.reg" of the setup folder.
  void SaveThirdParty();
  // The installer's ".reg" import (setup/update_reg.h) with its messages.
  void ImportRegistryFile(const std::string& path);

  // Navigation.
  void NextClick();
  void PrevClick();
  void ExitSetupClick();
  int GetPageNo() const;
  void ShowPage(std::string_view page);

  // Page builders: each clears PageList and fills it.
  void Standardpages();
  void Thicketpages();
  void ThicketGatewaypages();
  void Canopypages();
  void Clientpages();
  void Orvapages();
  void OrvaClientpages();
  void Gatewaypages();
  void KeyServerpages();
  void Databasepages();
  void LikeClientpages();
  void LikeClientpagesShared();
  void Overwritepages();
  void OldVersionpages();
  // The builder of the installation type (types 0 to 8); false for any other.
  bool BuildPagesForType(int installType);

  // Earlier installations: true from OldVersion when the user chose to stop.
  bool OldVersion();
  void LoadPrevSettings();

  // Points the e-mail programs of the checked accounts at the proxy's local
  // addresses (detect/client_protection.h), a step of the desktop run.
  void ProtectClients();

  // Summaries of the ready-to-install page.
  std::vector<std::string> InstallSummary();
  std::vector<std::string> DatabaseSummary();

  // The installation runs: the desktop run (entry of TabSheet15) and the
  // server run (entry of TabSheet26), each in its fixed order of steps.
  void DesktopRun();
  void ServerRun();
  // Stops the product's proxy, service and mail queue before files are
  // copied; warns when the queue stays up and goes on.
  void StopProduct(bool serverRun);
  // The service flavour: the setup program "SVCINST.EXE", or AsService.
  bool ServiceFlavour() const;
  // The import of the older generation's keys (the desktop run, after "Use
  // information from the previous version" with only an older generation).
  void Migrate();
  // The older logon box with its directory: asks for the folder when it
  // holds no "SAB.INI", lists the users; Cancel when there are none.
  ui::ModalResult ShowOldLogon(const std::string& directory);

  // The bounded waits of stopping and starting the product.
  struct StopLimits {
    std::chrono::milliseconds service = std::chrono::seconds(20);
    int desktopQuitAttempts = 8;
    std::chrono::milliseconds desktopQuitInterval = std::chrono::seconds(1);
    std::chrono::milliseconds serverWindow = std::chrono::seconds(15);
    std::chrono::milliseconds serviceStartDelay = std::chrono::seconds(15);
  };
  StopLimits stopLimits;
  // Log-on attempts as the user of a kept installation; 0: until it succeeds
  // (a person), the unattended run sets a limit.
  int logonAttemptLimit = 0;

  // How long the wizard waits for a window of another program to close (the
  // older generation's uninstaller) before it goes on.
  std::chrono::milliseconds windowWaitLimit = std::chrono::seconds(15);

 private:
  void WireControls();
  void WriteUsersFile();
  void WriteLocalDns();
  void AddKeyManagerDefaults();
  // The short path of the program location, ending in "\".
  std::string ShortProgramLocation();
  void RegisterPageHandlers();
  void SetPages(std::initializer_list<std::string_view> pages, bool serverTail);
  void OrvaTexts();
  void RetitleDataPages();
  void RetitlePage(std::string_view page, std::string_view box, const std::string& title);
  void EditionCheck();
  void RightsCheck();

  // Page actions of the common pages.
  void LicenceEnter();
  void LicenceExit();
  void ProgramLocationExit();
  void DataLocationExit();
  void SharedDataLocationExit();
  void WorkstationFilesExit();
  void AddressesEnter();
  void AddressesExit();
  void AddAddressClick();
  void SetDefaultClick();
  void DeleteAddressClick();
  void PasswordEnter();
  void PasswordExit();
  void CompletionEnter();
  void FinishClick();
  void RunPostInstall(const std::string& program, bool wait);
  // Steps of the installation runs.
  void SelectProgress(const char* list, int item);
  void TickProgress(const char* list, int item);
  void UseFixedPassPhraseWhenEmpty();
  void WriteWorkstationKeys();
  void LogonPreviousUser();
  void CreatePreviousUserPgpKey();
  void MakeBaseKeys();
  void ClearInterruptedWrites();
  std::vector<std::string> KeyFolders();
  bool KeyStep(const std::string& what, const std::string& owner,
               const std::function<void()>& make);
  bool QuitProductWindow(const std::string& title, bool serverRun);
  void ServerTypeClick(std::string_view button);
  void ServerTypePoint(std::string_view button);
  void MigrationEnter();
  // The distribution page.
  void TabSheet16Enter();
  void StartSTFClick();
  void NoSTFClick();
  void LeaveDistributionPage();
  void OkMigrateClick();
  void NewInstallClick();
  // The random-data page: the security-level page's exit starts the
  // gathering, mouse moves fill the shared sample buffer.
  void TabSheet9Exit();
  void MouseScribbleMouseMove(int shift, int x, int y);
  void TabSheet10Exit();
  void BrowseProgramLocation();
  void BrowseDataLocation(std::string_view control);
  bool AskJoinDatabase(const std::string& location);

  ui::Ui& ui_;
  platform::Machine& machine_;
  InstallSettings settings_;
  std::unique_ptr<ui::Form> form_;
  std::vector<std::unique_ptr<ui::Form>> dialogs_;
  std::unique_ptr<WizardContext> context_;
  std::unique_ptr<platform::LibraryLoader> libraries_;
  std::unique_ptr<pgp::ToolkitBinding> pgpToolkit_;  // loads through libraries_
  std::unique_ptr<keys::TNimbraMGR> manager_;
  std::unique_ptr<InstallJournal> journal_;
  std::unique_ptr<InstallOps> installOps_;
  std::shared_ptr<detect::SearchPages> searchPages_;
  std::shared_ptr<netconfig::ServerPages> serverPages_;
  std::unique_ptr<detect::MailboxReader> mailboxReader_;  // reads with libraries_
  std::unique_ptr<pgp::PgpFileOps> pgpFiles_;
  std::shared_ptr<pgp::PgpPage> pgpPage_;
  int cursorTimer_ = 0;
  int uninstallRounds_ = 0;
  static constexpr int kMaxUninstallRounds = 3;
  ui::Point lastCursor_;  // starts at (0, 0), as the form's fields do
  std::string systemDirectory_;
  std::string referral_;
};

}  // namespace nimbra::setup
