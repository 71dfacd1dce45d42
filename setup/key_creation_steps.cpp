#include <algorithm>

#include "core/strings.h"
#include "keys/clock.h"
#include "platform/files/path.h"
#include "setup/created_keys.h"
#include "setup/tsetup_form.h"

namespace nimbra::setup {

CreatedKeys& KeptKeyValues() {
  static CreatedKeys values;
  return values;
}

namespace {

// Today plus the key lifetime as "dd/mm/yyyy" with the machine's separator.
std::string ExpiryText(const platform::Machine& machine, int lifetimeDays) {
  FormatSettings settings;
  settings.date_separator = machine.DateSeparator()[0];
  return FormatDateTime("dd/mm/yyyy", keys::Now().AddDays(lifetimeDays), settings);
}

}  // namespace

void TSetupForm::CreateBaseKey() {
  keys::TNimbraMGR& manager = KeyManager();
  manager.SetTableDirectory(
      platform::JoinWindowsPath(form_->At("SoftwareLocation").text, "PowerTables"));

  // The primary address joins the list, which is then sorted.
  ui::Control& list = form_->At("EmailAddrs");
  const std::string prime = form_->At("PrimeEmail").text;
  const int at = list.IndexOf(prime);
  if (at >= 0) list.items.erase(list.items.begin() + at);
  list.items.insert(list.items.begin(), {prime, false});
  std::stable_sort(list.items.begin(), list.items.end(),
                   [](const ui::ListItem& a, const ui::ListItem& b) {
                     return AnsiCompareText(a.text, b.text) < 0;
                   });
  std::vector<std::string> addresses;
  for (const ui::ListItem& item : list.items) addresses.push_back(item.text);
  std::string joined;
  for (const std::string& address : addresses) joined += (joined.empty() ? "" : ",") + address;

  const std::string user = form_->At("UserName").text;
  const std::string group = form_->At("GroupName").text;
  const int vrxType =
      form_->At("Strong").checked ? keys::TNimbraMGR::kVrxStrong : keys::TNimbraMGR::kVrxExtreme;
  CreatedKeys& kept = KeptKeyValues();
  manager.CreateKey(0, vrxType, ExpiryText(machine_, settings_.KeyValidityDays), "Default",
                    addresses, 1, user, group, user);
  kept.ownAddresses = joined;
  kept.ownKeyId = manager.currentKey.keyId;
  kept.ownPublicKey1 = manager.createdPublicKey1;
  kept.ownPublicKey2 = manager.createdPublicKey2;

  manager.CreateKey(0, keys::TNimbraMGR::kDsaSigning,
                    ExpiryText(machine_, settings_.KeyValidityDays), "Default", addresses, 1, user,
                    group, user);
  kept.signingAddresses = joined;
  kept.signingKeyId = manager.currentKey.keyId;
  kept.signingPublicText = manager.dsaPublicText;
  kept.signingSecond = "NIL";

  if (settings_.PgpPreferencesSet)
    manager.CreateKey(0, keys::TNimbraMGR::kPgpPrivate,
                      ExpiryText(machine_, settings_.KeyValidityDays), "Default", addresses, 1,
                      user, group, user);
}

void TSetupForm::CreateUserKey(const std::string& userName, const std::string& addresses) {
  const int vrxType =
      form_->At("Strong").checked ? keys::TNimbraMGR::kVrxStrong : keys::TNimbraMGR::kVrxExtreme;
  KeyManager().CreateKey(0, vrxType, ExpiryText(machine_, settings_.KeyValidityDays), "Default",
                         SplitCommaList(addresses), 1, userName, form_->At("GroupName").text,
                         userName);
}

void TSetupForm::CreatePreviousUserPgpKey() {
  const std::string user = form_->At("UserName").text;
  KeyManager().CreateKey(
      0, keys::TNimbraMGR::kPgpPrivate, ExpiryText(machine_, settings_.KeyValidityDays), "Default",
      {form_->At("PrimeEmail").text}, 1, user, form_->At("GroupName").text, user);
}

void TSetupForm::SaveAuths() {
  try {
    keys::LogonRecord user{form_->At("UserName").text, form_->At("NewPass").text, std::nullopt};
    keys::TNimbraMGR& manager = KeyManager();
    if (!manager.Logon(user)) return;
    const std::string file = platform::JoinWindowsPath(context_->SetupDir(), "NBKeys.NBK");
    if (machine_.FileExists(file)) manager.ImportKeyFile(file);
  } catch (const std::exception&) {
    // The certification keys are a convenience; the installation goes on.
  }
}

}  // namespace nimbra::setup
