#pragma once

// The key component's side of the envelopes: prepares the plain message once
// (digest, compression by the user's policy) and encrypts it for each
// recipient's VRX key from the recipients databases.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "keys/smtp_file.h"

namespace nimbra::keys {

class TNimbraCrypto;

class MailEncryptor : public EnvelopeEncryptor {
 public:
  explicit MailEncryptor(TNimbraCrypto& crypto) : crypto_(crypto) {}

  // Shown as the work goes on ("Compressing Message", "Encrypting..").
  std::function<void(const std::string& text)> OnProgress;
  // The recipients so far (",to " + address for each).
  std::string status;

  bool PrepareMessage(std::span<const std::uint8_t> plain) override;
  std::optional<std::vector<std::uint8_t>> EncryptFor(const std::string& recipient) override;
  bool ShowSubject() const override;
  std::string ErrorText() const override { return error_; }

 private:
  void Progress(const std::string& text);

  TNimbraCrypto& crypto_;
  std::vector<std::uint8_t> compressed_;
  std::array<std::uint8_t, 20> digest_{};
  bool prepared_ = false;
  std::string error_;
};

// The plain message of an envelope (the bytes of "Message.VRX") made for one
// of the logged-on user's own keys. Raises EnvelopeError when the key is not
// there or anything in the envelope does not match.
std::vector<std::uint8_t> OpenMailEnvelope(TNimbraCrypto& crypto,
                                           std::span<const std::uint8_t> envelope);

}  // namespace nimbra::keys
