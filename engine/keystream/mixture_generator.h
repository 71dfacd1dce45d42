#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/keystream/generator_sizes.h"
#include "engine/keystream/shift_reg.h"

namespace nimbra::engine {

class TKey;

// A generator made of up to five sub-generators whose output bits are
// buffered 32 at a time.
class TMixtureGenerator : public TAbstractGenerator {
 public:
  TMixtureGenerator(int count, TGeneratorSizes sizes);

  int GetBit(int) const override { return 0; }
  void SetBit(int, int) override {}
  // Draws k output bits and drops them.
  void Clock(int k) override;

  virtual int TotalLength(TGeneratorSizes) const { return 0; }
  virtual void LoadKey(const TKey& key) = 0;
  virtual void ExpandFirst() = 0;
  virtual void SaveKey(TKey& key) const = 0;
  // Overwrites every register and buffered bit (the keyed state) so that
  // nothing of the key outlives its use.
  virtual void Wipe();

  int SubGeneratorCount() const { return count_; }

 protected:
  int count_;
  // Up to 32 buffered bits each, held in 64 bits so that a whole chunk
  // shifts out at once.
  std::array<std::uint64_t, 5> bit_buffer_{};
  std::array<int, 5> bits_left_{};
};

// Three stutter registers, the largest first: register 1 chooses, bit by
// bit, whether register 2 (on 0) or register 3 (on 1) supplies the output.
class TS3MixtureGenerator final : public TMixtureGenerator {
 public:
  TS3MixtureGenerator(int count, TGeneratorSizes sizes);

  TGeneratorSizes Sizes() const { return sizes_; }
  // Register i, 1-based (1 is the longest).
  TStutterShiftReg& Register(int i) { return *regs_[i - 1]; }
  const TStutterShiftReg& Register(int i) const { return *regs_[i - 1]; }

  // k (<= 32) selections; the first output bit is bit 0 of the result.
  std::uint32_t Output(int k) override;
  std::uint32_t OutputByte() override {
    return Register(NextBit(0) ? 3 : 2).OutputStuttered(8) & 0xFF;
  }
  std::uint32_t OutputDWord();

  // XORs count keystream bytes into data: OutputByte (byte mode) or the low
  // byte of Output(8) (bit mode), byte by byte.
  void XorOutputBytes(std::uint8_t* data, std::size_t count) {
    DropThenXorOutputBytes(0, data, count);
  }
  // Draws and drops `drop` OutputByte values, then XORs count more into
  // data as XorOutputBytes does; the dropped bytes ride on the same run.
  void DropThenXorOutputBytes(std::size_t drop, std::uint8_t* data, std::size_t count);
  void XorOutputBits8(std::uint8_t* data, std::size_t count);
  // The low bytes of count Output(8) calls: the next 8 * count output bits.
  void OutputBits(std::uint8_t* out, std::size_t count);

  int TotalLength(TGeneratorSizes sizes) const override;
  void Wipe() override;
  void LoadKey(const TKey& key) override;
  void ExpandFirst() override;
  void SaveKey(TKey& key) const override;

  // Empties the three bit buffers.
  void ResetBuffers();

 private:
  // The next c (<= 32) buffered output bits of register i + 1, the first as
  // bit 0; the buffer is refilled at the moment it is empty and a bit is
  // needed, as bit-by-bit reading would.
  std::uint32_t Take(int i, int c) {
    if (c <= bits_left_[i]) {
      const std::uint32_t v = static_cast<std::uint32_t>(bit_buffer_[i] & ((1ull << c) - 1));
      bit_buffer_[i] >>= c;
      bits_left_[i] -= c;
      return v;
    }
    return TakeRefilling(i, c);
  }
  std::uint32_t TakeRefilling(int i, int c);
  // Take(i, bits) as a bit array, 32 bits a word, for bits <= 2048; words
  // has room for two more words, which are overwritten.
  void TakeWords(int i, std::size_t bits, std::uint32_t* words);
  int NextBit(int i) { return static_cast<int>(Take(i, 1)); }
  // True when no register reports stutter steps, so that the bulk paths,
  // which may order the registers' refills differently, are exact.
  bool Quiet() const {
    return !regs_[0]->OnStutter && !regs_[1]->OnStutter && !regs_[2]->OnStutter;
  }
  std::uint32_t OutputBitwise(int k);

  TGeneratorSizes sizes_;
  std::array<GeneratorSizeInfo, 3> info_{};
  std::array<int, 3> chunk_{};
  std::array<std::unique_ptr<TStutterShiftReg>, 3> regs_;
};

}  // namespace nimbra::engine
