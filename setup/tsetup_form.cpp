#include "setup/tsetup_form.h"

#include "core/strings.h"
#include "detect/client_protection.h"
#include "detect/mailbox_library.h"
#include "detect/mailbox_reader.h"
#include "detect/search_pages.h"
#include "netconfig/server_pages.h"
#include "pgp/pgp_page.h"
#include "pgp/toolkit_library.h"
#include "platform/processes/library_search.h"
#include "setup/install_ops.h"
#include "ui/setup_form.h"

namespace nimbra::setup {
namespace {

// The PGP page's machine changes, as journaled installation operations.
class InstallPgpFiles : public pgp::PgpFileOps {
 public:
  explicit InstallPgpFiles(TSetupForm& wizard) : wizard_(wizard) {}
  bool CopyInto(std::string_view sourceDir, std::string_view name,
                std::string_view destDir) override {
    return wizard_.Install().CopyInto(sourceDir, name, destDir);
  }
  bool Rename(std::string_view from, std::string_view to) override {
    return wizard_.Install().Rename(from, to);
  }
  bool WriteFile(std::string_view path, std::string_view content) override {
    return wizard_.Install().WriteFile(path, content);
  }

 private:
  TSetupForm& wizard_;
};

}  // namespace

TSetupForm::TSetupForm(ui::Ui& ui, platform::Machine& machine, std::string setupDir,
                       std::string programName)
    : ui_(ui), machine_(machine), form_(ui::MakeSetupForm()) {
  // The companion windows, in the order the program creates them.
  dialogs_.push_back(ui::MakeSaveDataForm());
  dialogs_.push_back(ui::MakeCalyTimeoutForm());
  dialogs_.push_back(ui::MakePrepForm());
  dialogs_.push_back(ui::MakeTestInstallForm());
  dialogs_.push_back(ui::MakeBackDropForm());
  dialogs_.push_back(ui::MakeOldLogonForm());
  context_ = std::make_unique<WizardContext>(*form_, ui_, machine_, settings_, std::move(setupDir),
                                             std::move(programName));
  libraries_ = std::make_unique<platform::LibraryLoader>(
      platform::SearchPathFor(machine_, context_->SetupDir()), platform::ResolverFor(machine_));
  form_->onPageShown = [this](const std::string& page) { ui_.LogLine("PAGE " + page); };
  WireControls();
  RegisterPageHandlers();
}

TSetupForm::~TSetupForm() {
  if (cursorTimer_) ui_.StopTimer(cursorTimer_);
}

keys::TNimbraMGR& TSetupForm::KeyManager() {
  if (!manager_) RenewKeyManager();
  return *manager_;
}

keys::TNimbraMGR& TSetupForm::RenewKeyManager() {
  manager_.reset();
  manager_ = std::make_unique<keys::TNimbraMGR>(machine_, ui_, *libraries_, context_->SetupDir());
  manager_->pgpKeys = pgpToolkit_.get();
  return *manager_;
}

// The 200 ms cursor sampler: while fewer than 100 samples are held, each new
// cursor position adds the byte (x low nibble << 4) | (y low nibble) to the
// shared sample buffer. The window is disabled for the length of a tick.
void TSetupForm::StartCursorSampler() {
  if (!cursorTimer_) cursorTimer_ = ui_.StartTimer(200, [this] { Timer1Timer(); });
}

void TSetupForm::Timer1Timer() {
  form_->enabled = false;
  try {
    const ui::Point at = ui_.CursorPos();
    const bool moved = lastCursor_.x != at.x || lastCursor_.y != at.y;
    auto& samples = context_->mouseSamples;
    if (moved && samples.size() < WizardContext::kMouseSamplesWanted) {
      samples.push_back(static_cast<std::uint8_t>(((at.x & 15) << 4) | (at.y & 15)));
    }
    lastCursor_ = at;
  } catch (const std::exception&) {
    // A failed tick is dropped; the window is enabled again below.
  }
  form_->enabled = true;
}

void TSetupForm::ProtectClients() {
  // The installer script is the one beside the setup program, the copy the
  // wizard read its settings from.
  //
  // Each account is a journaled step. One an interrupted installation
  // finished is not done again when its writes were files, which outlived
  // the interruption; one kept in the registry is done again, since the
  // registry reaches the disk only when Finish saves it.
  InstallJournal& journal = Install().Journal();
  const auto step = [&](const std::string& name, bool onDisk, const std::function<void()>& work) {
    const std::vector<std::string> fields = {name};
    if (onDisk) {
      for (const auto& done : journal.DoneBefore("CLIENT")) {
        if (done == fields) {
          ui_.LogLine("CLIENT " + name + " protected by the interrupted installation");
          return;
        }
      }
    }
    const int n = journal.Begin("CLIENT", fields);
    work();
    journal.Done(n, true);
  };
  detect::ProtectClients(searchPages_->Detect(), *form_, searchPages_->WsIniFolder(),
                         context_->SetupDir() + settings_.ScriptName, step);
}

ui::Form& TSetupForm::Dialog(std::string_view name) {
  for (auto& dialog : dialogs_) {
    if (SameText(dialog->Name(), name)) return *dialog;
  }
  throw ui::UiError("No dialog " + std::string(name));
}

void TSetupForm::WireControls() {
  ui::Form& f = *form_;
  f["Next"].onClick = [this] { NextClick(); };
  f["Prev"].onClick = [this] { PrevClick(); };
  f["ExitSetup"].onClick = [this] { ExitSetupClick(); };
  f["Finish"].onClick = [this] { FinishClick(); };
  f["AddAddress"].onClick = [this] { AddAddressClick(); };
  f["SetDefault"].onClick = [this] { SetDefaultClick(); };
  f["DeleteAddress"].onClick = [this] { DeleteAddressClick(); };
  f["EmailAddrs"].onClick = [this] { form_->At("SetDefault").enabled = true; };
  f["SoftwareBrowse"].onClick = [this] { BrowseProgramLocation(); };
  f["DataBrowse"].onClick = [this] { BrowseDataLocation("DataLocation"); };
  f["SharedDataBrowse"].onClick = [this] { BrowseDataLocation("SharedDataLocation"); };
  f["WSFilesBrowse"].onClick = [this] { BrowseDataLocation("WSFilesLocation"); };
  for (const char* button : {"InternetServer", "InternetGateway", "KeyServer", "ClientDatabase"}) {
    const std::string name = button;
    f[name].onClick = [this, name] { ServerTypeClick(name); };
    f[name].onPointerEnter = [this, name] { ServerTypePoint(name); };
  }
  f["MouseScribble"].onMouseMove = [this](int shift, int x, int y) {
    MouseScribbleMouseMove(shift, x, y);
  };
  // Moves over the page stack count too, but only while the gathering runs:
  // afterwards they must not re-enable buttons another page has disabled.
  f.onMouseMove = [this](int shift, int x, int y) {
    if (form_->At("ProgressBar1").visible) MouseScribbleMouseMove(shift, x, y);
  };
  f["OkMigrate"].onClick = [this] { OkMigrateClick(); };
  f["NewInstall"].onClick = [this] { NewInstallClick(); };
  f["StartSTF"].onClick = [this] { StartSTFClick(); };
  f["NoSTF"].onClick = [this] { NoSTFClick(); };
}

void TSetupForm::RegisterPageHandlers() {
  WizardContext& c = *context_;
  c.nextPage = [this] { NextClick(); };
  searchPages_ = detect::RegisterSearchPages(c);
  serverPages_ = netconfig::RegisterServerPages(c);
  detect::RegisterMailboxLibrary(*libraries_, machine_);
  pgp::RegisterToolkitLibrary(*libraries_, machine_);
  pgpToolkit_ = std::make_unique<pgp::ToolkitBinding>(*libraries_);
  pgpFiles_ = std::make_unique<InstallPgpFiles>(*this);
  pgpPage_ = pgp::RegisterPgpPage(c, *pgpToolkit_, *pgpFiles_);
  mailboxReader_ =
      std::make_unique<detect::LibraryMailboxReader>(searchPages_->Detect(), *libraries_);
  searchPages_->Detect().mailboxes = mailboxReader_.get();
  auto enablePrevious = [this] { form_->At("Prev").enabled = true; };
  c.SetPageHandlers("TabSheet1", {nullptr, enablePrevious});
  c.SetPageHandlers("TabSheet25", {nullptr, enablePrevious});
  c.SetPageHandlers("TabSheet2", {[this] { LicenceEnter(); }, [this] { LicenceExit(); }});
  c.SetPageHandlers("TabSheet5", {nullptr, [this] { ProgramLocationExit(); }});
  c.SetPageHandlers("TabSheet6",
                    {[this] { form_->Focus("DataLocation"); }, [this] { DataLocationExit(); }});
  c.SetPageHandlers("TabSheet6a", {nullptr, [this] { SharedDataLocationExit(); }});
  c.SetPageHandlers("TabSheet21", {[this] { form_->Focus("WSFilesLocation"); },
                                   [this] { WorkstationFilesExit(); }});
  c.SetPageHandlers("TabSheet9", {nullptr, [this] { TabSheet9Exit(); }});
  c.SetPageHandlers("TabSheet10", {nullptr, [this] { TabSheet10Exit(); }});
  c.SetPageHandlers("TabSheet11", {[this] { AddressesEnter(); }, [this] { AddressesExit(); }});
  c.SetPageHandlers("TabSheet12", {[this] { PasswordEnter(); }, [this] { PasswordExit(); }});
  c.SetPageHandlers("TabSheet19", {[this] { CompletionEnter(); }, nullptr});
  c.SetPageHandlers("TabSheet16", {[this] { TabSheet16Enter(); }, nullptr});
  c.SetPageHandlers("TabSheetOverWrite", {[this] { MigrationEnter(); }, nullptr});
  c.SetPageHandlers("TabSheet15", {[this] { DesktopRun(); }, nullptr});
  c.SetPageHandlers("TabSheet26", {[this] { ServerRun(); }, nullptr});
}

}  // namespace nimbra::setup
