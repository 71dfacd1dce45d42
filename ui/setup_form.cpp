#include "ui/setup_form.h"

namespace nimbra::ui {

namespace {

using K = ControlKind;

const char* const kMotto = "\"Privacy and Trust in Electronic Communications\"";

void AddPages(Form& f) {
  const std::pair<const char*, const char*> pages[] = {
      {"TabSheet1", ""},
      {"TabSheet25", ""},
      {"TabSheetOrva", ""},
      {"TabSheet2", "NimbraPost License Agreement"},
      {"TabSheet3", "Close Windows"},
      {"TabSheet4", "NimbraPost Program Group"},
      {"TabSheet5", "NimbraPost Program Files"},
      {"TabSheet6", "NimbraPost Personal Data Files"},
      {"TabSheet6a", "NimbraPost Shared Data Files"},
      {"TabSheet21", "Location for Workstation Software Install Files"},
      {"TabSheet28", "Multiple Hard Disk and Network Drives Found"},
      {"TabSheet7", "Detect Email Software"},
      {"TabSheet8", "Select Detected Software"},
      {"TabSheet9", "Select Security Level"},
      {"TabSheet10", "NimbraPost Gather Random Data"},
      {"TabSheet11", "Select Detected Email Addresses"},
      {"TabSheet12", "NimbraPost Password"},
      {"TabSheet13", "NimbraPost Communication Ports"},
      {"TabSheet18", "New Quickroute feature"},
      {"TabSheetPGP", "PGP Compatibility"},
      {"TabSheet14", "Setup is Ready to Install"},
      {"TabSheet15", "NimbraPost Installation Progress"},
      {"TabSheet26", "NimbraPost Installation Progress"},
      {"TabSheet16", "NimbraPost distribute your Public Key"},
      {"TabSheet17", "NimbraPost Free Updates"},
      {"TabSheet19", "NimbraPost Install Complete"},
      {"TabSheetOverWrite", "Migration Tools"},
      {"TabSheet27", "Canopy Installation Details"},
      {"TabSheet31", "NimbraPost Network Installation Type"},
      {"TabSheet22", "Protected Email Server"},
      {"TabSheet23", "NimbraPost Connections"},
      {"TabSheet24", "Create NimbraPost Email Accounts"},
      {"TabSheet20", "NimbraPost Gateway Wizard"},
      {"TabSheet32", "The NimbraPost Server"},
      {"TabSheet33", "Internal Email Servers"},
      {"TabSheet34", "Sending Email - part 1"},
      {"TabSheet35", "Sending Email - part 2"},
      {"TabSheet36", "NimbraPost Configuration Complete"},
  };
  for (const auto& [name, title] : pages) f.AddPage(name, title);
}

void AddFrame(Form& f) {
  f.Add("HeadLogo", K::Image, "");
  f.Add("ReleaseLabel", K::Label, "", "4.x");
  f.Add("ExitSetup", K::Button, "", "&Exit Setup");
  f.Add("Prev", K::Button, "", "&Previous").enabled = false;
  f.Add("Next", K::Button, "", "&Next");
  f.Add("MouseComplete", K::Label, "", "0% complete").visible = false;
  f.Add("ProgressBar1", K::ProgressBar, "").visible = false;
}

void AddWelcomePages(Form& f) {
  f.Add("WelcomeImage", K::Image, "TabSheet1");
  f.Add("Motto", K::Label, "TabSheet1", kMotto);
  auto& list = f.Add("SupportedList", K::ListBox, "TabSheet1");
  for (const char* program :
       {"Eudora Light", "Eudora Pro", "Netscape Navigator", "Netscape Communicator", "Calypso",
        "Microsoft Internet Mail (IE 3.0)", "Microsoft Outlook Express (IE 4.0)",
        "Microsoft Outlook", "Microsoft Exchange", "Pegasus Mail", "MSN 2.5", "Turnpike",
        "Email 2000"}) {
    list.AddLine(program);
  }
  f.Add("Motto25", K::Label, "TabSheet25", kMotto);
  f.Add("ETitle", K::Label, "TabSheet25", "NimbraPost Canopy Edition 3");
  f.Add("Splash", K::Image, "TabSheetOrva");
  f.Add("LicenseBox", K::GroupBox, "TabSheet2", "NimbraPost License Agreement");
  f.Add("LicenseText", K::RichText, "TabSheet2");
  f.Add("CloseAdvice", K::Label, "TabSheet3",
        "Please close the following before continuing with Setup:");
  f.Add("CloseEmail", K::Label, "TabSheet3", "Email software that is running");
  f.Add("CloseFloppy", K::Label, "TabSheet3", "Floppy Disk windows (if any)");
}

void AddLocationPages(Form& f) {
  f.Add("ProgGroupBox", K::GroupBox, "TabSheet4", "NimbraPost Program Group");
  f.Add("ProgGroupHeading", K::Label, "TabSheet4",
        "Please select the name of the NimbraPost Program Group");
  f.Add("ProgGroupLabel", K::Label, "TabSheet4", "Enter Program Group for NimbraPost");
  f.Add("ProgGroupName", K::Edit, "TabSheet4", "NimbraPost 4");

  f.Add("SoftwareBox", K::GroupBox, "TabSheet5", "NimbraPost Program Files");
  f.Add("SoftwareHeading", K::Label, "TabSheet5",
        "Please select the location of the NimbraPost Program Files");
  f.Add("SoftwareLocation", K::Edit, "TabSheet5", "C:\\Program Files\\NimbraPost");
  f.Add("SoftwareBrowse", K::Button, "TabSheet5", "Browse");

  f.Add("DataBox", K::GroupBox, "TabSheet6", "NimbraPost Personal Data Files");
  f.Add("DataHeading", K::Label, "TabSheet6",
        "Enter a Location for the NimbraPost Personal Data Files");
  f.Add("DataHint", K::Label, "TabSheet6",
        "Please Select a Location for your NimbraPost Personal Data Files");
  f.Add("DataLocation", K::Edit, "TabSheet6", "C:\\Program Files\\NimbraPost\\Data");
  f.Add("DataBrowse", K::Button, "TabSheet6", "Browse");

  f.Add("SharedDataBox", K::GroupBox, "TabSheet6a", "NimbraPost Shared Data Files");
  f.Add("SharedDataHeading", K::Label, "TabSheet6a",
        "Enter a Location for the NimbraPost Shared Data Files");
  f.Add("SharedDataHint", K::Label, "TabSheet6a",
        "Please Select a Location for your NimbraPost Shared Data Files");
  f.Add("SharedDataLocation", K::Edit, "TabSheet6a");
  f.Add("SharedDataBrowse", K::Button, "TabSheet6a", "Browse");

  f.Add("WSFilesBox", K::GroupBox, "TabSheet21", "Location for Workstation Software Install Files");
  f.Add("WSFilesLocation", K::Edit, "TabSheet21");
  f.Add("WSFilesBrowse", K::Button, "TabSheet21", "Browse");
}

void AddSearchPages(Form& f) {
  f.Add("DriveHeading", K::Label, "TabSheet28", "Select Drives to be searched");
  f.Add("DriveText", K::Label, "TabSheet28",
        "Please select the disk that you wish to be included in the search for email software. "
        "Note network drives will significantly slow the search process.");
  f.Add("DriveCheck", K::CheckListBox, "TabSheet28");
  f.Add("SearchText", K::Label, "TabSheet7",
        "Setup will search your system for e-mail software and addresses. This may take a few "
        "minutes, please be patient. ");
  f.Add("SearchGroup", K::GroupBox, "TabSheet7", "Searching for e-mail software");
  f.Add("Detect", K::Panel, "TabSheet7", "Not Started");
  f.Add("DetectedText", K::Label, "TabSheet8",
        "Setup has detected the following email accounts on your system. Check only the "
        "combinations of software and email address you wish to protect.");
  f.Add("SoftwareList", K::CheckListBox, "TabSheet8");
}

void AddKeyPages(Form& f) {
  auto& strong = f.Add("Strong", K::RadioButton, "TabSheet9", "STRONG  (607 bit encryption)");
  strong.group = "KeySize";
  strong.checked = true;
  f.Add("Extreme", K::RadioButton, "TabSheet9", "EXTREME (1279 bit encryption)").group = "KeySize";

  f.Add("RandomText", K::Label, "TabSheet10",
        "NimbraPost will now create the actual encryption keys it needs to perform its "
        "functions. Move the mouse pointer within the borders of the box below until the NEXT "
        "button appears.");
  f.Add("Panel2", K::Panel, "TabSheet10");
  f.Add("MouseScribble", K::Image, "TabSheet10");

  f.Add("EmailAddrs", K::ListBox, "TabSheet11");
  f.Add("PrimeEmailLabel", K::Label, "TabSheet11", "Primary Email Address");
  f.Add("PrimeEmail", K::Edit, "TabSheet11");
  f.Add("AddAddress", K::Button, "TabSheet11", "Add Address");
  f.Add("SetDefault", K::Button, "TabSheet11", "Set as Default").enabled = false;
  f.Add("DeleteAddress", K::Button, "TabSheet11", "Delete Address");

  f.Add("PassBox", K::GroupBox, "TabSheet12", "NimbraPost Password");
  f.Add("PassExplain", K::Label, "TabSheet12",
        "Enter your name and a password to protect your NimbraPost database files.");
  f.Add("UserNameLabel", K::Label, "TabSheet12", "User Name");
  f.Add("UserName", K::Edit, "TabSheet12", "UserName");
  f.Add("GroupNameLabel", K::Label, "TabSheet12", "Organisation");
  f.Add("GroupName", K::Edit, "TabSheet12").maxLength = 20;
  f.Add("NewPassLabel", K::Label, "TabSheet12", "Password");
  f.Add("NewPass", K::Edit, "TabSheet12");
  f.Add("ConfirmPassLabel", K::Label, "TabSheet12", "Confirm Password");
  f.Add("ConfirmPass", K::Edit, "TabSheet12");
  f.Add("PassWarning", K::Label, "TabSheet12",
        "Warning: a forgotten password cannot be recovered.");
  f.Add("LeaveBlankHint", K::Label, "TabSheet12",
        "Leave the password blank if you do not wish to protect your database files.");

  f.Add("SMTPPortLabel", K::Label, "TabSheet13", "SMTP Port");
  f.Add("SMTPPort", K::Edit, "TabSheet13", "25");
  f.Add("POP3PortLabel", K::Label, "TabSheet13", "POP3 Port");
  f.Add("POP3Port", K::Edit, "TabSheet13", "110");
  f.Add("IMAPPortLabel", K::Label, "TabSheet13", "IMAP Port");
  f.Add("IMAPPort", K::Edit, "TabSheet13", "143");
}

void AddOptionPages(Form& f) {
  f.Add("QuickrouteText", K::Label, "TabSheet18",
        "The NimbraPost Quickroute(tm) feature reduces the number of changes to your email "
        "clients. We recommend that you use NimbraPost Quickroute(tm) wherever possible and only "
        "disable this feature if you encounter installation problems.");
  f.Add("QuickrouteNote", K::Label, "TabSheet18",
        "Note: Quickroute can be disabled after installation using the Manager,");
  f.Add("Quickroute", K::CheckBox, "TabSheet18", "Use Quickroute to protect Email.").checked = true;
  f.Add("DNSNote", K::Label, "TabSheet18",
        "you must set at least one DNS sever to be able to use Quickroute");
  f.Add("DNS1Label", K::Label, "TabSheet18", "DNS Server 1");
  f.Add("DNS1", K::Edit, "TabSheet18");
  f.Add("DNS2Label", K::Label, "TabSheet18", "DNS Server 2");
  f.Add("DNS2", K::Edit, "TabSheet18");

  f.Add("PGPText", K::Label, "TabSheetPGP",
        "Setup can configure your system to support send and receiving email with PGP users. If "
        "you have an existing version of PGP please verify the setting below, otherwise Setup "
        "will use the default settings for your computer.");
  f.Add("PGPPubRingLabel", K::Label, "TabSheetPGP", "PGP Public Key Ring");
  f.Add("PGPPubRing", K::Edit, "TabSheetPGP");
  f.Add("PGPSecRingLabel", K::Label, "TabSheetPGP", "PGP Private Key Ring");
  f.Add("PGPSecRing", K::Edit, "TabSheetPGP");
  f.Add("PGPRandSeedLabel", K::Label, "TabSheetPGP", "PGP Random Seed File");
  f.Add("PGPRandSeed", K::Edit, "TabSheetPGP");
  f.Add("AddPGP", K::CheckBox, "TabSheetPGP",
        "Create PGP Default Files, do not select this option if you already use other PGP "
        "programs.");
  f.Add("AboutPGP", K::Button, "TabSheetPGP", "About PGP");
}

void AddInstallPages(Form& f) {
  f.Add("ReadyBox", K::GroupBox, "TabSheet14", "Setup is Ready to Install");
  f.Add("InstallSet", K::Memo, "TabSheet14");

  f.Add("ProgressBox", K::GroupBox, "TabSheet15", "NimbraPost Installation Progress");
  auto& progress = f.Add("InstallProgress", K::CheckListBox, "TabSheet15");
  progress.SetLines({"Copying Program Files", "Preparing Set-up Data", "Creating Base Data",
                     "Saving Settings", "Updating Email Configuration"});
  f.Add("StartingLabel", K::Label, "TabSheet15", "Starting Installation").visible = false;
  f.Add("CurrentTask", K::Panel, "TabSheet15");

  f.Add("NetProgressBox", K::GroupBox, "TabSheet26", "NimbraPost Installation Progress");
  auto& net = f.Add("NetProgress", K::CheckListBox, "TabSheet26");
  net.SetLines({"Preparing Set-up Data", "Copying Program Files", "Create Network Installer",
                "Saving Settings", "Create User Keys"});
  f.Add("NetTask", K::Panel, "TabSheet26");

  f.Add("DistText", K::Label, "TabSheet16",
        "NimbraPost can now send your Public Key to the people you correspond with.");
  f.Add("StartSTF", K::Button, "TabSheet16", "&Do it Now");
  f.Add("NoSTF", K::Button, "TabSheet16", "&No I will Do it Later");

  f.Add("FreeUpdatesText", K::Label, "TabSheet17", "NimbraPost Free Updates ?");
  auto& updates = f.Add("FreeUpdatesYesNo", K::RadioGroup, "TabSheet17");
  updates.SetLines({"Yes.", "No."});
  updates.itemIndex = 0;

  f.Add("CompleteBox", K::GroupBox, "TabSheet19", "NimbraPost Install Complete");
  f.Add("ThankYou", K::Label, "TabSheet19", "Thank you for Installing NimbraPost");
  f.Add("Finish", K::Button, "TabSheet19", "&Finish!");

  f.Add("MigrateText", K::Label, "TabSheetOverWrite",
        "Setup has detected that you have a previous version of NimbraPost on your computer. "
        "NimbraPost can load the keys from this version in to the new version.");
  f.Add("OkMigrate", K::Button, "TabSheetOverWrite", "Use information from the previous version");
  f.Add("OkMigrateText", K::Label, "TabSheetOverWrite",
        "This option is recommended if you are successfully using your current NimbraPost "
        "installation");
  f.Add("NewInstall", K::Button, "TabSheetOverWrite", "Create new keys for this Installation");
  f.Add("NewInstallText", K::Label, "TabSheetOverWrite",
        "You may use the tools section of the NimbraPost Manager to load any recipients or keys "
        "you require at a later date.");
}

void AddServerPages(Form& f) {
  f.Add("RegNameLabel", K::Label, "TabSheet27", "Company Name");
  f.Add("RegName", K::Edit, "TabSheet27");
  f.Add("ServerNameLabel", K::Label, "TabSheet27", "Server Name");
  f.Add("ServerName", K::Edit, "TabSheet27");
  f.Add("RegAddressLabel", K::Label, "TabSheet27", "Administration Email Address");
  f.Add("RegAddress", K::Edit, "TabSheet27");

  f.Add("InternetServer", K::Button, "TabSheet31", "Internet Server");
  f.Add("InternetGateway", K::Button, "TabSheet31", "Internet Gateway");
  f.Add("KeyServer", K::Button, "TabSheet31", "Key Server");
  f.Add("ClientDatabase", K::Button, "TabSheet31", "Client Database");
  f.Add("TypeDescription", K::Label, "TabSheet31");
  f.Add("TypeExplanation", K::Label, "TabSheet31");

  struct Proto {
    const char* name;
    const char* port;
  };
  for (const Proto& p : {Proto{"SMTP", "25"}, Proto{"POP3", "110"}, Proto{"IMAP", "143"}}) {
    const std::string n = p.name;
    f.Add(n, K::CheckBox, "TabSheet22", "Enable " + n).checked = true;
    f.Add("Net" + n, K::Edit, "TabSheet22", "localhost");
    f.Add("Net" + n + "Port", K::Edit, "TabSheet22", p.port);
    f.Add("Nbr" + n, K::Edit, "TabSheet23", "0.0.0.0");
    f.Add("Nbr" + n + "Port", K::Edit, "TabSheet23", p.port);
  }

  f.Add("NimbraAccounts", K::Grid, "TabSheet24");
  f.Add("BitBtn1", K::Button, "TabSheet24", "Load from File");

  f.Add("GatewayText", K::Label, "TabSheet20",
        "This wizard configures NimbraPost as a gateway between the internet and your internal "
        "email server.");
  f.Add("NBR_IPList", K::ListBox, "TabSheet32");
  f.Add("TestIP", K::Edit, "TabSheet32");
  f.Add("ADDNbrIP", K::Button, "TabSheet32", "Add");
  f.Add("RemoveNbrIP", K::Button, "TabSheet32", "Remove");
  f.Add("TestNimbraIP", K::Button, "TabSheet32", "Test");

  f.Add("InternalIP", K::Edit, "TabSheet33");
  f.Add("InternalPort", K::Edit, "TabSheet33", "25");
  f.Add("TestInternal", K::Button, "TabSheet33", "Test ");
  f.Add("RemoveInternal", K::Button, "TabSheet33", "Multiple Internal Servers >>");
  f.Add("gwFirewall", K::CheckBox, "TabSheet33", "Please check if your network uses a Firewall");

  f.Add("SendIP", K::ListBox, "TabSheet34");
  f.Add("AddSendIP", K::Edit, "TabSheet34");
  f.Add("SendiPAdd", K::Button, "TabSheet34", "Add");
  f.Add("SendIPRemove", K::Button, "TabSheet34", "Remove");

  auto& relay = f.Add("RelayType", K::RadioGroup, "TabSheet35");
  relay.SetLines({"Relay Server ONLY", "Relay Server and DNS", "DNS Only"});
  relay.itemIndex = 0;
  f.Add("RelayIP", K::Edit, "TabSheet35");
  f.Add("RelayPort", K::Edit, "TabSheet35", "25");
  f.Add("Button7", K::Button, "TabSheet35", "Test Relay Server");

  f.Add("GateConfig", K::Memo, "TabSheet36");
}

}  // namespace

std::unique_ptr<Form> MakeSetupForm() {
  auto form = std::make_unique<Form>("TSetupForm", "NimbraPost Auto Setup");
  form->width = 550;
  form->height = 377;
  AddPages(*form);
  AddFrame(*form);
  AddWelcomePages(*form);
  AddLocationPages(*form);
  AddSearchPages(*form);
  AddKeyPages(*form);
  AddOptionPages(*form);
  AddInstallPages(*form);
  AddServerPages(*form);
  return form;
}

std::unique_ptr<Form> MakeSaveDataForm() {
  auto f = std::make_unique<Form>("TSaveData", "Please Wait...");
  f->Add("SaveText", K::Label, "", "Encrypting and saving Setup data.");
  f->Add("WaitText", K::Label, "", "Please Wait a moment....");
  return f;
}

std::unique_ptr<Form> MakeCalyTimeoutForm() {
  auto f = std::make_unique<Form>("TCalyTimeout", "Email 2000 Timeout Settings.");
  f->Add("TimeoutText", K::Label, "",
         "You have selected a Email 2000 or Calypso client, we recommend that for improved "
         "performance that you set the default timeout to 7200 seconds. Below is an illustration "
         "of the Email 2000/Calypso property sheet where this change should be made.");
  Form* self = f.get();
  f->Add("OK", K::Button, "", "OK").onClick = [self] { self->Close(ModalResult::Ok); };
  f->Add("Illustration", K::Image, "").onClick = [self] { self->Close(ModalResult::Ok); };
  return f;
}

std::unique_ptr<Form> MakePrepForm() {
  auto f = std::make_unique<Form>("TPrepForm", "Preparing to Install");
  f->Add("PrepText", K::Label, "",
         "Please wait while Setup prepares the information needed to install on your system.");
  f->Add("Animation", K::Image, "");
  return f;
}

std::unique_ptr<Form> MakeBackDropForm() {
  auto f = std::make_unique<Form>("TBackDropForm", "Setup");
  f->enabled = false;
  f->Add("BackLogo", K::Image, "");
  f->Add("TMLabel", K::Label, "", "TM");
  f->Add("BackImage2", K::Image, "");
  return f;
}

std::unique_ptr<Form> MakeMouseCaptureForm() {
  auto f = std::make_unique<Form>("TfrmMouseCapture", "Now recording random mouse movements...");
  f->width = 435;
  f->height = 300;
  f->Add("CaptureText", K::Label, "",
         "Please use the mouse to scribble randomly on this form for a few seconds...");
  Form* self = f.get();
  f->Add("Cancel", K::Button, "", "&Cancel").onClick = [self] { self->Close(ModalResult::Cancel); };
  f->Add("ProgressBar1", K::ProgressBar, "");
  return f;
}

std::unique_ptr<Form> MakeOldLogonForm() {
  auto f = std::make_unique<Form>("TOldLogonScreen", "VRX NimbraPost Logon");
  f->Add("Users", K::ComboBox, "");
  f->Add("Password", K::Edit, "");
  f->Add("VersionLabel", K::Label, "", "Version");
  f->Add("ProductLabel", K::Label, "", "product");
  f->Add("Directory", K::Edit, "", "C:\\Program Files\\NimbraPost\\");
  Form* self = f.get();
  f->Add("Logon", K::Button, "", "Logon").onClick = [self] { self->Close(ModalResult::Ok); };
  f->Add("Cancel", K::Button, "", "Cancel").onClick = [self] { self->Close(ModalResult::Cancel); };
  return f;
}

std::unique_ptr<Form> MakeTestInstallForm() {
  auto f = std::make_unique<Form>("TTestInstall", "NimbraPost Connection Test");
  f->Add("TestResult", K::Memo, "");
  Form* self = f.get();
  f->Add("OK", K::Button, "", "OK").onClick = [self] { self->Close(ModalResult::Ok); };
  return f;
}

std::vector<std::string> CompanionWindowNames() {
  std::vector<std::string> names;
  for (auto make : {MakeSaveDataForm, MakeCalyTimeoutForm, MakePrepForm, MakeBackDropForm,
                    MakeMouseCaptureForm, MakeOldLogonForm, MakeTestInstallForm})
    names.push_back(make()->Name());
  return names;
}

}  // namespace nimbra::ui
