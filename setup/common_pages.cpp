#include "platform/files/path.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"
#include "ui/questions.h"

namespace nimbra::setup {

void TSetupForm::LicenceEnter() {
  const std::string file =
      context_->SetupDir() + (settings_.InstallType != 0 ? "License.rtf" : "FreeLic.rtf");
  try {
    if (machine_.FileExists(file)) form_->At("LicenseText").text = machine_.ReadFile(file);
  } catch (const std::exception&) {
    // An unreadable agreement leaves the box as it is.
  }
  form_->At("Next").text = "&Accept";
}

void TSetupForm::LicenceExit() {
  form_->At("Next").text = "&Next";
  form_->At("Prev").enabled = true;
  settings_.CreateNewKeys = true;
  if (settings_.OldVersionFound || settings_.PreviousFound) {
    MigrationEnter();
    ShowPage("TabSheetOverWrite");
  }
}

void TSetupForm::BrowseProgramLocation() {
  ui::Control& location = form_->At("SoftwareLocation");
  auto chosen =
      ui_.SaveFile({std::string(ui::q::ProgramLocationDialog),
                    "Select location for the NimbraPost Program Files.", location.text, "", ""});
  if (chosen) location.text = platform::ExtractFilePath(*chosen);
}

void TSetupForm::BrowseDataLocation(std::string_view control) {
  ui::Control& location = form_->At(control);
  auto chosen =
      ui_.SaveFile({std::string(ui::q::DataLocationDialog),
                    "Select Location for the NimbraPost Data Files.", location.text, "", ""});
  if (!chosen) return;
  location.text = platform::WithTrailingBackslash(platform::ExtractFilePath(*chosen));
}

void TSetupForm::ProgramLocationExit() {
  ui::Form& f = *form_;
  f["SoftwareLocation"].text = platform::NormalizeLocation(f["SoftwareLocation"].text);
  const std::string& program = f["SoftwareLocation"].text;
  f["DataLocation"].text = platform::MoveToDriveOf(f["DataLocation"].text, program);
  f["SharedDataLocation"].text = platform::MoveToDriveOf(f["SharedDataLocation"].text, program);
}

bool TSetupForm::AskJoinDatabase(const std::string& location) {
  if (settings_.InstallType == 5 || settings_.InstallType == 8) return false;
  if (!machine_.FileExists(location + "Users.ini")) return false;
  // The key database an interrupted installation made there is this
  // installation's own: it is taken up again, not joined.
  const InstallJournal interrupted(machine_,
                                   platform::NormalizeLocation(form_->At("SoftwareLocation").text));
  if (interrupted.WroteBefore(location + "Users.ini")) return false;
  return ui_.AskYesNo({std::string(ui::q::JoinExistingDatabase),
                       "The data file location already contains a key database. Would you like "
                       "to connect as a client to this database?",
                       context_->MessageCaption()});
}

void TSetupForm::DataLocationExit() {
  ui::Form& f = *form_;
  f["DataLocation"].text = platform::NormalizeLocation(f["DataLocation"].text);
  if (AskJoinDatabase(f["DataLocation"].text)) {
    settings_.JoinExistingDatabase = true;
    LikeClientpages();
    f["SharedDataLocation"].text =
        platform::NormalizeLocation(f["SoftwareLocation"].text) + "LocalData\\";
    return;
  }
  const bool server = settings_.InstallType == 3 || settings_.InstallType == 4;
  f["SharedDataLocation"].text = f["DataLocation"].text + (server ? "Secondary\\" : "Shared\\");
}

void TSetupForm::SharedDataLocationExit() {
  ui::Form& f = *form_;
  f["SharedDataLocation"].text = platform::NormalizeLocation(f["SharedDataLocation"].text);
  if (AskJoinDatabase(f["SharedDataLocation"].text)) {
    settings_.JoinExistingDatabase = true;
    LikeClientpagesShared();
  }
}

std::vector<std::string> TSetupForm::DatabaseSummary() {
  ui::Form& f = *form_;
  return {"Database Only Installation",
          "---------------------------",
          "Type = " + settings_.ProductType,
          "Version = " + settings_.Release,
          "Source = " + settings_.Source,
          " ",
          "Local Software Directory = " + f["SoftwareLocation"].text,
          "Database Directory       = " + f["SharedDataLocation"].text,
          "Workstation Software     = " + f["WSFilesLocation"].text,
          "Program Group = " + f["ProgGroupName"].text,
          " "};
}

void TSetupForm::WorkstationFilesExit() {
  form_->At("Next").text = "&Continue";
  form_->At("InstallSet").SetLines(DatabaseSummary());
}

void TSetupForm::CompletionEnter() {
  for (const char* button : {"ExitSetup", "Next", "Prev"}) form_->At(button).enabled = false;
}

namespace {

struct ServerType {
  const char* button;
  const char* description;
  const char* explanation;
};

constexpr ServerType kServerTypes[] = {
    {"InternetServer", "Internet Server Install",
     "If you are protecting a SMTP/POP3/IMAP Email server and wish to support secure Message "
     "Retrieval or encryption/ decryption at the desktop, select this option. Users of WinGate "
     "and other dial-up proxy gateway should select this option"},
    {"InternetGateway", "Internet Gateway Install",
     "If you have a proprietary email server or wish to only protect SMTP inbound and outbound "
     "messages select this option. Users of MS Exchange Server, Lotus Notes, Novell GroupWise and "
     "SMTP Gateway product should select this option."},
    {"KeyServer", "Key Server Install",
     "Provides a public key server for NimbraPost Clients to lookup and store public keys. Can be "
     "used as part of an Intranet or Extranet Solution."},
    {"ClientDatabase", "Client Database Install",
     "Install a Shared Database for a distributed network. No Client Software is installed and a "
     "workstation Client Installer must be used to complete the installation process. The "
     "workstation installer is created as part of the installation process."},
};

}  // namespace

void TSetupForm::ServerTypePoint(std::string_view button) {
  for (const ServerType& type : kServerTypes) {
    if (button == type.button) {
      form_->At("TypeDescription").text = type.description;
      form_->At("TypeExplanation").text = type.explanation;
    }
  }
}

void TSetupForm::ServerTypeClick(std::string_view button) {
  form_->At("Next").enabled = true;
  form_->At("Prev").enabled = true;
  settings_.GatewayServer = false;
  settings_.KeyServerOnly = false;
  settings_.DatabaseOnly = false;
  if (button == "InternetGateway") {
    Gatewaypages();
    settings_.GatewayServer = true;
  } else if (button == "KeyServer") {
    KeyServerpages();
    settings_.KeyServerOnly = true;
  } else if (button == "ClientDatabase") {
    Databasepages();
    settings_.DatabaseOnly = true;
  }
  NextClick();
}

}  // namespace nimbra::setup
