#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/stream.h"
#include "engine/bit_array.h"
#include "engine/keystream/generator_sizes.h"

namespace nimbra::engine {

// A set of subkeys, one per member of a size set (subkey 1 the longest),
// with the combiner settings its owner uses with it.
class TKey {
 public:
  static constexpr int kMaxSubkeys = 5;

  explicit TKey(TGeneratorSizes sizes);
  TKey(const TKey& other);
  TKey& operator=(const TKey&) = delete;
  virtual ~TKey();

  virtual void Validate() const;
  // Adds a zero-filled subkey per member, highest member first.
  virtual void SetSizes(TGeneratorSizes sizes);
  virtual std::string KeyId() const;
  // Subkey i (1-based), or null.
  virtual TSubKey* Subkey(int i);
  virtual const TSubKey* Subkey(int i) const;
  virtual void ClearSizes();
  // Copies array into subkey i; a null array drops the subkey.
  virtual void SetSubkey(int i, const TBitArray* array);
  virtual void Assign(const TKey& other);
  virtual bool Equals(const TKey& other) const;
  // Seed bits into subkey 1, with a terminating 1 after them.
  virtual void MakeFromBits(const TBitArray& bits, int count);
  // count is in bits; the bytes are read most significant bit first.
  virtual void MakeFromBytes(const std::uint8_t* bytes, int count);
  virtual void LoadFromStream(Stream& s);
  // Seed bits dealt round-robin over all subkeys.
  virtual void MakeFromBitsSpread(const TBitArray& bits, int count);
  virtual void MakeFromBytesSpread(const std::uint8_t* bytes, int count);
  virtual void SaveToStream(Stream& s) const;

  TGeneratorSizes Sizes() const { return sizes_; }
  int SubkeyCount() const { return count_; }
  int TotalBits() const { return total_bits_; }
  std::int32_t BlockSize() const { return block_size_; }
  void SetBlockSize(std::int32_t b) { block_size_ = b; }
  TGranularity Granularity() const { return granularity_; }
  void SetGranularity(TGranularity g) { granularity_ = g; }

  // (n, m) of the highest member: the field of the key's public-key work.
  GeneratorSizeInfo FieldParameters() const;

 private:
  void LoadBody(Stream& s);

  std::int32_t block_size_ = 0;
  int count_ = 0;
  TGranularity granularity_ = gBit;
  std::array<std::unique_ptr<TSubKey>, kMaxSubkeys> subkeys_;
  TGeneratorSizes sizes_ = 0;
  int total_bits_ = 0;
};

// A key that takes the size set of the stream it is loaded from, and then
// tells its owner.
class TPrPubKey : public TKey {
 public:
  using TKey::TKey;
  std::function<void(TPrPubKey& key)> OnKeyLoaded;
  void LoadFromStream(Stream& s) override;
};

class TPrivateKey : public TPrPubKey {
 public:
  using TPrPubKey::TPrPubKey;
};

class TPublicKey : public TPrPubKey {
 public:
  using TPrPubKey::TPrPubKey;
};

}  // namespace nimbra::engine
