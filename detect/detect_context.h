#pragma once

#include <string>
#include <vector>

#include "detect/detected_account.h"
#include "platform/machine.h"
#include "ui/ui.h"

namespace nimbra::detect {

// The reader of the Calypso and Email 2000 mailbox files, which reads their
// accounts through the mail programs' own mailbox library. Without one (no
// binding of that library exists) a mailbox file yields nothing and a saved
// mailbox account keeps what WS.INI holds, as when the library is missing.
class MailboxReader {
 public:
  virtual ~MailboxReader() = default;
  // Search mode: adds the accounts of one mailbox file ("*.box" or "*.e2k").
  virtual void ReadMailbox(const std::string& path, std::vector<DetectedAccount>& found) = 0;
  // Refresh mode: re-reads a saved account of client type 9.
  virtual void Refresh(DetectedAccount& account) = 0;
  // Points the mailbox's account (type 9) at the account's POP3 and SMTP
  // mappings, with the saved password; a mailbox that cannot be opened so
  // is left unchanged, silently. True when the account was written.
  virtual bool Protect(const DetectedAccount& account) = 0;
};

// What the readers work with: the machine, the person behind the window
// (message pumping, questions), the folder of the running setup program
// (ending in "\"), the search drives ("C:\" roots) and the mailbox reader.
struct DetectContext {
  DetectContext(platform::Machine& m, ui::Ui& u, std::string dir)
      : machine(m), ui(u), setupDir(std::move(dir)) {}

  platform::Machine& machine;
  ui::Ui& ui;
  std::string setupDir;
  std::vector<std::string> searchDrives;
  MailboxReader* mailboxes = nullptr;

  // Lets the window process pending messages.
  void Pump() const { ui.ProcessMessages(); }
};

}  // namespace nimbra::detect
