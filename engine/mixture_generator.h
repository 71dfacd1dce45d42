#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/generator_sizes.h"
#include "engine/shift_reg.h"

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

  int SubGeneratorCount() const { return count_; }

 protected:
  int count_;
  std::array<std::uint32_t, 5> bit_buffer_{};
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

  std::uint32_t Output(int k) override;
  std::uint32_t OutputByte() override {
    return Register(NextBit(0) ? 3 : 2).OutputStuttered(8) & 0xFF;
  }
  std::uint32_t OutputDWord();

  int TotalLength(TGeneratorSizes sizes) const override;
  void LoadKey(const TKey& key) override;
  void ExpandFirst() override;
  void SaveKey(TKey& key) const override;

  // Empties the three bit buffers.
  void ResetBuffers();

 private:
  // The next buffered output bit of register i + 1.
  int NextBit(int i) {
    if (bits_left_[i] == 0) {
      bit_buffer_[i] = regs_[i]->OutputStuttered(chunk_[i]);
      bits_left_[i] = chunk_[i];
    }
    const int bit = bit_buffer_[i] & 1;
    bit_buffer_[i] >>= 1;
    --bits_left_[i];
    return bit;
  }

  TGeneratorSizes sizes_;
  std::array<GeneratorSizeInfo, 3> info_{};
  std::array<int, 3> chunk_{};
  std::array<std::unique_ptr<TStutterShiftReg>, 3> regs_;
};

}  // namespace nimbra::engine
