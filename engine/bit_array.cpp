#include "engine/bit_array.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/secret_buffer.h"
#include "engine/errors.h"

namespace nimbra::engine {

namespace {

int WordsFor(int n) {
  return (n - 1) / 32 + 1;
}

// Mask of the valid bits of the last word.
std::uint32_t LastWordMask(int n) {
  const int used = n - (WordsFor(n) - 1) * 32;
  return used == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> used);
}

}  // namespace

int TBitArray::CheckedLength(int n) {
  if (n > kMaxBitArrayLength)
    throw EBitArrayTooLong(msg::kMaxBitArrayLength + std::to_string(kMaxBitArrayLength));
  if (n <= 0) throw EBitArrayZeroLength(msg::kZeroLength);
  return n;
}

TBitArray::TBitArray(int n)
    : words_count_(WordsFor(CheckedLength(n))),
      bits_(n),
      owned_(new std::uint32_t[words_count_]()),
      words_(owned_.get()) {}

TBitArray::TBitArray(const TBitArray& other)
    : words_count_(other.words_count_),
      bits_(other.bits_),
      owned_(new std::uint32_t[words_count_]),
      words_(owned_.get()) {
  std::memcpy(words_, other.words_, sizeof(std::uint32_t) * words_count_);
}

TBitArray::TBitArray(int n, std::uint32_t* external_words)
    : words_count_(WordsFor(CheckedLength(n))), bits_(n), words_(external_words) {}

TBitArray::~TBitArray() = default;

int TBitArray::GetBit(int i) const {
  if (static_cast<unsigned>(i) >= static_cast<unsigned>(bits_))
    throw EBitArrayInvalidIndex(msg::kBitIndexInvalid + std::to_string(i));
  return (words_[i >> 5] >> (31 - (i & 31))) & 1;
}

void TBitArray::SetBit(int i, int v) {
  if (static_cast<unsigned>(i) >= static_cast<unsigned>(bits_))
    throw EBitArrayInvalidIndex(msg::kBitIndexInvalid + std::to_string(i));
  const std::uint32_t mask = 0x80000000u >> (i & 31);
  if (v)
    words_[i >> 5] |= mask;
  else
    words_[i >> 5] &= ~mask;
}

std::uint8_t TBitArray::GetByte(int k) const {
  if (static_cast<unsigned>(k) >= static_cast<unsigned>(ByteCount()))
    throw EBitArrayInvalidIndex(msg::kByteIndexInvalid + std::to_string(k));
  return static_cast<std::uint8_t>(words_[k >> 2] >> (24 - 8 * (k & 3)));
}

void TBitArray::SetByte(int k, std::uint8_t b) {
  if (static_cast<unsigned>(k) >= static_cast<unsigned>(ByteCount()))
    throw EBitArrayInvalidIndex(msg::kByteIndexInvalid + std::to_string(k));
  const int shift = 24 - 8 * (k & 3);
  std::uint32_t& w = words_[k >> 2];
  w = (w & ~(0xFFu << shift)) | (std::uint32_t{b} << shift);
  if ((k >> 2) == words_count_ - 1) w &= LastWordMask(bits_);
}

void TBitArray::Assign(const TBitArray& src) {
  if (src.bits_ < bits_) throw EBitArrayInvalidOperation(msg::kAssignTooShort);
  std::memmove(words_, src.words_, sizeof(std::uint32_t) * words_count_);
  if (src.bits_ > bits_) ClearPadding();
}

void TBitArray::AssignBuffer(const std::uint32_t* words) {
  if (words == nullptr) throw EBitArrayInvalidOperation(msg::kAssignBufferFault);
  std::memmove(words_, words, sizeof(std::uint32_t) * words_count_);
}

void TBitArray::XorWith(const TBitArray& other) {
  if (other.bits_ != bits_) throw EBitArrayInvalidOperation(msg::kXorLengths);
  XorBuffer(other.words_);
}

void TBitArray::XorBuffer(const std::uint32_t* words) {
  for (int w = 0; w < words_count_; ++w) words_[w] ^= words[w];
}

std::uint32_t TBitArray::Value32() const {
  if (bits_ >= 32) return words_[0];
  return words_[0] >> (32 - bits_);
}

void TBitArray::SetValue32(std::uint32_t v) {
  words_[0] = bits_ >= 32 ? v : v << (32 - bits_);
}

void TBitArray::AttachBuffer(std::uint32_t* words) {
  if (!OwnsBuffer()) words_ = words;
}

void TBitArray::Clear() {
  std::memset(words_, 0, sizeof(std::uint32_t) * words_count_);
}

void TBitArray::Wipe() {
  SecureWipe(words_, sizeof(std::uint32_t) * words_count_);
}

void TBitArray::ClearPadding() {
  words_[words_count_ - 1] &= LastWordMask(bits_);
}

void TBitArray::LoadFromStream(Stream& s) {
  try {
    if (s.ReadU32() != static_cast<std::uint32_t>(bits_)) throw EBitArrayStreamLoadFailure("");
    std::uint8_t raw[4 * (kMaxBitArrayLength / 32)];
    s.ReadBuffer(raw, 4 * static_cast<std::size_t>(words_count_));
    for (int w = 0; w < words_count_; ++w)
      words_[w] = std::uint32_t{raw[4 * w]} | std::uint32_t{raw[4 * w + 1]} << 8 |
                  std::uint32_t{raw[4 * w + 2]} << 16 | std::uint32_t{raw[4 * w + 3]} << 24;
  } catch (const std::exception&) {
    throw EBitArrayStreamLoadFailure(msg::kBitArrayLoad);
  }
}

void TBitArray::SaveToStream(Stream& s) const {
  try {
    s.WriteU32(static_cast<std::uint32_t>(bits_));
    std::uint8_t raw[4 * (kMaxBitArrayLength / 32)];
    for (int w = 0; w < words_count_; ++w) {
      raw[4 * w] = static_cast<std::uint8_t>(words_[w]);
      raw[4 * w + 1] = static_cast<std::uint8_t>(words_[w] >> 8);
      raw[4 * w + 2] = static_cast<std::uint8_t>(words_[w] >> 16);
      raw[4 * w + 3] = static_cast<std::uint8_t>(words_[w] >> 24);
    }
    s.WriteBuffer(raw, 4 * static_cast<std::size_t>(words_count_));
  } catch (const std::exception&) {
    throw EBitArrayStreamSaveFailure(msg::kBitArraySave);
  }
}

int TCRCBitArray::CheckedCRCLength(int n) {
  if (n > 32) throw EBitArrayTooLong(msg::kMaxCRCBitArrayLength + std::to_string(32));
  return n;
}

TCRCBitArray::TCRCBitArray(int n) : TBitArray(CheckedCRCLength(n)) {}

}  // namespace nimbra::engine
