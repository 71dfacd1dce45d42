#include "keys/text_seal.h"

#include <vector>

#include "core/hex.h"
#include "core/sha1.h"
#include "engine/keys/secret_key.h"
#include "keys/letters.h"

namespace nimbra::keys {

namespace {

// Upper-case hexadecimal digits of secret bytes, held as a secret too.
SecretBuffer HexDigits(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  SecretBuffer digits(2 * bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    digits.data()[2 * i] = static_cast<std::uint8_t>(kDigits[bytes[i] >> 4]);
    digits.data()[2 * i + 1] = static_cast<std::uint8_t>(kDigits[bytes[i] & 15]);
  }
  return digits;
}

// The digits of the SHA-1 of secret bytes, and nothing of the digest left.
SecretBuffer Sha1Digits(std::span<const std::uint8_t> bytes) {
  Sha1Digest digest = Sha1(bytes);
  SecretBuffer digits = HexDigits(digest);
  SecureWipe(digest.data(), digest.size());
  return digits;
}

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string SealText(std::string_view text, std::string_view passphrase) {
  engine::TSecretKey secret;  // fresh random value from the system's source
  std::vector<std::uint8_t> protectedBytes;
  secret.EncryptBytes(protectedBytes, BytesOf(text).data(), passphrase, text.size());
  const LetterTexts letters = ToLetters(protectedBytes);
  return letters.first + letters.second;
}

std::optional<SecretBuffer> UnsealText(std::string_view sealed, std::string_view passphrase) {
  if (sealed.size() % 2 != 0 || sealed.size() / 2 < engine::TSecretKey::kRandomSize)
    return std::nullopt;
  for (char c : sealed)
    if (c < 'A' || c > 'P') return std::nullopt;
  const std::size_t half = sealed.size() / 2;
  const SecretBuffer bytes = FromLetters(sealed.substr(0, half), sealed.substr(half));
  engine::TSecretKey secret;
  SecretBuffer plain;
  secret.DecryptBytes(plain, bytes.data(), passphrase, bytes.size());
  plain.Resize(bytes.size() - engine::TSecretKey::kRandomSize);
  return plain;
}

std::string SealSettingText(std::string_view text) {
  return SealText(text, kTextSealPassphrase);
}

std::optional<std::string> UnsealSettingText(std::string_view sealed) {
  auto text = UnsealText(sealed, kTextSealPassphrase);
  if (!text) return std::nullopt;
  return std::string(text->Text());
}

std::string Sha1Hex(std::string_view text) {
  return HexUpper(Sha1(text));
}

SecretBuffer PasswordHash(std::string_view password) {
  return Sha1Digits(BytesOf(password));
}

SecretBuffer MakeDatabasePassword(std::span<const std::uint8_t> randomBytes) {
  return Sha1Digits(HexDigits(randomBytes).Bytes());
}

std::string SealUserEntry(std::string_view password, std::string_view databasePassword) {
  const SecretBuffer hash = PasswordHash(password);
  SecretBuffer entry = hash;
  entry.Append(databasePassword);
  return SealText(entry.Text(), hash.Text());
}

}  // namespace nimbra::keys
