#include "keys/mail_envelope.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/base64.h"
#include "core/sha1.h"
#include "keys/key_texts.h"

namespace nimbra::keys {

namespace {

constexpr std::uint8_t kTrailerStart[2] = {0xA5, 0x5A};
constexpr std::uint8_t kTrailerEnd[2] = {0x5A, 0xA5};
constexpr std::size_t kKeyIdSize = 8;
// Larger messages are not composed by the system; a size field above this is
// damage, not a reason to reserve the memory.
constexpr std::uint32_t kMaxMessageSize = 64u << 20;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t GetU32(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
         static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

std::string FixedKeyId(std::string_view keyId) {
  std::string field(keyId.substr(0, kKeyIdSize));
  field.resize(kKeyIdSize, ' ');
  return field;
}

}  // namespace

std::vector<std::uint8_t> CompressMessage(std::span<const std::uint8_t> plain, int level) {
  if (plain.size() > kMaxMessageSize) throw EnvelopeError("message too large to send");
  std::vector<std::uint8_t> out{level > 0 ? kDeflated : kStored};
  PutU32(out, static_cast<std::uint32_t>(plain.size()));
  if (level <= 0) {
    out.insert(out.end(), plain.begin(), plain.end());
    return out;
  }
  uLongf size = compressBound(static_cast<uLong>(plain.size()));
  out.resize(5 + size);
  if (compress2(out.data() + 5, &size, plain.data(), static_cast<uLong>(plain.size()), level) !=
      Z_OK) {
    throw EnvelopeError("compression failed");
  }
  out.resize(5 + size);
  return out;
}

std::vector<std::uint8_t> DecompressMessage(std::span<const std::uint8_t> stream) {
  if (stream.size() < 5) throw EnvelopeError("compressed message too short");
  const std::uint32_t size = GetU32(stream.data() + 1);
  const auto body = stream.subspan(5);
  if (stream[0] == kStored) {
    if (body.size() != size) throw EnvelopeError("stored message size does not match");
    return {body.begin(), body.end()};
  }
  if (stream[0] != kDeflated) throw EnvelopeError("unknown compression method");
  if (size > kMaxMessageSize) throw EnvelopeError("compressed message size out of range");
  std::vector<std::uint8_t> out(size);
  uLongf out_size = size;
  uLong in_size = static_cast<uLong>(body.size());
  // An empty output buffer needs a valid pointer for zlib.
  std::uint8_t empty = 0;
  const int rc = uncompress2(size ? out.data() : &empty, &out_size, body.data(), &in_size);
  if (rc != Z_OK || out_size != size || in_size != body.size()) {
    throw EnvelopeError("compressed message is damaged");
  }
  return out;
}

std::array<std::uint8_t, 14> MakeDerived(std::string_view keyId,
                                         std::span<const std::uint8_t> password,
                                         std::string_view recipient) {
  std::vector<std::uint8_t> input(keyId.begin(), keyId.end());
  input.insert(input.end(), password.begin(), password.end());
  input.insert(input.end(), recipient.begin(), recipient.end());
  const Sha1Digest digest = Sha1(input);
  std::array<std::uint8_t, 14> derived{};
  std::copy_n(digest.begin(), derived.size(), derived.begin());
  return derived;
}

std::array<std::uint8_t, kTrailerSize> WriteTrailer(const Trailer& trailer) {
  std::vector<std::uint8_t> out(kTrailerStart, kTrailerStart + 2);
  const std::string id = FixedKeyId(trailer.keyId);
  out.insert(out.end(), id.begin(), id.end());
  char length[9];
  std::snprintf(length, sizeof length, "%08X", trailer.streamLength);
  out.insert(out.end(), length, length + 8);
  out.insert(out.end(), trailer.digest.begin(), trailer.digest.end());
  out.insert(out.end(), trailer.derived.begin(), trailer.derived.end());
  PutU32(out, static_cast<std::uint32_t>(crc32(0, out.data(), static_cast<uInt>(out.size()))));
  out.insert(out.end(), kTrailerEnd, kTrailerEnd + 2);
  std::array<std::uint8_t, kTrailerSize> result{};
  std::copy(out.begin(), out.end(), result.begin());
  return result;
}

Trailer ReadTrailer(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kTrailerSize) throw EnvelopeError("trailer missing");
  if (std::memcmp(bytes.data(), kTrailerStart, 2) != 0 ||
      std::memcmp(bytes.data() + 56, kTrailerEnd, 2) != 0) {
    throw EnvelopeError("trailer markers do not match");
  }
  if (GetU32(bytes.data() + 52) != static_cast<std::uint32_t>(crc32(0, bytes.data(), 52))) {
    throw EnvelopeError("trailer check value does not match");
  }
  Trailer trailer;
  trailer.keyId.assign(bytes.begin() + 2, bytes.begin() + 10);
  while (!trailer.keyId.empty() && trailer.keyId.back() == ' ') trailer.keyId.pop_back();
  const std::string length(bytes.begin() + 10, bytes.begin() + 18);
  if (length.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    throw EnvelopeError("trailer length field is not hexadecimal");
  }
  trailer.streamLength = static_cast<std::uint32_t>(std::stoul(length, nullptr, 16));
  std::copy_n(bytes.begin() + 18, 20, trailer.digest.begin());
  std::copy_n(bytes.begin() + 38, 14, trailer.derived.begin());
  return trailer;
}

std::vector<std::uint8_t> WriteEnvelopeHeader(std::string_view recipient, std::string_view keyId) {
  if (recipient.size() > 255) throw EnvelopeError("recipient address longer than 255 characters");
  std::string header = "MAIL";
  header += static_cast<char>(recipient.size());
  header += recipient;
  header += "VRX";
  header += FixedKeyId(keyId);
  return {header.begin(), header.end()};
}

EnvelopeHeader ReadEnvelopeHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 5 || std::memcmp(bytes.data(), "MAIL", 4) != 0) {
    throw EnvelopeError("not a mail envelope (no MAIL header)");
  }
  const std::size_t length = bytes[4];
  if (bytes.size() < 5 + length + 3 + kKeyIdSize) throw EnvelopeError("envelope header cut short");
  EnvelopeHeader header;
  header.recipient.assign(bytes.begin() + 5, bytes.begin() + 5 + length);
  if (std::memcmp(bytes.data() + 5 + length, "VRX", 3) != 0) {
    throw EnvelopeError("envelope is not for a VRX key");
  }
  header.keyId.assign(bytes.begin() + 8 + length, bytes.begin() + 8 + length + kKeyIdSize);
  while (!header.keyId.empty() && header.keyId.back() == ' ') header.keyId.pop_back();
  header.size = 8 + length + kKeyIdSize;
  return header;
}

std::vector<std::uint8_t> OpenPreparedMessage(std::span<const std::uint8_t> prepared,
                                              std::string_view keyId) {
  if (prepared.size() < kTrailerSize) throw EnvelopeError("message too short for its trailer");
  const auto stream = prepared.first(prepared.size() - kTrailerSize);
  const Trailer trailer = ReadTrailer(prepared.last(kTrailerSize));
  std::string expected = FixedKeyId(keyId);
  while (!expected.empty() && expected.back() == ' ') expected.pop_back();
  if (trailer.keyId != expected) throw EnvelopeError("trailer names another key");
  if (trailer.streamLength != stream.size()) throw EnvelopeError("message length does not match");
  auto plain = DecompressMessage(stream);
  if (Sha1(plain) != trailer.digest) throw EnvelopeError("message digest does not match");
  return plain;
}

}  // namespace nimbra::keys

namespace nimbra::keys {

std::vector<std::uint8_t> EnvelopeBytes(std::string_view file) {
  if (file.starts_with("MAIL")) return {file.begin(), file.end()};
  const std::vector<std::string> lines = SplitTextLines(file);
  const std::string disposition = "Content-Disposition: attachment; filename=\"Message.VRX\"";
  auto line = std::find(lines.begin(), lines.end(), disposition);
  if (line == lines.end()) throw EnvelopeError("no Message.VRX attachment in the message");
  // The part's headers end at the first empty line; the base64 text runs to the next.
  line = std::find(line, lines.end(), std::string());
  std::string text;
  for (++line; line < lines.end() && !line->empty(); ++line) text += *line;
  try {
    return Base64Decode(text);
  } catch (const std::exception&) {
    throw EnvelopeError("Message.VRX attachment is not base64");
  }
}

}  // namespace nimbra::keys
