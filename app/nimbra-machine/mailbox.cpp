// nimbra-machine mailbox: a Calypso or Email 2000 mailbox file with its
// accounts, and the mail program's library so that the mailbox can be read.

#include <cstdio>
#include <string>
#include <vector>

#include "app/nimbra-machine/commands.h"
#include "detect/mailbox_install.h"
#include "platform/machine.h"

namespace nimbra::machine_tool {

void RunMailbox(const Args& args) {
  const std::string usage =
      "mailbox DIR WINPATH --password P --account \"name|address|reply|pop3|pop3port|smtp|"
      "smtpport\" [--account ...] [--program-dir WINDIR]";
  if (args.size() < 2) throw UsageError(usage);
  std::string password;
  bool havePassword = false;
  std::string programDir;
  std::vector<detect::MailboxAccount> accounts;
  for (std::size_t i = 2; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) throw UsageError(usage);
    const std::string& option = args[i];
    const std::string& value = args[i + 1];
    if (option == "--password") {
      password = value;
      havePassword = true;
    } else if (option == "--account") {
      accounts.push_back(detect::ParseAccountSpec(value));
    } else if (option == "--program-dir") {
      programDir = value;
    } else {
      throw UsageError(usage);
    }
  }
  if (!havePassword || accounts.empty()) throw UsageError(usage);
  const std::string& path = args[1];
  if (programDir.empty()) {
    programDir = detect::IsEmail2000Mailbox(path) ? "C:\\Program Files\\Email 2000"
                                                  : "C:\\Program Files\\Calypso";
  }
  platform::Machine machine = platform::Machine::Open(args[0]);
  detect::CreateMailbox(machine, path, password, accounts);
  const std::string library = detect::InstallMailboxLibrary(machine, path, programDir);
  machine.Save();
  std::printf("Mailbox %s: %zu account(s); library %s\n", path.c_str(), accounts.size(),
              library.c_str());
}

}  // namespace nimbra::machine_tool
