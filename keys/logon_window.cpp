#include "keys/logon_window.h"

namespace nimbra::keys {

std::unique_ptr<ui::Form> MakeLogonWindow(const std::vector<std::string>& users,
                                          const std::string& current) {
  using K = ui::ControlKind;
  auto form = std::make_unique<ui::Form>(kLogonWindowName, "NimbraPost Logon");
  ui::Form* self = form.get();
  form->Add("UserLabel", K::Label, "", "User");
  ui::Control& list = form->Add("Users", K::ComboBox, "");
  for (const std::string& user : users) list.items.push_back({user, false});
  list.itemIndex = list.IndexOf(current, true);
  if (list.itemIndex < 0) list.itemIndex = 0;
  list.text = list.Selected();
  form->Add("PasswordLabel", K::Label, "", "Password");
  form->Add("Password", K::Edit, "").maxLength = 80;
  form->Add("OK", K::Button, "", "OK").onClick = [self] { self->Close(ui::ModalResult::Ok); };
  form->Add("Cancel", K::Button, "", "Cancel").onClick = [self] {
    self->Close(ui::ModalResult::Cancel);
  };
  form->Focus("Password");
  return form;
}

}  // namespace nimbra::keys
