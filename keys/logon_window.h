#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"

namespace nimbra::keys {

inline constexpr const char* kLogonWindowName = "TLogonForm";

// The key component's logon window "TLogonForm": the user list "Users" (a
// combo box), the box "Password", and the buttons "OK" and "Cancel", which
// close it with their result. The given user is preselected, else the first.
std::unique_ptr<ui::Form> MakeLogonWindow(const std::vector<std::string>& users,
                                          const std::string& current);

}  // namespace nimbra::keys
