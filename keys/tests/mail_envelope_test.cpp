#include "keys/mail_envelope.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/sha1.h"
#include "keys/mail_encryptor.h"
#include "keys/smtp_file.h"
#include "keys/tests/crypto_fixture.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace nimbra::keys {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(MailEnvelopeFormat, CompressedStreamAndTrailerReadBack) {
  const auto plain = Bytes(std::string(3000, 'x') + "end");
  const auto deflated = CompressMessage(plain, 2);
  EXPECT_EQ(deflated[0], kDeflated);
  EXPECT_LT(deflated.size(), 100u);
  EXPECT_EQ(DecompressMessage(deflated), plain);
  const auto stored = CompressMessage(plain, 0);
  EXPECT_EQ(stored.size(), plain.size() + 5);
  EXPECT_EQ(DecompressMessage(stored), plain);
  EXPECT_EQ(DecompressMessage(CompressMessage({}, 2)), std::vector<std::uint8_t>{});
  auto cut = deflated;
  cut.pop_back();
  EXPECT_THROW(DecompressMessage(cut), EnvelopeError);
  auto big = stored;
  big[4] = 0x7F;  // claims a huge size
  EXPECT_THROW(DecompressMessage(big), EnvelopeError);

  Trailer trailer{"ab12cd34", 77, Sha1(plain), MakeDerived("ab12cd34", Bytes("pw"), "a@x")};
  const auto bytes = WriteTrailer(trailer);
  EXPECT_EQ(bytes.size(), 58u);
  const Trailer back = ReadTrailer(bytes);
  EXPECT_EQ(back.keyId, "ab12cd34");
  EXPECT_EQ(back.streamLength, 77u);
  EXPECT_EQ(back.digest, trailer.digest);
  EXPECT_EQ(back.derived, trailer.derived);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    auto flipped = bytes;
    flipped[i] ^= 0x10;
    EXPECT_THROW(ReadTrailer(flipped), EnvelopeError) << i;
  }

  const auto header = WriteEnvelopeHeader("ann@x.example", "ab12cd34");
  const EnvelopeHeader read = ReadEnvelopeHeader(header);
  EXPECT_EQ(read.recipient, "ann@x.example");
  EXPECT_EQ(read.keyId, "ab12cd34");
  EXPECT_EQ(read.size, header.size());
  EXPECT_THROW(ReadEnvelopeHeader(std::span(header).first(header.size() - 1)), EnvelopeError);
  EXPECT_THROW(WriteEnvelopeHeader(std::string(256, 'a'), "ab12cd34"), EnvelopeError);
  EXPECT_THROW(EnvelopeBytes("From: x\r\n\r\nno attachment\r\n"), EnvelopeError);
}

class MailEnvelopeTest : public test::CryptoFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(crypto->CreateKey(0, TNimbraMGR::kVrxStrong, "01/02/2030", "Default",
                                  {"ann@x.example"}, 1, "Ann", "", "Ann"));
    keyId = crypto->currentKey.keyId;
    mail.FromEmail = "ann@x.example";
    mail.HdrTo = "ann@x.example";
    mail.HdrSubject = "Update Requests";
    mail.AddBodyLine("VERSION=Thicket4.x");
    for (int i = 0; i < 40; ++i) mail.AddBodyLine("SIGNKEY2 line " + std::to_string(i));
  }
  std::string Plain() {
    MemoryStream out;
    TSMTPFile copy = mail;
    copy.Compose(out);
    return {out.Data().begin(), out.Data().end()};
  }
  std::string keyId;
  TSMTPFile mail;
};

TEST_F(MailEnvelopeTest, EnvelopeOpensToThePlainMessageAndEveryFlipIsNoticed) {
  const DateTime fixed{2026, 12, 7, 12, 16, 26};
  mail.Clock = [fixed] { return fixed; };
  mail.RcptName = {"ann@x.example"};
  MailEncryptor encryptor(*crypto);
  std::vector<std::string> progress;
  encryptor.OnProgress = [&](const std::string& text) { progress.push_back(text); };
  ASSERT_TRUE(mail.ComposeEnvelopes(encryptor)) << encryptor.ErrorText();
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress[0], "Compressing Message");
  EXPECT_TRUE(progress[1].starts_with("Compression Saved ")) << progress[1];
  EXPECT_EQ(progress[2], "Encrypting..");
  EXPECT_EQ(encryptor.status, ",to ann@x.example");

  const auto envelope = EnvelopeBytes(mail.Text());
  ASSERT_EQ(std::string(envelope.begin(), envelope.begin() + 4), "MAIL");
  const auto opened = OpenMailEnvelope(*crypto, envelope);
  EXPECT_EQ(std::string(opened.begin(), opened.end()), Plain());

  // Every byte: header, exchange key, ciphertext header, body and trailer.
  for (std::size_t i = 0; i < envelope.size(); ++i) {
    auto flipped = envelope;
    flipped[i] ^= 0x01;
    EXPECT_THROW(OpenMailEnvelope(*crypto, flipped), EnvelopeError) << "byte " << i;
  }
}

TEST_F(MailEnvelopeTest, RecipientWithoutKeyGetsThePlainMessage) {
  mail.RcptName = {"bob@nowhere.example"};
  MailEncryptor encryptor(*crypto);
  EXPECT_FALSE(mail.ComposeEnvelopes(encryptor));
  EXPECT_EQ(encryptor.ErrorText(), "Key Not in Database as expected");
  EXPECT_EQ(mail.Text(), "bob@nowhere.example\r\n\r\n" + Plain());

  crypto->Logoff();
  MailEncryptor loggedOff(*crypto);
  EXPECT_FALSE(mail.ComposeEnvelopes(loggedOff));
  EXPECT_EQ(mail.Text(), Plain());
}

TEST_F(MailEnvelopeTest, KeyToolOpensTheQueuedMessage) {
  mail.RcptName = {"ann@x.example"};
  MailEncryptor encryptor(*crypto);
  ASSERT_TRUE(mail.ComposeEnvelopes(encryptor));
  const std::string plain = Plain();
  crypto.reset();
  CloseAllTables();
  testsupport::TempFolder files("envelope");
  const std::string text = mail.Text();
  testsupport::WriteText(files.Path() / "000000000000.msg", text);
  std::string tampered = text;
  tampered[tampered.size() / 2 + 200] ^= 0x02;  // inside the base64 text
  testsupport::WriteText(files.Path() / "tampered.msg", tampered);
  const std::string tool =
      testsupport::ShellQuote(testsupport::BuiltProgram("nimbra-keys").string()) + " --machine " +
      testsupport::ShellQuote(m.Root().string()) + " --user Ann --password a open-envelope ";
  const auto good = testsupport::RunCommand(
      tool + testsupport::ShellQuote((files.Path() / "000000000000.msg").string()));
  ASSERT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(good.out, plain);
  const auto bad = testsupport::RunCommand(
      tool + testsupport::ShellQuote((files.Path() / "tampered.msg").string()));
  EXPECT_EQ(bad.status, 2);
  EXPECT_FALSE(bad.err.empty());
}

}  // namespace
}  // namespace nimbra::keys
