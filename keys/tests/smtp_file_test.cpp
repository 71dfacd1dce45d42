#include "keys/smtp_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/stream.h"
#include "keys/tests/python_email.h"
#include "keys/tests/temp_dir.h"

namespace nimbra::keys {
namespace {

const DateTime kTime{2026, 12, 7, 12, 16, 26};

// Stands in for the key component: every recipient but "nokey@x.test" gets
// the same bytes as its "Message.VRX".
class FixedEncryptor : public EnvelopeEncryptor {
 public:
  bool prepare_ok = true;
  bool show_subject = false;
  std::vector<std::uint8_t> sealed;
  std::vector<std::uint8_t> prepared;

  bool PrepareMessage(std::span<const std::uint8_t> plain) override {
    prepared.assign(plain.begin(), plain.end());
    return prepare_ok;
  }
  std::optional<std::vector<std::uint8_t>> EncryptFor(const std::string& recipient) override {
    if (recipient == "nokey@x.test") return std::nullopt;
    return sealed;
  }
  bool ShowSubject() const override { return show_subject; }
  std::string ErrorText() const override { return {}; }
};

TSMTPFile Composer() {
  TSMTPFile mail;
  mail.Clock = [] { return kTime; };
  mail.Random = [](int limit) { return limit - 1; };
  mail.FromName = "Ann of Acme";
  mail.FromEmail = "ann@acme.test";
  mail.HdrTo = "certs@nimbrapost.test";
  mail.HdrSubject = "Update Requests";
  mail.RcptName = {"certs@nimbrapost.test"};
  return mail;
}

std::vector<std::string> Compose(TSMTPFile& mail) {
  MemoryStream out;
  EXPECT_TRUE(mail.Compose(out));
  EXPECT_EQ(std::string(out.Data().begin(), out.Data().end()), mail.Text());
  return mail.Lines();
}

TEST(SmtpFile, PlainMessageHeadersAndBody) {
  TSMTPFile mail = Composer();
  mail.HdrReply = "ann@acme.test";
  mail.NimbraHeaders = "X-Nimbra-Key: one\r\nX-Nimbra-Key2: two\r\n";
  std::vector<std::string> seen;
  mail.OnHeaderLine = [&](const std::string& line) { seen.push_back(line); };
  mail.AddBodyLine("VERSION=Thicket4.x");
  mail.AddBodyLine(".");
  mail.AddBodyLine(".hidden");
  const std::vector<std::string> expected = {"X-Nimbra-Key: one",
                                             "X-Nimbra-Key2: two",
                                             "From: \"Ann of Acme\" <ann@acme.test>",
                                             "To: certs@nimbrapost.test",
                                             "Reply-To: ann@acme.test",
                                             "Subject: Update Requests",
                                             "Date: 07 Dec 2026 at 12:16:26",
                                             "Mime-Version: 1.0",
                                             "Content-Type: text/plain; charset=\"iso-8859-1\"",
                                             "",
                                             "VERSION=Thicket4.x",
                                             "..",
                                             "..hidden",
                                             "."};
  EXPECT_EQ(Compose(mail), expected);
  EXPECT_EQ(seen.size(), 9u);
  EXPECT_TRUE(mail.Boundary().empty());

  mail.FromName.clear();
  mail.ClearBody();
  const auto lines = Compose(mail);
  EXPECT_EQ(lines[2], "From: <ann@acme.test>");
  EXPECT_EQ(lines.back(), ".");
  EXPECT_EQ(lines[lines.size() - 2], "");
}

TEST(SmtpFile, LongLinesAndCallbackLines) {
  TSMTPFile mail = Composer();
  mail.AddBodyLine(std::string(TSMTPFile::kMaxLineLength, 'a') + ".b");
  int calls = 0;
  mail.OnGetData = [&](int number, std::string& line, std::size_t max, bool& more) {
    EXPECT_EQ(max, TSMTPFile::kMaxLineLength);
    more = number < 2;
    line = "data " + std::to_string(number);
    ++calls;
  };
  const auto lines = Compose(mail);
  EXPECT_EQ(calls, 3);
  const std::size_t body = 7;  // after the six headers and the empty line
  ASSERT_EQ(lines.size(), body + 5);
  EXPECT_EQ(lines[body], std::string(TSMTPFile::kMaxLineLength, 'a'));
  EXPECT_EQ(lines[body + 1], "..b");  // the continuation is dot-stuffed too
  EXPECT_EQ(lines[body + 2], "data 0");
  EXPECT_EQ(lines[body + 3], "data 1");
  EXPECT_EQ(lines[body + 4], ".");

  // A failing callback ends the body; the message is still complete.
  mail.OnGetData = [](int, std::string&, std::size_t, bool&) { throw std::runtime_error("x"); };
  EXPECT_EQ(Compose(mail).back(), ".");
}

TEST(SmtpFile, AttachmentIsMultipartAndReadsBack) {
  test::TempDir dir;
  std::string content;
  for (int i = 0; i < 46; ++i) content += static_cast<char>(i * 5);
  dir.Write("keys.bin", content);
  TSMTPFile mail = Composer();
  mail.EmailFiles = {dir.Path() / "keys.bin"};
  mail.AddBodyLine("hello");
  const auto lines = Compose(mail);
  EXPECT_EQ(mail.Boundary(), "= Multipart Boundary Dec07261216");
  EXPECT_EQ(lines[5], "Content-Type: multipart/mixed;");
  EXPECT_EQ(lines[6], "\tboundary=\"= Multipart Boundary Dec07261216\"");
  const auto base64 = std::find(lines.begin(), lines.end(), "\tfilename=\"keys.bin\"") + 2;
  EXPECT_EQ(base64->size(), 60u);
  EXPECT_EQ((base64 + 1)->size(), 4u);
  EXPECT_TRUE((base64 + 1)->ends_with("=="));

  if (!testsupport::OnPath("python3")) GTEST_SKIP() << "python3 is not installed";
  dir.Write("plain.msg", "x\r\n\r\n" + mail.Text());
  const auto out = ParseWithPython(dir, "plain.msg",
                                   "parts = msg.get_payload()\n"
                                   "print(msg.get_content_type(), len(parts))\n"
                                   "print(parts[0].get_payload().strip())\n"
                                   "print(parts[1].get_filename())\n"
                                   "sys.stdout.write(parts[1].get_payload(decode=True).hex())\n");
  std::string hex;
  for (unsigned char c : content) {
    static const char* digits = "0123456789abcdef";
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  EXPECT_EQ(out, "multipart/mixed 2\nhello\nkeys.bin\n" + hex);
}

TEST(SmtpFile, EnvelopeParsesAndCarriesTheCiphertext) {
  test::TempDir dir;
  TSMTPFile mail = Composer();
  mail.AddBodyLine("VERSION=Thicket4.x");
  FixedEncryptor crypto;
  for (int i = 0; i < 200; ++i) crypto.sealed.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  int calls = 0;
  EXPECT_TRUE(mail.ComposeEnvelopes(crypto, [&](Stream* plain, void*) {
    EXPECT_EQ(plain, nullptr);
    ++calls;
  }));
  EXPECT_EQ(calls, 1);
  // The key component was given the plain message as Compose writes it.
  TSMTPFile plain = Composer();
  plain.AddBodyLine("VERSION=Thicket4.x");
  MemoryStream plain_out;
  plain.Compose(plain_out);
  EXPECT_EQ(crypto.prepared, plain_out.Data());

  const auto& lines = mail.Lines();
  const std::string b = "VRX-ENVELOPE" + std::to_string((254 + 100) * (254 + 54) * (4 + 2));
  EXPECT_EQ(lines[0], "certs@nimbrapost.test");
  EXPECT_EQ(lines[3], "To: \"VRX-ENVELOPE:\" <certs@nimbrapost.test>");
  EXPECT_EQ(lines[4], "Subject: Encrypted NimbraPost Envelope for certs@nimbrapost.test");
  EXPECT_EQ(lines[6], "Message-Id: <\"VRX-ENVELOPE.07Dec2612161626certs@nimbrapost.test\">");
  EXPECT_EQ(lines[8], "Content-Type: multipart/mixed; boundary=\"" + b + "\"");
  EXPECT_EQ(lines.back(), "--" + b + "--");

  if (!testsupport::OnPath("python3")) GTEST_SKIP() << "python3 is not installed";
  dir.Write("env.msg", mail.Text());
  const auto out = ParseWithPython(dir, "env.msg",
                                   "parts = msg.get_payload()\n"
                                   "print(msg['From'], msg.get_content_type(), len(parts))\n"
                                   "print(parts[0].get_content_type(), parts[1].get_filename())\n"
                                   "sys.stdout.write(parts[1].get_payload(decode=True).hex())\n");
  std::string hex;
  for (unsigned char c : crypto.sealed) {
    static const char* digits = "0123456789abcdef";
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  EXPECT_EQ(out, "ann@acme.test multipart/mixed 2\ntext/plain Message.VRX\n" + hex);
}

TEST(SmtpFile, RecipientsWithoutKeysAndFailedPreparation) {
  TSMTPFile mail = Composer();
  mail.AddBodyLine("body");
  FixedEncryptor crypto;
  crypto.sealed = {1, 2, 3};
  crypto.show_subject = true;
  mail.RcptName = {"a@x.test", "nokey@x.test"};
  EXPECT_TRUE(mail.ComposeEnvelopes(crypto));
  TSMTPFile plain = Composer();
  plain.AddBodyLine("body");
  MemoryStream plain_out;
  plain.Compose(plain_out);
  const std::string plain_text(plain_out.Data().begin(), plain_out.Data().end());
  EXPECT_EQ(mail.Text(), "nokey@x.test\r\n\r\n" + plain_text);

  mail.RcptName = {"a@x.test"};
  EXPECT_TRUE(mail.ComposeEnvelopes(crypto));
  EXPECT_EQ(mail.Lines()[4], "Subject: Update Requests");

  mail.RcptName = {"nokey@x.test"};
  EXPECT_FALSE(mail.ComposeEnvelopes(crypto));

  crypto.prepare_ok = false;
  std::string handed;
  EXPECT_FALSE(mail.ComposeEnvelopes(
      crypto,
      [&](Stream* stream, void* data) {
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(data, &handed);
        auto& memory = static_cast<MemoryStream&>(*stream);
        handed.assign(memory.Data().begin(), memory.Data().end());
      },
      &handed));
  EXPECT_EQ(handed, plain_text);
  EXPECT_EQ(mail.Text(), plain_text);
}

}  // namespace
}  // namespace nimbra::keys
