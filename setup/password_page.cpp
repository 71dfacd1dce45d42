#include "setup/tsetup_form.h"

namespace nimbra::setup {

void TSetupForm::PasswordEnter() {
  ui::Control& name = form_->At("UserName");
  if (name.text == "UserName") name.text = machine_.UserName();
  form_->Focus("UserName");
}

void TSetupForm::PasswordExit() {
  ui::Form& f = *form_;
  if (f["UserName"].text.empty()) {
    context_->Message(
        "You have not entered a user name. A user name is required\r\nto operate properly. "
        "Please enter a user name.");
    f.Focus("UserName");
    context_->Refuse("UserName");
    settings_.MayLeavePage = false;
    return;
  }
  if (f["ConfirmPass"].visible && f["NewPass"].text != f["ConfirmPass"].text) {
    context_->Message(
        "The New Password and Confirm Password that you entered are not the same.\r\nPlease "
        "re-type the password and confirm password making sure\r\nthat they are the same");
    context_->Refuse("ConfirmPass");
    settings_.MayLeavePage = false;
    return;
  }
  if (f["NewPass"].text.empty() && f["ConfirmPass"].text.empty()) {
    context_->Message(
        "You have chosen not to password protect your database files.\r\nThis will not affect "
        "the security of the information you send,\r\nbut means that anyone with access to your "
        "computer will be able\r\nto read and send messages.");
  }
  f["Next"].text = "&Continue";
  f["InstallSet"].SetLines(InstallSummary());
  for (const auto& entry : f["SoftwareList"].CheckedItems()) {
    if (entry.find("Calypso") != std::string::npos ||
        entry.find("EMail 2000") != std::string::npos) {
      ui_.ShowModal(Dialog("TCalyTimeout"));
      break;
    }
  }
}

std::vector<std::string> TSetupForm::InstallSummary() {
  ui::Form& f = *form_;
  std::vector<std::string> lines = {"Installation Details",
                                    "--------------------",
                                    "Type = " + settings_.ProductType,
                                    "Version = " + settings_.Release,
                                    "Source = " + settings_.Source,
                                    " ",
                                    "Install Software Directory = " + f["SoftwareLocation"].text,
                                    "Data Directory = " + f["DataLocation"].text};
  if (!f["WSFilesLocation"].text.empty()) {
    lines.push_back("Client Software Directory = " + f["WSFilesLocation"].text);
  }
  if (settings_.InstallType == 2) {
    lines.push_back("Shared Data Directory = " + f["SharedDataLocation"].text);
  }
  lines.push_back("Program Group = " + f["ProgGroupName"].text);
  lines.push_back(" ");
  lines.push_back("User Name  = " + f["UserName"].text);
  lines.push_back(" ");

  const int type = settings_.InstallType;
  if (type == 0 || type == 1 || type == 2 || type == 5) {
    for (const char* line : {"Email Software", "--------------", " "}) lines.emplace_back(line);
    for (const auto& entry : f["SoftwareList"].CheckedItems()) lines.push_back(entry);
    for (const char* line : {" ", "Users Email Address", "-------------------", " "}) {
      lines.emplace_back(line);
    }
    for (const auto& item : f["EmailAddrs"].items) lines.push_back(item.text);
  } else if (settings_.KeyServerOnly) {
    for (const char* line :
         {" ", "Key Server IP Configuration ", "---------------------------", " "}) {
      lines.emplace_back(line);
    }
    int n = 1;
    for (const auto& item : f["NBR_IPList"].items) {
      lines.push_back("Server " + std::to_string(n++) + " IP : " + item.text);
    }
  } else if (settings_.GatewayServer) {
    for (const auto& item : f["GateConfig"].items) lines.push_back(item.text);
  } else {
    for (const char* line :
         {" ", "Network Configuration Address", "-----------------------------", " "}) {
      lines.emplace_back(line);
    }
    for (const std::string protocol : {"SMTP", "POP3", "IMAP"}) {
      if (!f[protocol].checked) continue;
      lines.push_back("NimbraPost " + protocol + " Connection");
      lines.push_back("IP Address " + f["Nbr" + protocol].text + " port " +
                      f["Nbr" + protocol + "Port"].text);
      lines.push_back("Network Configuration Address");
      lines.push_back("IP Address " + f["Net" + protocol].text + " port " +
                      f["Net" + protocol + "Port"].text);
    }
  }
  return lines;
}

}  // namespace nimbra::setup
