#pragma once

// Puts Calypso and Email 2000 mailboxes on a machine: the mailbox file and
// the mail program's library with its App Paths entry, so that the mailbox
// library stand-in loads for it.

#include <string>
#include <vector>

#include "detect/mailbox_file.h"
#include "platform/machine.h"

namespace nimbra::detect {

// The mail program a mailbox file belongs to: Email 2000 for ".e2k" (any
// case), else Calypso.
bool IsEmail2000Mailbox(const std::string& path);

// Writes a new mailbox file (replacing one that exists) protected by
// password, its folders created. EMailboxFile or platform::FileError on
// failure.
void CreateMailbox(platform::Machine& machine, const std::string& path, const std::string& password,
                   std::vector<MailboxAccount> accounts);

// Registers the mail program of the mailbox: when App Paths names no program
// yet, programDir + "\Calypso.exe" (or "\Email2000.exe"), and a
// "MailDB32.dll" file in the program's folder when it has none. Returns the
// library's path.
std::string InstallMailboxLibrary(platform::Machine& machine, const std::string& mailboxPath,
                                  const std::string& programDir);

}  // namespace nimbra::detect
