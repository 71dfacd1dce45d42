#pragma once

// The mail-file composer: writes a message as RFC 822 text with MIME parts
// and wraps it into an encrypted envelope for each recipient.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/datetime.h"

namespace nimbra {
class Stream;
}

namespace nimbra::keys {

// What the envelopes need from the key component: one preparation of the
// plain message, then one encryption of the prepared message per recipient.
class EnvelopeEncryptor {
 public:
  virtual ~EnvelopeEncryptor() = default;
  // Prepares the plain message (digest, compression); false when it cannot be
  // encrypted at all.
  virtual bool PrepareMessage(std::span<const std::uint8_t> plain) = 0;
  // The content of "Message.VRX" for recipient, or nullopt when the recipient
  // has no usable key (the reason is in ErrorText()).
  virtual std::optional<std::vector<std::uint8_t>> EncryptFor(const std::string& recipient) = 0;
  // Whether the envelope may show the real subject.
  virtual bool ShowSubject() const = 0;
  virtual std::string ErrorText() const = 0;
};

class TSMTPFile {
 public:
  // Asked for a further body line after the fixed body: set line (at most
  // max_length characters) and more = true to add it, more = false to stop.
  using GetDataEvent =
      std::function<void(int line_number, std::string& line, std::size_t max_length, bool& more)>;
  using HeaderLineEvent = std::function<void(const std::string& line)>;
  // Called after each recipient's envelope with no stream, or once with the
  // plain message when it cannot be prepared for encryption.
  using EnvelopeEvent = std::function<void(Stream* plain, void* data)>;

  // The longest line written; longer body lines are continued on the next line.
  static constexpr std::size_t kMaxLineLength = 4098;

  std::string FromName;
  std::string FromEmail;
  std::vector<std::string> RcptName;
  std::string HdrTo;
  std::string HdrCC;
  std::string HdrReply;
  std::string HdrSubject;
  std::string CharSet = "iso-8859-1";
  std::vector<std::filesystem::path> EmailFiles;  // host paths, sent as base64 attachments
  std::string NimbraHeaders;                      // ready-made header lines, CR LF separated
  GetDataEvent OnGetData;
  HeaderLineEvent OnHeaderLine;
  std::string OutputFileName;

  // The clock and the random source of the envelope boundary (value in
  // 0..limit-1); both default to the key library's clock and a real source.
  std::function<DateTime()> Clock;
  std::function<int(int limit)> Random;

  void ClearBody() { body_.clear(); }
  void AddBodyLine(const std::string& text) { body_.push_back(text); }

  // Builds the plain message into Lines(), ending with the line ".", and
  // writes the lines, each followed by CR LF, to stream.
  bool Compose(Stream& stream);
  // Composes the plain message and an envelope for each recipient; true when
  // at least one envelope was made. Lines() then hold the last recipient's
  // message (address, empty line, message).
  bool ComposeEnvelopes(EnvelopeEncryptor& crypto, const EnvelopeEvent& callback = {},
                        void* callback_data = nullptr);

  const std::vector<std::string>& Lines() const { return lines_; }
  // The lines, each followed by CR LF.
  std::string Text() const;
  const std::string& Boundary() const { return boundary_; }

 private:
  DateTime CurrentTime() const;
  void AddHeader(const std::string& line);
  void AddBody(const std::string& line);
  void AddAttachment(const std::filesystem::path& file);
  void ComposeEnvelope(const std::string& recipient, std::span<const std::uint8_t> sealed,
                       bool show_subject);

  std::vector<std::string> body_;
  std::vector<std::string> lines_;
  std::string boundary_;
  int body_line_ = 0;
  int attachment_ = 0;
  int data_line_ = 0;
};

}  // namespace nimbra::keys
