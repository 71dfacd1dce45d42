#include "engine/mixture_generator.h"

#include <algorithm>
#include <bit>

#include "engine/errors.h"
#include "engine/key.h"

namespace nimbra::engine {

TMixtureGenerator::TMixtureGenerator(int count, TGeneratorSizes)
    : TAbstractGenerator(0), count_(count) {}

void TMixtureGenerator::Clock(int k) {
  for (; k > 32; k -= 32) Output(32);
  if (k > 0) Output(k);
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

namespace {

// kDeposit[m][x]: the low bits of x placed, in order, at the set bits of the
// 4-bit mask m.
constexpr std::array<std::array<std::uint8_t, 16>, 16> MakeDepositTable() {
  std::array<std::array<std::uint8_t, 16>, 16> t{};
  for (int m = 0; m < 16; ++m)
    for (int x = 0; x < 16; ++x) {
      int r = 0, from = 0;
      for (int j = 0; j < 4; ++j)
        if ((m >> j) & 1) r |= ((x >> from++) & 1) << j;
      t[m][x] = static_cast<std::uint8_t>(r);
    }
  return t;
}
constexpr auto kDeposit = MakeDepositTable();
constexpr std::array<std::uint8_t, 16> kPopCount4 = {0, 1, 1, 2, 1, 2, 2, 3,
                                                     1, 2, 2, 3, 2, 3, 3, 4};

// Interleaves the bits of a and b: output bit j comes from b where sel has a
// 1, from a where it has a 0, each source read from its bit 0 upward.
std::uint32_t Merge(std::uint32_t sel, std::uint32_t a, std::uint32_t b, int k) {
  std::uint32_t result = 0;
  for (int j = 0; j < k; j += 4) {
    const std::uint32_t valid = k - j >= 4 ? 15u : (1u << (k - j)) - 1;
    const std::uint32_t ones = (sel >> j) & valid;
    const std::uint32_t zeros = ~(sel >> j) & valid;
    result |= std::uint32_t{kDeposit[zeros][a & 15]} << j;
    result |= std::uint32_t{kDeposit[ones][b & 15]} << j;
    a >>= kPopCount4[zeros];
    b >>= kPopCount4[ones];
  }
  return result;
}

}  // namespace

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
  const int ones = std::popcount(sel);
  const std::uint32_t a = Take(1, k - ones);
  const std::uint32_t b = Take(2, ones);
  return Merge(sel, a, b, k);
}

namespace {

// A register's keystream state held in locals by the bulk loops below.
struct BitBuffer {
  std::uint64_t bits;
  int left;
};

}  // namespace

bool TS3MixtureGenerator::BulkReady() const {
  return Quiet() && chunk_[0] == 32 && chunk_[1] == 32 && chunk_[2] == 32;
}

void TS3MixtureGenerator::XorOutputBits8(std::uint8_t* data, std::size_t count) {
  if (!BulkReady()) {
    for (std::size_t i = 0; i < count; ++i) data[i] ^= static_cast<std::uint8_t>(Output(8));
    return;
  }
  // Output(8) per byte with the three bit buffers in locals: eight
  // selections, then as many bits from registers 2 and 3 as they supply.
  BitBuffer buf[3];
  for (int r = 0; r < 3; ++r) buf[r] = {bit_buffer_[r], bits_left_[r]};
  auto take = [this, &buf](int r, int c) -> std::uint32_t {
    BitBuffer& b = buf[r];
    if (c <= b.left) {
      const auto v = static_cast<std::uint32_t>(b.bits & ((1ull << c) - 1));
      b.bits >>= c;
      b.left -= c;
      return v;
    }
    auto v = static_cast<std::uint32_t>(b.bits);
    const int got = b.left;
    b.bits = regs_[r]->OutputStuttered(32);
    const int rest = c - got;
    v |= static_cast<std::uint32_t>(b.bits & ((1ull << rest) - 1)) << got;
    b.bits >>= rest;
    b.left = 32 - rest;
    return v;
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t sel = take(0, 8);
    const std::uint32_t ones_lo = sel & 15, ones_hi = sel >> 4;
    const std::uint32_t zeros_lo = ~sel & 15, zeros_hi = (~sel >> 4) & 15;
    const int ones = kPopCount4[ones_lo] + kPopCount4[ones_hi];
    const std::uint32_t a = take(1, 8 - ones);
    const std::uint32_t b = take(2, ones);
    const std::uint32_t low = kDeposit[zeros_lo][a & 15] | kDeposit[ones_lo][b & 15];
    const std::uint32_t high = kDeposit[zeros_hi][(a >> kPopCount4[zeros_lo]) & 15] |
                               kDeposit[ones_hi][(b >> kPopCount4[ones_lo]) & 15];
    data[i] ^= static_cast<std::uint8_t>(low | high << 4);
  }
  for (int r = 0; r < 3; ++r) {
    bit_buffer_[r] = buf[r].bits;
    bits_left_[r] = buf[r].left;
  }
}

void TS3MixtureGenerator::XorOutputBytes(std::uint8_t* data, std::size_t count) {
  if (!BulkReady()) {
    for (std::size_t i = 0; i < count; ++i) data[i] ^= static_cast<std::uint8_t>(OutputByte());
    return;
  }
  // The selections first, then each register's OutputStuttered(8) values in
  // a run of its own, then the two runs interleaved by the selections. The
  // registers are independent, so this is the byte-by-byte order's result.
  constexpr std::size_t kRun = 256;
  std::uint8_t sel[kRun], from2[kRun], from3[kRun];
  BitBuffer sel_buf{bit_buffer_[0], bits_left_[0]};
  for (std::size_t done = 0; done < count; done += kRun) {
    const std::size_t run = std::min(kRun, count - done);
    std::size_t ones = 0;
    for (std::size_t i = 0; i < run; ++i) {
      if (sel_buf.left == 0) {
        sel_buf.bits = regs_[0]->OutputStuttered(32);
        sel_buf.left = 32;
      }
      sel[i] = static_cast<std::uint8_t>(sel_buf.bits & 1);
      ones += sel[i];
      sel_buf.bits >>= 1;
      --sel_buf.left;
    }
    StutteredBytes(Register(2), from2, run - ones);
    StutteredBytes(Register(3), from3, ones);
    // Selections are random: choose with masks, not branches.
    std::size_t j3 = 0;
    std::uint8_t* out = data + done;
    for (std::size_t i = 0; i < run; ++i) {
      const std::uint8_t s = sel[i];
      const auto m = static_cast<std::uint8_t>(-s);
      out[i] ^= static_cast<std::uint8_t>((from3[j3] & m) | (from2[i - j3] & ~m));
      j3 += s;
    }
  }
  bit_buffer_[0] = sel_buf.bits;
  bits_left_[0] = sel_buf.left;
}

void TS3MixtureGenerator::StutteredBytes(TStutterShiftReg& r, std::uint8_t* out,
                                         std::size_t count) {
  // OutputStuttered(8), count times, with the position in a local. Both
  // candidate windows are read before the stutter test picks one.
  std::int64_t t = r.t_;
  std::int64_t generated = r.generated_;
  const std::int64_t n = r.length_;
  const std::int64_t step = r.stutter_step_;
  const std::uint32_t* words = r.words_.data();
  auto window = [words](std::int64_t p) {
    const std::uint32_t* at = words + (p >> 5);
    return static_cast<std::uint32_t>(((std::uint64_t{at[1]} << 32) | at[0]) >> (p & 31));
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t plain = window(t - n);
    const std::uint32_t stuttered = window(t + step - n);
    const std::uint32_t h = -static_cast<std::uint32_t>((window(t - 18) & 0x81) == 0);
    out[i] = static_cast<std::uint8_t>((stuttered & h) | (plain & ~h));
    t += 8 + (step & static_cast<std::int32_t>(h));
    if (t > generated) {
      r.t_ = t;
      r.Generate();
      t = r.t_;
      generated = r.generated_;
    }
  }
  r.t_ = t;
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

void TS3MixtureGenerator::SaveKey(TKey& key) const {
  for (int i = 1; i <= 3; ++i) key.SetSubkey(i, &Register(i).State());
}

void TS3MixtureGenerator::ExpandFirst() {
  TStutterShiftReg& first = Register(1);
  const TCustomBitArray saved(first.State());
  for (int target = 2; target <= 3; ++target) {
    TStutterShiftReg& reg = Register(target);
    for (int j = 1; j <= reg.Length(); ++j) reg.SetBit(j, first.OutputStuttered(1) & 1);
  }
  Register(2).SetBit(1, 1);
  Register(3).SetBit(1, 1);
  first.LoadState(saved);
}

}  // namespace nimbra::engine
