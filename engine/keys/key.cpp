#include "engine/keys/key.h"

#include <cstdio>

#include "engine/crc32.h"
#include "engine/errors.h"
#include "engine/keys/vrx_header.h"

namespace nimbra::engine {

TKey::TKey(TGeneratorSizes sizes) {
  SetSizes(sizes);
}

TKey::TKey(const TKey& other) {
  SetSizes(other.sizes_);
  Assign(other);
}

TKey::~TKey() = default;

void TKey::SetSizes(TGeneratorSizes sizes) {
  std::array<GeneratorSizeInfo, 7> members{};
  const int n = SizeMembersDescending(sizes, members);
  sizes_ = sizes;
  count_ = 0;
  total_bits_ = 0;
  for (int i = 0; i < n && i < kMaxSubkeys; ++i) {
    ++count_;
    total_bits_ += members[i].length;
    subkeys_[count_ - 1] = std::make_unique<TSubKey>(members[i].length);
  }
}

void TKey::ClearSizes() {
  for (auto& subkey : subkeys_) subkey.reset();
  sizes_ = 0;
}

TSubKey* TKey::Subkey(int i) {
  return i >= 1 && i <= kMaxSubkeys ? subkeys_[i - 1].get() : nullptr;
}

const TSubKey* TKey::Subkey(int i) const {
  return i >= 1 && i <= kMaxSubkeys ? subkeys_[i - 1].get() : nullptr;
}

void TKey::SetSubkey(int i, const TBitArray* array) {
  if (i < 1 || i > kMaxSubkeys) return;
  if (array == nullptr) {
    subkeys_[i - 1].reset();
    return;
  }
  if (!subkeys_[i - 1]) subkeys_[i - 1] = std::make_unique<TSubKey>(array->BitCount());
  subkeys_[i - 1]->Assign(*array);
}

void TKey::Assign(const TKey& other) {
  if (other.sizes_ != sizes_) throw EKeyIncompatibleAssignment(msg::kKeyIncompatible);
  for (int i = 0; i < kMaxSubkeys; ++i)
    if (subkeys_[i] && other.subkeys_[i]) subkeys_[i]->Assign(*other.subkeys_[i]);
  block_size_ = other.block_size_;
  granularity_ = other.granularity_;
}

bool TKey::Equals(const TKey& other) const {
  if (sizes_ != other.sizes_ || block_size_ != other.block_size_ ||
      granularity_ != other.granularity_)
    return false;
  for (int i = 0; i < kMaxSubkeys; ++i) {
    const TSubKey* a = subkeys_[i].get();
    const TSubKey* b = other.subkeys_[i].get();
    if ((a == nullptr) != (b == nullptr)) return false;
    if (a == nullptr) continue;
    if (a->BitCount() != b->BitCount()) return false;
    for (int bit = 0; bit < a->BitCount(); ++bit)
      if (a->GetBit(bit) != b->GetBit(bit)) return false;
  }
  return true;
}

void TKey::Validate() const {
  bool some_zero = false;
  bool some_one = false;
  for (int i = 0; i < count_; ++i) {
    const TSubKey* subkey = subkeys_[i].get();
    if (subkey == nullptr) continue;
    bool has_zero = false;
    bool has_one = false;
    for (int bit = 0; bit < subkey->BitCount() && !(has_zero && has_one); ++bit)
      (subkey->GetBit(bit) ? has_one : has_zero) = true;
    some_zero |= !has_one;
    some_one |= !has_zero;
  }
  if (some_zero) throw EKeyInvalidBitsZero(msg::kKeyAllZero);
  if (some_one) throw EKeyInvalidBitsOne(msg::kKeyAllOne);
}

GeneratorSizeInfo TKey::FieldParameters() const {
  std::array<GeneratorSizeInfo, 7> members{};
  if (SizeMembersDescending(sizes_, members) == 0) throw EKey(msg::kKeySizesEmpty);
  return members[0];
}

std::string TKey::KeyId() const {
  const TSubKey* first = Subkey(1);
  if (first == nullptr) throw EKey(msg::kKeySizesEmpty);
  std::uint8_t head[12] = {};
  head[0] = sizes_;
  for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<std::uint8_t>(block_size_ >> (8 * i));
  head[8] = granularity_;
  std::uint32_t crc = TCRC32::UpdateCRC(0xFFFFFFFFu, sizeof head, head);
  for (int k = 0; k < first->ByteCount(); ++k) {
    const std::uint8_t b = first->GetByte(k);
    crc = TCRC32::UpdateCRC(crc, 1, &b);
  }
  char text[9];
  std::snprintf(text, sizeof text, "%8.8x", crc ^ 0xFFFFFFFFu);
  return text;
}

void TKey::MakeFromBits(const TBitArray& bits, int count) {
  if (count <= 0) return;
  for (int i = 0; i < count_; ++i)
    if (subkeys_[i]) subkeys_[i]->Clear();
  TSubKey* first = Subkey(1);
  if (first == nullptr) throw EKey(msg::kKeySizesEmpty);
  const int len1 = first->BitCount();
  int i = 0;
  while (i < count && i < bits.BitCount() && i <= len1 - 3) {
    first->SetBit(i, bits.GetBit(i));
    ++i;
  }
  first->SetBit(i, 1);
  for (int j = 2; j <= count_; ++j)
    if (TSubKey* subkey = Subkey(j)) subkey->SetBit(0, 1);
  Validate();
}

void TKey::MakeFromBitsSpread(const TBitArray& bits, int count) {
  if (count <= 0) return;
  if (count_ == 0 || Subkey(1) == nullptr) throw EKey(msg::kKeySizesEmpty);
  for (int i = 0; i < count_; ++i)
    if (subkeys_[i]) subkeys_[i]->Clear();
  std::array<int, kMaxSubkeys> position{};
  int i = 0;
  int j = 0;
  while (i < count && i < total_bits_ - 2 * count_ && i < bits.BitCount()) {
    TSubKey* subkey = subkeys_[j].get();
    if (subkey != nullptr && position[j] <= subkey->BitCount() - 3) {
      subkey->SetBit(position[j], bits.GetBit(i));
      ++position[j];
      ++i;
    }
    j = j + 1 == count_ ? 0 : j + 1;
  }
  for (int k = 0; k < count_; ++k)
    if (subkeys_[k]) subkeys_[k]->SetBit(position[k], 1);
  Validate();
}

namespace {
TBABitArray BytesToBits(const std::uint8_t* bytes, int count) {
  if (count <= 0) throw EKeyNoBits(msg::kKeyNoBits);
  const int byte_count = (count - 1) / 8 + 1;
  if (bytes == nullptr) throw EKeyBufferAccessViolation(msg::kKeyBufferAccess);
  TBABitArray bits(byte_count * 8);
  for (int k = 0; k < byte_count; ++k) bits.SetByte(k, bytes[k]);
  return bits;
}
}  // namespace

void TKey::MakeFromBytes(const std::uint8_t* bytes, int count) {
  MakeFromBits(BytesToBits(bytes, count), count);
}

void TKey::MakeFromBytesSpread(const std::uint8_t* bytes, int count) {
  MakeFromBitsSpread(BytesToBits(bytes, count), count);
}

void TKey::SaveToStream(Stream& s) const {
  try {
    TKeyHeader header;
    header.SubkeyCount = static_cast<std::uint32_t>(count_);
    header.Sizes = sizes_;
    header.BlockSize = static_cast<std::uint32_t>(block_size_);
    header.Granularity = granularity_;
    header.SaveToStream(s);
    for (int i = 0; i < count_; ++i)
      if (subkeys_[i]) subkeys_[i]->SaveToStream(s);
  } catch (const std::exception&) {
    throw EKeyStreamSaveFailure(msg::kKeySave);
  }
}

void TKey::LoadBody(Stream& s) {
  TKeyHeader header;
  header.LoadFromStream(s);
  // A size set naming more members than a key holds, or bits outside the
  // size table, comes from a damaged or forged stream.
  if (!SizeSetIsValid(header.Sizes) || SizeMemberCount(header.Sizes) > kMaxSubkeys)
    throw EKeyStreamLoadFailure(msg::kKeyLoad);
  block_size_ = static_cast<std::int32_t>(header.BlockSize);
  granularity_ = static_cast<TGranularity>(header.Granularity);
  if (sizes_ == 0) SetSizes(header.Sizes);
  if (header.SubkeyCount != static_cast<std::uint32_t>(count_))
    throw EKeyStreamLoadFailure(msg::kKeyLoad);
  for (int i = 0; i < count_; ++i) {
    if (!subkeys_[i]) throw EKeyStreamLoadFailure(msg::kKeyLoad);
    subkeys_[i]->LoadFromStream(s);
  }
}

void TKey::LoadFromStream(Stream& s) {
  try {
    LoadBody(s);
  } catch (const std::exception&) {
    throw EKeyStreamLoadFailure(msg::kKeyLoad);
  }
}

void TPrPubKey::LoadFromStream(Stream& s) {
  ClearSizes();
  TKey::LoadFromStream(s);
  if (OnKeyLoaded) OnKeyLoaded(*this);
}

}  // namespace nimbra::engine
