#include "detect/mailbox_file.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>

namespace nimbra::detect {

namespace {

constexpr std::string_view kMagic = "NimbraPost mailbox 1";
constexpr std::string_view kPasswordKey = "Password=pbkdf2-sha256:";
constexpr std::string_view kAccountKey = "Account=";
constexpr std::uint32_t kIterations = 20000;
constexpr std::uint32_t kMaxIterations = 10000000;
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kCheckSize = 32;
constexpr char kHex[] = "0123456789abcdef";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Hex(std::string_view bytes) {
  std::string out;
  for (const unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

std::string Unhex(std::string_view text, std::size_t size, const char* what) {
  if (text.size() != 2 * size)
    throw EMailboxFile(std::string("the ") + what + " has a wrong length");
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) throw EMailboxFile(std::string("the ") + what + " is not hexadecimal");
    out += static_cast<char>(high * 16 + low);
  }
  return out;
}

// Texts are kept with "%", "|", CR, LF and control characters as %XX.
std::string Escape(std::string_view text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c == '%' || c == '|' || c < 0x20 || c == 0x7f) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
    if (low < 0) throw EMailboxFile("a text holds a bad %-escape");
    const char c = static_cast<char>(high * 16 + low);
    if (c == '\0') throw EMailboxFile("a text holds a zero byte");
    out += c;
    i += 2;
  }
  return out;
}

std::uint32_t Number(std::string_view text, std::uint32_t most, const char* what) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > most)
    throw EMailboxFile(std::string("the ") + what + " is not a number up to " +
                       std::to_string(most));
  return value;
}

std::vector<std::string_view> Split(std::string_view text, char by) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = text.find(by);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

MailboxAccount AccountFromFields(const std::vector<std::string_view>& fields,
                                 std::string (*text)(std::string_view)) {
  if (fields.size() != 7) throw EMailboxFile("an account has not seven fields");
  MailboxAccount account;
  account.name = text(fields[0]);
  account.address = text(fields[1]);
  account.reply = text(fields[2]);
  account.pop3Server = text(fields[3]);
  account.pop3Port = Number(fields[4], 65535, "POP3 port");
  account.smtpServer = text(fields[5]);
  account.smtpPort = Number(fields[6], 65535, "SMTP port");
  return account;
}

std::string Derive(std::string_view password, std::string_view salt, std::uint32_t iterations) {
  std::string out(kCheckSize, '\0');
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                        reinterpret_cast<const unsigned char*>(salt.data()),
                        static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                        static_cast<int>(out.size()),
                        reinterpret_cast<unsigned char*>(out.data())) != 1)
    throw EMailboxFile("the password check could not be computed");
  return out;
}

}  // namespace

MailboxContents ParseMailboxFile(std::string_view bytes) {
  std::vector<std::string_view> lines = Split(bytes, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  MailboxContents contents;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string_view line = lines[n];
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    try {
      if (n == 0) {
        if (line != kMagic) throw EMailboxFile("not a mailbox file");
      } else if (n == 1) {
        if (!line.starts_with(kPasswordKey)) throw EMailboxFile("the password check is missing");
        const auto parts = Split(line.substr(kPasswordKey.size()), ':');
        if (parts.size() != 3) throw EMailboxFile("the password check is malformed");
        contents.iterations = Number(parts[0], kMaxIterations, "iteration count");
        if (contents.iterations == 0) throw EMailboxFile("the iteration count is 0");
        contents.salt = Unhex(parts[1], kSaltSize, "salt");
        contents.check = Unhex(parts[2], kCheckSize, "password check");
      } else {
        if (!line.starts_with(kAccountKey)) throw EMailboxFile("an unknown line");
        if (contents.accounts.size() == kMaxMailboxAccounts)
          throw EMailboxFile("more than " + std::to_string(kMaxMailboxAccounts) + " accounts");
        contents.accounts.push_back(
            AccountFromFields(Split(line.substr(kAccountKey.size()), '|'), Unescape));
      }
    } catch (const EMailboxFile& e) {
      throw EMailboxFile("mailbox file, line " + std::to_string(n + 1) + ": " + e.what());
    }
  }
  if (lines.size() < 2) throw EMailboxFile("mailbox file: too short to be a mailbox");
  return contents;
}

std::string FormatMailboxFile(const MailboxContents& contents) {
  std::string out(kMagic);
  out += "\r\n";
  out += kPasswordKey;
  out += std::to_string(contents.iterations) + ":" + Hex(contents.salt) + ":" +
         Hex(contents.check) + "\r\n";
  for (const MailboxAccount& a : contents.accounts) {
    out += kAccountKey;
    out += Escape(a.name) + "|" + Escape(a.address) + "|" + Escape(a.reply) + "|" +
           Escape(a.pop3Server) + "|" + std::to_string(a.pop3Port) + "|" + Escape(a.smtpServer) +
           "|" + std::to_string(a.smtpPort) + "\r\n";
  }
  return out;
}

MailboxContents NewMailbox(std::string_view password, std::vector<MailboxAccount> accounts) {
  MailboxContents contents;
  contents.iterations = kIterations;
  contents.salt.assign(kSaltSize, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(contents.salt.data()), kSaltSize) != 1)
    throw EMailboxFile("no random salt could be drawn");
  contents.check = Derive(password, contents.salt, contents.iterations);
  contents.accounts = std::move(accounts);
  return contents;
}

bool PasswordMatches(const MailboxContents& contents, std::string_view password) {
  const std::string check = Derive(password, contents.salt, contents.iterations);
  return check.size() == contents.check.size() &&
         CRYPTO_memcmp(check.data(), contents.check.data(), check.size()) == 0;
}

MailboxAccount ParseAccountSpec(std::string_view spec) {
  return AccountFromFields(Split(spec, '|'), [](std::string_view t) { return std::string(t); });
}

}  // namespace nimbra::detect
