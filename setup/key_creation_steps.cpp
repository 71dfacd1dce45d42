#include <algorithm>

#include "core/strings.h"
#include "keys/clock.h"
#include "platform/files/path.h"
#include "setup/created_keys.h"
#include "setup/install_ops.h"
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

namespace {

// What the update request needs of the base keys, kept in the journal so
// that a resumed installation that does not make them again still has it.
std::vector<std::string> KeptFields(const std::string& owner, const CreatedKeys& k) {
  return {owner,           k.ownAddresses,      k.ownKeyId,
          k.ownPublicKey1, k.ownPublicKey2,     k.signingAddresses,
          k.signingKeyId,  k.signingPublicText, k.signingSecond};
}

}  // namespace

// The key databases' folders: the data location and the shared one.
std::vector<std::string> TSetupForm::KeyFolders() {
  std::vector<std::string> out;
  for (const char* box : {"DataLocation", "SharedDataLocation"}) {
    const std::string dir = platform::WithTrailingBackslash(form_->At(box).text);
    const bool known =
        std::any_of(out.begin(), out.end(), [&](const std::string& d) { return SameText(d, dir); });
    if (!form_->At(box).text.empty() && !known) out.push_back(dir);
  }
  return out;
}

// Making keys is one journaled step per owner. Before it, the files of the
// key databases' folders are copied aside; a step an interrupted
// installation finished is not repeated, one it began is first taken back
// by putting those copies back, so that a key is never made twice.
bool TSetupForm::KeyStep(const std::string& what, const std::string& owner,
                         const std::function<void()>& make) {
  InstallOps& ops = Install();
  InstallJournal& journal = ops.Journal();
  const std::vector<std::string> fields = {what, owner};
  const std::string aside =
      platform::WithTrailingBackslash(form_->At("SoftwareLocation").text) + "KeysBefore\\";
  const std::vector<std::string> folders = KeyFolders();
  const auto dropCopies = [&] {
    for (std::size_t i = 0; i < folders.size(); ++i) {
      const std::string saved = aside + std::to_string(i + 1) + "\\";
      for (const auto& entry : machine_.ListDirectory(saved)) {
        if (!entry.is_directory) ops.DeleteFile(saved + entry.name);
      }
    }
  };
  for (const auto& done : journal.DoneBefore("KEYS")) {
    if (done == fields) {
      ui_.LogLine("KEYS " + what + " " + owner + " made by the interrupted installation");
      // The copies are this step's leftovers only when no later key step
      // was begun: a begun one needs them to be taken back.
      if (!journal.UnfinishedBefore("KEYS")) dropCopies();
      return false;
    }
  }
  if (journal.UnfinishedBefore("KEYS", fields)) {
    for (std::size_t i = 0; i < folders.size(); ++i) {
      const std::string saved = aside + std::to_string(i + 1) + "\\";
      for (const auto& entry : machine_.ListDirectory(folders[i])) {
        if (!entry.is_directory && !machine_.FileExists(saved + entry.name))
          ops.DeleteFile(folders[i] + entry.name);
      }
      // What the begun step left in the folders is its own: no copy of it is kept.
      for (const auto& entry : machine_.ListDirectory(saved)) {
        if (!entry.is_directory) ops.CopyFile(saved + entry.name, folders[i] + entry.name, false);
      }
    }
    ui_.LogLine("KEYS " + what + " " + owner + " taken back and made again");
  } else {
    dropCopies();
    for (std::size_t i = 0; i < folders.size(); ++i) {
      const std::string saved = aside + std::to_string(i + 1) + "\\";
      ops.CreateFolderTree(saved);
      for (const auto& entry : machine_.ListDirectory(folders[i])) {
        if (!entry.is_directory) ops.CopyFile(folders[i] + entry.name, saved + entry.name);
      }
    }
  }
  const int step = journal.Begin("KEYS", fields);
  make();
  journal.Done(step, true);
  dropCopies();
  return true;
}

void TSetupForm::CreateBaseKey() {
  const std::string owner = form_->At("UserName").text;
  for (const auto& kept : Install().Journal().DoneBefore("KEPTKEYS")) {
    if (kept.size() == 9 && kept[0] == owner)
      KeptKeyValues() = {kept[1], kept[2], kept[3], kept[4], kept[5], kept[6], kept[7], kept[8]};
  }
  KeyStep("base", owner, [this, owner] {
    MakeBaseKeys();
    Install().Note("KEPTKEYS", KeptFields(owner, KeptKeyValues()));
  });
}

void TSetupForm::MakeBaseKeys() {
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
  KeyStep("user", userName, [&] {
    KeyManager().CreateKey(0, vrxType, ExpiryText(machine_, settings_.KeyValidityDays), "Default",
                           SplitCommaList(addresses), 1, userName, form_->At("GroupName").text,
                           userName);
  });
}

void TSetupForm::CreatePreviousUserPgpKey() {
  const std::string user = form_->At("UserName").text;
  KeyStep("pgp", user, [&] {
    KeyManager().CreateKey(
        0, keys::TNimbraMGR::kPgpPrivate, ExpiryText(machine_, settings_.KeyValidityDays),
        "Default", {form_->At("PrimeEmail").text}, 1, user, form_->At("GroupName").text, user);
  });
}

void TSetupForm::SaveAuths() {
  try {
    keys::LogonRecord user{form_->At("UserName").text, form_->At("NewPass").text, std::nullopt};
    keys::TNimbraMGR& manager = KeyManager();
    if (!manager.Logon(user)) return;
    const std::string file = platform::JoinWindowsPath(context_->SetupDir(), "NBKeys.NBK");
    // A key step, so that a resumed installation does not import them twice.
    if (machine_.FileExists(file))
      KeyStep("auths", user.userName, [&] { manager.ImportKeyFile(file); });
  } catch (const std::exception&) {
    // The certification keys are a convenience; the installation goes on.
  }
}

}  // namespace nimbra::setup
