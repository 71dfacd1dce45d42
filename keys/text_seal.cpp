#include "keys/text_seal.h"

#include <vector>

#include "core/hex.h"
#include "core/sha1.h"
#include "engine/secret_key.h"
#include "keys/letters.h"

namespace nimbra::keys {

std::string SealText(std::string_view text, const std::string& passphrase) {
  engine::TSecretKey secret;  // fresh random value from the system's source
  std::vector<std::uint8_t> protectedBytes;
  secret.EncryptBytes(protectedBytes, reinterpret_cast<const std::uint8_t*>(text.data()),
                      passphrase, text.size());
  protectedBytes.resize(text.size() + engine::TSecretKey::kRandomSize);
  const LetterTexts letters = ToLetters(protectedBytes);
  return letters.first + letters.second;
}

std::optional<std::string> UnsealText(std::string_view sealed, const std::string& passphrase) {
  if (sealed.size() % 2 != 0 || sealed.size() / 2 < engine::TSecretKey::kRandomSize)
    return std::nullopt;
  for (char c : sealed)
    if (c < 'A' || c > 'P') return std::nullopt;
  const std::size_t half = sealed.size() / 2;
  const std::vector<std::uint8_t> bytes = FromLetters(sealed.substr(0, half), sealed.substr(half));
  engine::TSecretKey secret;
  std::vector<std::uint8_t> plain;
  secret.DecryptBytes(plain, bytes.data(), passphrase, bytes.size());
  plain.resize(bytes.size() - engine::TSecretKey::kRandomSize);
  return std::string(plain.begin(), plain.end());
}

std::string SealSettingText(std::string_view text) {
  return SealText(text, std::string(kTextSealPassphrase));
}

std::optional<std::string> UnsealSettingText(std::string_view sealed) {
  return UnsealText(sealed, std::string(kTextSealPassphrase));
}

std::string Sha1Hex(std::string_view text) {
  return HexUpper(Sha1(text));
}

std::string MakeDatabasePassword(std::span<const std::uint8_t> randomBytes) {
  return Sha1Hex(HexUpper(randomBytes));
}

std::string SealUserEntry(std::string_view password, std::string_view databasePassword) {
  const std::string hash = Sha1Hex(password);
  return SealText(hash + std::string(databasePassword), hash);
}

}  // namespace nimbra::keys
