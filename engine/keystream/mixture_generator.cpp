#include "engine/keystream/mixture_generator.h"

#include <algorithm>

#include "core/secret_buffer.h"
#include "engine/errors.h"
#include "engine/keys/key.h"
#include "engine/keystream/bit_merge.h"

namespace nimbra::engine {

TMixtureGenerator::TMixtureGenerator(int count, TGeneratorSizes)
    : TAbstractGenerator(0), count_(count) {}

void TMixtureGenerator::Clock(int k) {
  for (; k > 32; k -= 32) Output(32);
  if (k > 0) Output(k);
}

void TMixtureGenerator::Wipe() {
  SecureWipe(bit_buffer_.data(), sizeof bit_buffer_);
  bits_left_.fill(0);
}

namespace {
int CheckedCount(int count, TGeneratorSizes sizes) {
  if (count != 3 || SizeMemberCount(sizes) != 3 || !SizeSetIsValid(sizes))
    throw ES3MixGenCreateBadCount(msg::kMixBadCount);
  return count;
}
}  // namespace

TS3MixtureGenerator::TS3MixtureGenerator(int count, TGeneratorSizes sizes)
    : TMixtureGenerator(CheckedCount(count, sizes), sizes), sizes_(sizes) {
  std::array<GeneratorSizeInfo, 7> members{};
  SizeMembersDescending(sizes, members);
  try {
    for (int i = 0; i < 3; ++i) {
      info_[i] = members[i];
      regs_[i] = std::make_unique<TStutterShiftReg>(members[i].length, members[i].mid_tap);
      chunk_[i] = std::min(members[i].length, 32);
    }
  } catch (const std::exception&) {
    throw ES3MixGenNoCreate(msg::kMixNoCreate);
  }
  length_ = TotalLength(sizes);
}

int TS3MixtureGenerator::TotalLength(TGeneratorSizes sizes) const {
  std::array<GeneratorSizeInfo, 7> members{};
  const int count = SizeMembersDescending(sizes, members);
  int total = 0;
  for (int i = 0; i < count; ++i) total += members[i].length;
  return total;
}

std::uint32_t TS3MixtureGenerator::TakeRefilling(int i, int c) {
  std::uint32_t v = 0;
  int got = 0;
  while (got < c) {
    if (bits_left_[i] == 0) {
      bit_buffer_[i] = regs_[i]->OutputStuttered(chunk_[i]);
      bits_left_[i] = chunk_[i];
    }
    const int n = std::min(c - got, bits_left_[i]);
    v |= static_cast<std::uint32_t>(bit_buffer_[i] & ((1ull << n) - 1)) << got;
    bit_buffer_[i] >>= n;
    bits_left_[i] -= n;
    got += n;
  }
  return v;
}

std::uint32_t TS3MixtureGenerator::OutputBitwise(int k) {
  std::uint32_t result = 0;
  for (int j = 0; j < k; ++j) {
    const int bit = NextBit(NextBit(0) ? 2 : 1);
    if (j < 32) result |= static_cast<std::uint32_t>(bit) << j;
  }
  return result;
}

std::uint32_t TS3MixtureGenerator::Output(int k) {
  if (k <= 0) return 0;
  if (k > 32 || !Quiet()) return OutputBitwise(k);
  // The selections, then the bits each register supplies. The three
  // registers are independent, so taking each one's bits in a batch gives
  // what alternating bit by bit gives.
  const std::uint32_t sel = Take(0, k);
  const int ones = bit_merge::PopCount(sel);
  const std::uint32_t a = Take(1, k - ones);
  const std::uint32_t b = Take(2, ones);
  return bit_merge::Merge(sel, a, b, k);
}

std::uint32_t TS3MixtureGenerator::OutputDWord() {
  if (length_ < 32) throw ES3MixGenInvalidDWORD(msg::kMixTooShort);
  return Register(NextBit(0) ? 3 : 2).OutputStuttered(32);
}

void TS3MixtureGenerator::ResetBuffers() {
  bit_buffer_.fill(0);
  bits_left_.fill(0);
}

void TS3MixtureGenerator::LoadKey(const TKey& key) {
  for (int i = 1; i <= 3; ++i) {
    const TSubKey* subkey = key.Subkey(i);
    if (subkey == nullptr) throw EKeyIncompatibleAssignment(msg::kKeyIncompatible);
    Register(i).LoadState(*subkey);
  }
  ResetBuffers();
}

void TS3MixtureGenerator::Wipe() {
  for (int i = 1; i <= 3; ++i) Register(i).Wipe();
  TMixtureGenerator::Wipe();
}

void TS3MixtureGenerator::SaveKey(TKey& key) const {
  for (int i = 1; i <= 3; ++i) key.SetSubkey(i, &Register(i).State());
}

void TS3MixtureGenerator::ExpandFirst() {
  TStutterShiftReg& first = Register(1);
  TCustomBitArray saved(first.State());
  for (int target = 2; target <= 3; ++target) {
    TStutterShiftReg& reg = Register(target);
    for (int j = 1; j <= reg.Length(); ++j) reg.SetBit(j, first.OutputStuttered(1) & 1);
  }
  Register(2).SetBit(1, 1);
  Register(3).SetBit(1, 1);
  first.LoadState(saved);
  saved.Wipe();
}

}  // namespace nimbra::engine
