#include "setup/tsetup_form.h"

namespace nimbra::setup {

namespace {

constexpr bool kTail = true;

}  // namespace

// Index 0 is an empty entry and every sequence ends with one; the server
// sequences carry after it a short run (migration page, installation details
// page) reachable only by jumping to the migration page.
void TSetupForm::SetPages(std::initializer_list<std::string_view> pages, bool serverTail) {
  auto& list = settings_.PageList;
  list.clear();
  list.emplace_back();
  for (auto page : pages) list.emplace_back(page);
  list.emplace_back();
  if (serverTail) {
    list.emplace_back("TabSheetOverWrite");
    list.emplace_back("TabSheet27");
    list.emplace_back();
  }
}

void TSetupForm::Standardpages() {
  SetPages({"TabSheet1",  "TabSheet2",  "TabSheet3",  "TabSheet4",  "TabSheet5",
            "TabSheet6",  "TabSheet28", "TabSheet7",  "TabSheet8",  "TabSheet9",
            "TabSheet10", "TabSheet11", "TabSheet12", "TabSheet13", "TabSheet14",
            "TabSheet18", "TabSheet15", "TabSheet16", "TabSheet17", "TabSheet19"},
           false);
  ShowPage("TabSheet1");
}

void TSetupForm::Thicketpages() {
  SetPages({"TabSheet1",  "TabSheet2",  "TabSheet3",  "TabSheet4",  "TabSheet5",  "TabSheet6",
            "TabSheet6a", "TabSheet28", "TabSheet7",  "TabSheet8",  "TabSheet9",  "TabSheet10",
            "TabSheet11", "TabSheet12", "TabSheet13", "TabSheet14", "TabSheet18", "TabSheetPGP",
            "TabSheet15", "TabSheet16", "TabSheet17", "TabSheet19"},
           false);
  ShowPage("TabSheet1");
}

void TSetupForm::ThicketGatewaypages() {
  SetPages({"TabSheet25", "TabSheet2",  "TabSheet27", "TabSheet24", "TabSheet4",  "TabSheet5",
            "TabSheet6",  "TabSheet6a", "TabSheet20", "TabSheet32", "TabSheet33", "TabSheet34",
            "TabSheet35", "TabSheet36", "TabSheet9",  "TabSheet10", "TabSheet12", "TabSheet14",
            "TabSheet26", "TabSheet17", "TabSheet19"},
           kTail);
  ShowPage("TabSheet25");
  form_->At("ProgGroupName").text = "NimbraPost Thicket Gateway";
  settings_.GatewayServer = true;
}

void TSetupForm::Canopypages() {
  SetPages({"TabSheet25", "TabSheet2", "TabSheet27", "TabSheet31", "TabSheet4", "TabSheet5",
            "TabSheet6", "TabSheet6a", "TabSheet22", "TabSheet23", "TabSheet24", "TabSheet9",
            "TabSheet10", "TabSheet12", "TabSheet14", "TabSheet26", "TabSheet17", "TabSheet19"},
           kTail);
  ShowPage("TabSheet25");
  form_->At("ProgGroupName").text = "NimbraPost Canopy";
}

void TSetupForm::Gatewaypages() {
  SetPages({"TabSheet25", "TabSheet2",  "TabSheet27", "TabSheet31", "TabSheet24", "TabSheet4",
            "TabSheet5",  "TabSheet6",  "TabSheet6a", "TabSheet20", "TabSheet32", "TabSheet33",
            "TabSheet34", "TabSheet35", "TabSheet36", "TabSheet9",  "TabSheet10", "TabSheet12",
            "TabSheet14", "TabSheet26", "TabSheet17", "TabSheet19"},
           kTail);
  form_->At("ProgGroupName").text = "NimbraPost Canopy";
}

void TSetupForm::KeyServerpages() {
  SetPages({"TabSheet25", "TabSheet2", "TabSheet27", "TabSheet31", "TabSheet4", "TabSheet5",
            "TabSheet6", "TabSheet6a", "TabSheet32", "TabSheet10", "TabSheet12", "TabSheet14",
            "TabSheet26", "TabSheet17", "TabSheet19"},
           kTail);
  form_->At("ProgGroupName").text = "NimbraPost Key Server";
}

void TSetupForm::Databasepages() {
  SetPages({"TabSheet25", "TabSheet2", "TabSheet27", "TabSheet31", "TabSheet24", "TabSheet4",
            "TabSheet5", "TabSheet6", "TabSheet21", "TabSheet12", "TabSheet14", "TabSheet15",
            "TabSheet19"},
           kTail);
  settings_.SharedInstaller = true;
}

void TSetupForm::Clientpages() {
  SetPages({"TabSheetOrva", "TabSheet2", "TabSheet4", "TabSheet5", "TabSheet6", "TabSheet28",
            "TabSheet7", "TabSheet8", "TabSheet18", "TabSheet14", "TabSheet15", "TabSheet19"},
           false);
  ShowPage("TabSheetOrva");
  ui::Form& f = *form_;
  f.caption = "NimbraPost Workstation Install";
  f["UserName"].text.clear();
  if (!settings_.DatabaseFiles.empty()) f["DataLocation"].text = settings_.DatabaseFiles;
  f["SharedDataLocation"].text = f["SoftwareLocation"].text + "\\LocalData\\";
}

// The title of a page is the caption of its group box: both change together.
void TSetupForm::RetitlePage(std::string_view page, std::string_view box,
                             const std::string& title) {
  form_->FindPage(page)->title = title;
  form_->At(box).text = title;
}

void TSetupForm::OrvaTexts() {
  ui::Form& f = *form_;
  RetitlePage("TabSheet2", "LicenseBox", "Orvanta License");
  f["ProgGroupName"].text = "Orvanta";
  f["SoftwareLocation"].text = systemDirectory_.substr(0, 2) + "\\Program Files\\Orvanta";
  f["UserName"].text.clear();
  f["PassWarning"].visible = false;
  f["LeaveBlankHint"].visible = false;
  f["NewPassLabel"].text = "Pass Phrase";
  f["ConfirmPassLabel"].text = "Confirm Pass Phrase";
  f["UserNameLabel"].text = "Administrator";
  f["GroupNameLabel"].text = "Organization";
  RetitlePage("TabSheet4", "ProgGroupBox", "Orvanta Program Group");
  f["ProgGroupHeading"].text = "Please select the name of the Orvanta Program Group";
  f["ProgGroupLabel"].text = "Enter Program Group for Orvanta";
  RetitlePage("TabSheet5", "SoftwareBox", "Orvanta Program Files");
  f["SoftwareHeading"].text = "Please select the location of the Orvanta Program Files";
  RetitlePage("TabSheet6", "DataBox", "Orvanta Data Files");
  f["DataHeading"].text =
      "Please select the location of the Orvanta Data Files, this location must be accessible "
      "to users of your network.";
  f["DataHint"].text = "Please enter the location of the Orvanta Data Files.";
  RetitlePage("TabSheet12", "PassBox", "Administrator Registration");
  f["PassExplain"].text.clear();
  RetitlePage("TabSheet15", "ProgressBox", "Orvanta Ready to Install");
  RetitlePage("TabSheet19", "CompleteBox", "Orvanta Install Complete");
  f["ThankYou"].text = "Thank you for Installing Orvanta";
}

void TSetupForm::Orvapages() {
  SetPages({"TabSheetOrva", "TabSheet2", "TabSheet4", "TabSheet5", "TabSheet6", "TabSheet21",
            "TabSheet12", "TabSheet14", "TabSheet15", "TabSheet19"},
           false);
  ShowPage("TabSheetOrva");
  OrvaTexts();
  form_->caption = "Orvanta Enrollment Server Install";
  form_->At("DataLocation").text = "Please Select a Location";
  settings_.SharedInstaller = true;
}

void TSetupForm::OrvaClientpages() {
  SetPages({"TabSheetOrva", "TabSheet2", "TabSheet4", "TabSheet5", "TabSheet6", "TabSheet28",
            "TabSheet7", "TabSheet8", "TabSheet18", "TabSheet14", "TabSheet15", "TabSheet19"},
           false);
  ShowPage("TabSheetOrva");
  OrvaTexts();
  ui::Form& f = *form_;
  f.caption = "Orvanta Workstation Install";
  f["DataLocation"].text = f["SoftwareLocation"].text + "\\Data\\";
  f["SharedDataLocation"].text = f["SoftwareLocation"].text + "\\LocalData\\";
  if (!settings_.DatabaseFiles.empty()) f["DataLocation"].text = settings_.DatabaseFiles;
}

void TSetupForm::LikeClientpages() {
  SetPages({"TabSheet1", "TabSheet2", "TabSheet4", "TabSheet5", "TabSheet6", "TabSheet28",
            "TabSheet7", "TabSheet8", "TabSheet18", "TabSheet14", "TabSheet15", "TabSheet19"},
           false);
}

void TSetupForm::LikeClientpagesShared() {
  SetPages(
      {"TabSheet1", "TabSheet2", "TabSheet4", "TabSheet5", "TabSheet6", "TabSheet6a", "TabSheet28",
       "TabSheet7", "TabSheet8", "TabSheet18", "TabSheet14", "TabSheet15", "TabSheet19"},
      false);
}

void TSetupForm::Overwritepages() {
  if (settings_.InstallType == 2) {
    SetPages({"TabSheet14", "TabSheet18", "TabSheetPGP", "TabSheet15", "TabSheet16", "TabSheet17",
              "TabSheet19"},
             false);
  } else {
    SetPages({"TabSheet14", "TabSheet18", "TabSheet15", "TabSheet16", "TabSheet17", "TabSheet19"},
             false);
  }
}

void TSetupForm::OldVersionpages() {
  SetPages({"TabSheet3", "TabSheet4", "TabSheet5", "TabSheet6", "TabSheet28", "TabSheet7",
            "TabSheet8", "TabSheet11", "TabSheet12", "TabSheet13", "TabSheet14", "TabSheet18",
            "TabSheet15", "TabSheet16", "TabSheet17", "TabSheet19"},
           false);
}

bool TSetupForm::BuildPagesForType(int installType) {
  switch (installType) {
    case 0:
    case 1:
      Standardpages();
      return true;
    case 2:
      Thicketpages();
      return true;
    case 3:
      ThicketGatewaypages();
      return true;
    case 4:
      Canopypages();
      return true;
    case 5:
      Clientpages();
      return true;
    case 6:
    case 7:
      Orvapages();
      return true;
    case 8:
      OrvaClientpages();
      return true;
    default:
      return false;
  }
}

}  // namespace nimbra::setup
