#pragma once

#include <string>
#include <vector>

#include "detect/detect_context.h"
#include "platform/processes/library.h"

namespace nimbra::detect {

// The Calypso / Email 2000 reader: loads the mail program's mailbox library
// (through its App Paths folder; for Calypso "Calyxx.dll" as the fallback),
// opens the mailbox with the password the user gives and adds one account
// (type 9) per account of the mailbox. A missing library or export skips the
// mailbox silently.
class LibraryMailboxReader : public MailboxReader {
 public:
  LibraryMailboxReader(DetectContext& context, platform::LibraryLoader& libraries)
      : context_(context), libraries_(libraries) {}

  void ReadMailbox(const std::string& path, std::vector<DetectedAccount>& found) override;
  // Re-reads the account at the saved sub-client position, asking for the
  // password again; the record keeps its values when the mailbox is skipped
  // or holds no account at that position.
  void Refresh(DetectedAccount& account) override;
  // Replaces the POP3 and SMTP server texts of the account at the saved
  // sub-client position by the mappings' hosts, and the ports by theirs.
  bool Protect(const DetectedAccount& account) override;

 private:
  std::vector<DetectedAccount> ReadAccounts(const std::string& path);

  DetectContext& context_;
  platform::LibraryLoader& libraries_;
};

}  // namespace nimbra::detect
