#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/secret_buffer.h"

namespace nimbra::keys {

// Texts sealed for the users file: the text protected under a pass phrase
// (see engine/keys/secret_key.h) and written in the letter form, the first letter
// text followed by the second (both of one length).
std::string SealText(std::string_view text, std::string_view passphrase);
// The sealed text back; nullopt for a text that is not a letter form of a
// protected text (odd length, letters outside A..P, too short).
std::optional<SecretBuffer> UnsealText(std::string_view sealed, std::string_view passphrase);

// The fixed 18-character pass phrase under which the component seals short
// texts such as the "USERLEVEL" values. Every program that reads those
// values uses the same routine and pass phrase.
inline constexpr std::string_view kTextSealPassphrase = "Nb4-Lvl/Seal#0718q";
std::string SealSettingText(std::string_view text);
std::optional<std::string> UnsealSettingText(std::string_view sealed);

// SHA-1 of a text as 40 upper-case hexadecimal digits.
std::string Sha1Hex(std::string_view text);
// The same for a password: the digits stand for the password (a logon takes
// them in its place), so they are held as a secret.
SecretBuffer PasswordHash(std::string_view password);

// A new database password: the SHA-1, in upper-case hexadecimal, of the
// upper-case hexadecimal text of the random bytes.
SecretBuffer MakeDatabasePassword(std::span<const std::uint8_t> randomBytes);

// A user's entry in the users file: the sealed text of SHA-1(password) in
// hexadecimal followed by the database password, under that same hexadecimal
// text as pass phrase.
std::string SealUserEntry(std::string_view password, std::string_view databasePassword);

}  // namespace nimbra::keys
