#include "platform/files/path.h"
#include "platform/profile/profile_file.h"
#include "setup/tsetup_form.h"
#include "ui/questions.h"

namespace nimbra::setup {

namespace {

// The user names of section "Users" of the older generation's "SAB.INI"; an
// unreadable file lists none.
std::vector<std::string> OldUsers(platform::Machine& machine, const std::string& dir) {
  const auto host = machine.HostPath(dir + "SAB.INI");
  if (!host) return {};
  try {
    return platform::ProfileFile(*host).KeyNames("Users");
  } catch (const platform::ProfileError&) {
    return {};
  }
}

}  // namespace

ui::ModalResult TSetupForm::ShowOldLogon(const std::string& directory) {
  ui::Form& box = Dialog("TOldLogonScreen");
  std::string dir = platform::WithTrailingBackslash(directory);
  if (!machine_.FileExists(dir + "SAB.INI")) {
    const auto chosen = ui_.Folder({std::string(ui::q::OldVersionFolderDialog),
                                    "Select the NimbraPost 2.1x File Directory", dir, "", ""});
    if (!chosen) return ui::ModalResult::Cancel;
    dir = *chosen + "\\";
  }
  box.At("Directory").text = dir;
  const std::vector<std::string> users = OldUsers(machine_, dir);
  if (users.empty()) {
    context_->Message("The Old Version has no users");
    return ui::ModalResult::Cancel;
  }
  ui::Control& list = box.At("Users");
  list.Clear();
  for (const std::string& user : users) list.AddLine(user);
  list.itemIndex = 0;
  list.text = users.front();
  box.At("VersionLabel").text = "Old version ";
  box.At("Password").text.clear();
  box.Focus("Password");
  return ui_.ShowModal(box);
}

void TSetupForm::Migrate() {
  ui::Form& box = Dialog("TOldLogonScreen");
  const std::string dir =
      settings_.OldInstallDir.empty() ? box.At("Directory").text : settings_.OldInstallDir;
  const ui::ModalResult result = ShowOldLogon(dir);
  keys::TNimbraMGR& manager = RenewKeyManager();
  keys::LogonRecord user{form_->At("UserName").text, form_->At("NewPass").text, std::nullopt};
  if (!manager.Logon(user) || result != ui::ModalResult::Ok) return;
  const std::string chosen =
      box.At("Users").Selected().empty() ? box.At("Users").text : box.At("Users").Selected();
  const std::string userDir = box.At("Directory").text + "users\\" + chosen + "\\";
  const std::string password = box.At("Password").text;
  manager.ImportOldOwnKeys(userDir + "mykeys.ini", password);
  manager.ImportOldPeople(userDir + "people.ini", password);
  context_->Message(
      "You can use the Migration Tools in the NimbraPost Manager\r\nif you need to import this "
      "information again later");
}

}  // namespace nimbra::setup
