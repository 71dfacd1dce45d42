#pragma once

#include <cstdint>
#include <memory>

#include "core/stream.h"

namespace nimbra::engine {

inline constexpr int kMaxBitArrayLength = 8192;

// A fixed-length bit vector stored in 32-bit words, most significant bit
// first: bit i lives in word i / 32 under the mask 0x80000000 >> (i % 32).
// The byte view numbers bytes big-endian inside each word (byte k holds bits
// 8k..8k+7, bit 8k as its top bit). Bits beyond the length in the last word
// ("padding") belong to no bit; every array this engine computes keeps them
// zero, while an array loaded from a stream keeps what was stored there.
class TBitArray {
 public:
  // A zero-filled array of n bits (1..8192), owning its words.
  explicit TBitArray(int n);
  // A copy of another array: same length, every word copied.
  TBitArray(const TBitArray& other);
  // An array over caller-owned words (at least WordCount of them).
  TBitArray(int n, std::uint32_t* external_words);
  TBitArray& operator=(const TBitArray&) = delete;
  virtual ~TBitArray();

  int BitCount() const { return bits_; }
  int WordCount() const { return words_count_; }
  int ByteCount() const { return (bits_ - 1) / 8 + 1; }
  bool OwnsBuffer() const { return owned_ != nullptr; }
  std::uint32_t* Words() { return words_; }
  const std::uint32_t* Words() const { return words_; }

  int GetBit(int i) const;
  void SetBit(int i, int v);
  std::uint8_t GetByte(int k) const;
  // Padding bits of the last byte stay zero.
  void SetByte(int k, std::uint8_t b);

  // Copies WordCount words of src, which must be at least as long. A longer
  // source leaves no bits of its own in this array's padding.
  void Assign(const TBitArray& src);
  void AssignBuffer(const std::uint32_t* words);
  void XorWith(const TBitArray& other);
  void XorBuffer(const std::uint32_t* words);

  // The first min(n, 32) bits as an integer, bit 0 most significant.
  std::uint32_t Value32() const;
  // Word 0 := v << (32 - min(n, 32)).
  void SetValue32(std::uint32_t v);

  // Replaces the word pointer of an array that does not own its words.
  void AttachBuffer(std::uint32_t* words);

  void Clear();
  void ClearPadding();
  // Clear, in a way the compiler may not leave out (for key material).
  void Wipe();

  // Stream form: the bit count as u32, then the words, each little-endian.
  virtual void LoadFromStream(Stream& s);
  virtual void SaveToStream(Stream& s) const;

 private:
  static int CheckedLength(int n);

  int words_count_;
  int bits_;
  std::unique_ptr<std::uint32_t[]> owned_;
  std::uint32_t* words_;
};

// Role subclasses that add nothing but a name.
class TSubKey : public TBitArray {
 public:
  using TBitArray::TBitArray;
};
class TBABitArray : public TBitArray {
 public:
  using TBitArray::TBitArray;
};
class TCustomBitArray : public TBitArray {
 public:
  using TBitArray::TBitArray;
};
class TSeeByteBitArray : public TBitArray {
 public:
  using TBitArray::TBitArray;
};

// At most 32 bits, addressed 1-based from the least significant end: bit k
// (1..n) is array bit n - k, so bit 1 is the least significant bit of Value32.
class TCRCBitArray : public TBitArray {
 public:
  explicit TCRCBitArray(int n);

  int GetBitLsb(int k) const { return GetBit(BitCount() - k); }
  void SetBitLsb(int k, int v) { SetBit(BitCount() - k, v); }

 private:
  static int CheckedCRCLength(int n);
};

}  // namespace nimbra::engine
