// The mailbox file reader: any bytes are read or refused with EMailboxFile,
// and a file read is written back to bytes that read the same.
#include "detect/mailbox_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbra::detect;
  MailboxContents read;
  try {
    read = ParseMailboxFile(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const EMailboxFile&) {
    return 0;
  }
  const MailboxContents again = ParseMailboxFile(FormatMailboxFile(read));
  if (again.accounts.size() != read.accounts.size() || again.salt != read.salt ||
      again.check != read.check || again.iterations != read.iterations)
    std::abort();
  for (std::size_t i = 0; i < read.accounts.size(); ++i) {
    const MailboxAccount& a = read.accounts[i];
    const MailboxAccount& b = again.accounts[i];
    if (a.name != b.name || a.address != b.address || a.reply != b.reply ||
        a.pop3Server != b.pop3Server || a.smtpServer != b.smtpServer || a.pop3Port != b.pop3Port ||
        a.smtpPort != b.smtpPort)
      std::abort();
  }
  return 0;
}
