#pragma once

// The mailbox file of the Calypso / Email 2000 stand-in library: a text file
// holding a salted password check and the mailbox's accounts (the layout is
// described in docs/mailbox-format.md).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::detect {

// A mailbox file that cannot be read as one: what is wrong and on which line.
class EMailboxFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct MailboxAccount {
  std::string name;
  std::string address;
  std::string reply;
  std::string pop3Server;
  std::uint32_t pop3Port = 110;
  std::string smtpServer;
  std::uint32_t smtpPort = 25;
};

struct MailboxContents {
  std::uint32_t iterations = 0;  // PBKDF2-HMAC-SHA256 rounds
  std::string salt;              // raw bytes
  std::string check;             // the derived 32 bytes
  std::vector<MailboxAccount> accounts;
};

// The most accounts one mailbox holds.
inline constexpr std::size_t kMaxMailboxAccounts = 1000;

// Reads a mailbox file's bytes; EMailboxFile on anything malformed.
MailboxContents ParseMailboxFile(std::string_view bytes);
// The file's bytes; ParseMailboxFile(FormatMailboxFile(c)) gives c back.
std::string FormatMailboxFile(const MailboxContents& contents);

// A new mailbox protected by password (a fresh random salt).
MailboxContents NewMailbox(std::string_view password, std::vector<MailboxAccount> accounts);
bool PasswordMatches(const MailboxContents& contents, std::string_view password);

// "name|address|reply|pop3|pop3port|smtp|smtpport" as the machine tool takes
// an account; EMailboxFile when it has not seven fields or a port is bad.
MailboxAccount ParseAccountSpec(std::string_view spec);

}  // namespace nimbra::detect
