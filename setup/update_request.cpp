// The "Update Requests" message to the certification server, and the import
// of a correspondent's key left by a distribution ("Distrib.ini").

#include <string>
#include <vector>

#include "core/stream.h"
#include "keys/mail_encryptor.h"
#include "keys/smtp_file.h"
#include "platform/files/path.h"
#include "platform/profile/profile_file.h"
#include "setup/created_keys.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"

namespace nimbra::setup {

bool TSetupForm::FreeUpdatesChosen() {
  const ui::Control& choice = form_->At("FreeUpdatesYesNo");
  const int at = choice.itemIndex;
  if (at < 0 || at >= static_cast<int>(choice.items.size())) return true;  // "Yes." by default
  return choice.items[static_cast<std::size_t>(at)].text != "No.";
}

std::vector<std::string> TSetupForm::UpdateRequestBody() {
  ui::Form& f = *form_;
  std::vector<std::string> body;
  body.push_back((FreeUpdatesChosen() ? "VERSION=" : "VERSION=NOUPDATES") +
                 EditionWord(settings_.InstallType) + settings_.Release);
  body.push_back("SOURCED=" + settings_.Source);
  if (settings_.FromFriend) body.push_back("FROMFRIEND=YES");
  if (settings_.Distribute) body.push_back("DISTRIB=YES");
  // The key groups go out when this run made the user's keys (a new
  // installation, or a new one chosen over the upgrade) and they exist.
  const CreatedKeys& kept = KeptKeyValues();
  if ((!settings_.PreviousFound || settings_.CreateNewKeys) && !kept.ownKeyId.empty()) {
    body.insert(body.end(),
                {"SIGNKEY2", "NAME=" + f["UserName"].text, "EMAIL=" + f["PrimeEmail"].text,
                 "ALIAS=" + kept.ownAddresses, "VRX1=" + kept.ownPublicKey1,
                 "VRX2=" + (kept.ownPublicKey2.empty() ? std::string("NIL") : kept.ownPublicKey2),
                 "KEYREF=" + kept.ownKeyId});
    body.insert(body.end(),
                {"SIGNKEY2", "NAME=", "EMAIL=", "ALIAS=" + kept.signingAddresses,
                 "VRX1=" + kept.signingPublicText, "VRX2=NIL", "KEYREF=" + kept.signingKeyId});
  }
  return body;
}

void TSetupForm::RegServer() {
  const int type = settings_.InstallType;
  if (type >= 5 || settings_.JoinExistingDatabase || settings_.UpdateRequestSent) return;
  settings_.UpdateRequestSent = true;
  ui::Form& f = *form_;
  const std::string user = f["UserName"].text;
  const std::string prime = f["PrimeEmail"].text;
  const std::string server = settings_.CertificationAddress;

  keys::TNimbraMGR& manager = KeyManager();
  // The installation run left the new user logged on; without a logon the
  // request goes out as a plain message.
  keys::TSMTPFile mail;
  mail.RcptName = {server};
  mail.FromName = f["RegName"].text.empty() ? user : user + " of " + f["RegName"].text;
  mail.FromEmail = prime;
  MemoryStream headers;
  try {
    manager.WriteKeyHeaders(headers, prime);
  } catch (const std::exception&) {
    headers.Clear();  // the request is still useful without the key headers
  }
  mail.NimbraHeaders.assign(headers.Data().begin(), headers.Data().end());
  mail.HdrTo = server;
  mail.HdrReply = prime;
  mail.HdrSubject = "Update Requests";
  for (const std::string& line : UpdateRequestBody()) mail.AddBodyLine(line);

  keys::MailEncryptor encryptor(manager);
  bool unprepared = false;
  mail.ComposeEnvelopes(encryptor, [&](Stream* plain, void*) { unprepared = plain != nullptr; });
  // A message the sender can pick up always starts with its recipient.
  std::string text = mail.Text();
  if (unprepared) text = server + "\r\n\r\n" + text;
  const std::string file = platform::JoinWindowsPath(
      platform::NormalizeLocation(f["SoftwareLocation"].text), "Messages\\000000000000.msg");
  const bool written = Install().WriteFile(file, text);
  ui_.LogLine("UPDATEREQUEST " + file + " -> " + (written ? "queued" : "not written"));
}

void TSetupForm::SaveFriends() {
  const std::string file = platform::JoinWindowsPath(machine_.WindowsDirectory(), "Distrib.ini");
  const auto host = machine_.HostPath(file);
  if (!host || !machine_.FileExists(file)) return;
  try {
    platform::ProfileFile ini(*host);
    auto read = [&](const char* key) { return ini.ReadString("Distrib", key, ""); };
    const std::string name = read("Name");
    if (name.empty()) return;
    std::string aliases = read("Aliases");
    if (aliases.empty()) aliases = read("Email");
    // A key step: a resumed installation finds the key imported already.
    KeyStep("friend", name, [&] {
      KeyManager().ImportPublicKey(name, form_->At("GroupName").text, "DSA", aliases, "3.x",
                                   read("Expire"), read("KeyRef"), read("PKy2"), read("Pky1"));
    });
    settings_.FromFriend = true;
  } catch (const std::exception& e) {
    // A damaged record or a key that does not import leaves the flag off.
    ui_.LogLine(std::string("FRIENDKEY not imported: ") + e.what());
  }
}

}  // namespace nimbra::setup
