#include "engine/keys/vrx_header.h"

#include <cstring>

#include "engine/errors.h"

namespace nimbra::engine {

namespace {

void PutU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
         std::uint32_t{at[3]} << 24;
}

}  // namespace

TVRXHeader::TVRXHeader() : header_length_(kPrefixSize), code_(kPlain) {}

TVRXHeader::TVRXHeader(std::uint32_t length, Code code) : header_length_(length), code_(code) {}

std::string TVRXHeader::PrefixName() const {
  return std::string(name_.data(), std::min<std::size_t>(name_length_, name_.size()));
}

void TVRXHeader::ReadPrefix(Stream& s) {
  std::uint8_t raw[kPrefixSize];
  if (s.Read(raw, kPrefixSize) != kPrefixSize) throw EVRXHeaderBadPrefix(msg::kHeaderBadPrefix);
  header_length_ = GetU32(raw);
  value3_ = GetU32(raw + 4);
  value1_ = GetU32(raw + 8);
  code_ = raw[12];
  name_length_ = raw[13];
  std::memcpy(name_.data(), raw + 14, 8);
}

void TVRXHeader::LoadPrefixChecked(Stream& s) {
  try {
    ReadPrefix(s);
  } catch (const std::exception&) {
    throw EVRXHeaderStreamLoadFailure(msg::kHeaderLoad + std::string(ClassName()));
  }
  const std::string name = PrefixName();
  if (name.substr(0, 3) != "VRX") throw EVRXHeaderBadPrefix(msg::kHeaderBadPrefix + name);
}

void TVRXHeader::LoadFromStream(Stream& s) {
  LoadPrefixChecked(s);
}

void TVRXHeader::LoadDerived(Stream& s, Code code, const char* wrong_code, std::uint8_t* own,
                             std::size_t own_size) {
  LoadPrefixChecked(s);
  if (code_ != code) throw EVRXHeaderWrongCode(wrong_code);
  s.ReadBuffer(own, own_size);
  // A length below the class's own header would mean seeking backwards into
  // what was just read: the header is malformed.
  const std::uint32_t own_length = kPrefixSize + static_cast<std::uint32_t>(own_size);
  if (header_length_ < own_length)
    throw EVRXHeaderStreamLoadFailure(msg::kHeaderLoad + std::string(ClassName()));
  if (header_length_ > own_length) s.Seek(header_length_ - own_length, SeekOrigin::Current);
}

void TVRXHeader::SaveWith(Stream& s, const std::uint8_t* own, std::size_t own_size) const {
  std::uint8_t raw[kPrefixSize + 28] = {};
  PutU32(raw, header_length_);
  PutU32(raw + 4, value3_);
  PutU32(raw + 8, value1_);
  raw[12] = code_;
  raw[13] = name_length_;
  std::memcpy(raw + 14, name_.data(), 8);
  if (own_size > 0) std::memcpy(raw + kPrefixSize, own, own_size);
  try {
    s.WriteBuffer(raw, kPrefixSize + own_size);
  } catch (const std::exception&) {
    throw EVRXHeaderStreamSaveFailure(msg::kHeaderSave + std::string(ClassName()));
  }
}

void TVRXHeader::SaveToStream(Stream& s) const {
  SaveWith(s, nullptr, 0);
}

void TVRXPowerTableHeader::LoadFromStream(Stream& s) {
  std::uint8_t own[4];
  LoadDerived(s, kPowerTable, msg::kNotPowerTable, own, sizeof own);
  TableByteSize = GetU32(own);
}

void TVRXPowerTableHeader::SaveToStream(Stream& s) const {
  std::uint8_t own[4];
  PutU32(own, TableByteSize);
  SaveWith(s, own, sizeof own);
}

void TKeyHeader::LoadFromStream(Stream& s) {
  std::uint8_t own[16];
  LoadDerived(s, kKey, msg::kNotKey, own, sizeof own);
  SubkeyCount = GetU32(own);
  Sizes = own[4];
  BlockSize = GetU32(own + 8);
  Granularity = own[12];
}

void TKeyHeader::SaveToStream(Stream& s) const {
  std::uint8_t own[16] = {};
  PutU32(own, SubkeyCount);
  own[4] = Sizes;
  PutU32(own + 8, BlockSize);
  own[12] = Granularity;
  SaveWith(s, own, sizeof own);
}

void TCiphertextHeader::LoadFromStream(Stream& s) {
  LoadDerived(s, kCiphertext, msg::kNotCiphertext, body_.data(), body_.size());
}

void TCiphertextHeader::SaveToStream(Stream& s) const {
  SaveWith(s, body_.data(), body_.size());
}

std::string TCiphertextHeader::RecipientKeyId() const {
  const std::size_t length = std::min<std::size_t>(body_[5], 8);
  return std::string(reinterpret_cast<const char*>(body_.data() + 6), length);
}

void TCiphertextHeader::SetRecipientKeyId(const std::string& id) {
  const std::size_t length = std::min<std::size_t>(id.size(), 8);
  std::memset(body_.data() + 5, 0, 9);
  body_[5] = static_cast<std::uint8_t>(length);
  std::memcpy(body_.data() + 6, id.data(), length);
}

}  // namespace nimbra::engine
