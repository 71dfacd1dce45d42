// The mixture generator's keystream in runs: each register's part of a run
// is drawn in one go, then the parts are interleaved by the selections. The
// three registers are independent, so when no register reports its stutter
// steps the result is the call-by-call result.

#include <algorithm>
#include <cstring>

#include "engine/keystream/bit_merge.h"
#include "engine/keystream/byte_interleave.h"
#include "engine/keystream/mixture_generator.h"

namespace nimbra::engine {

using bit_merge::PopCount;

namespace {

// Output bytes per run.
constexpr std::size_t kRun = 256;
constexpr std::size_t kRunWords = kRun / 4;

// Output bytes per run of the byte keystream: a block and the bytes dropped
// before it fit in one.
constexpr std::size_t kByteRun = 512;

// The ones among bits 0 .. count - 1 of a bit array.
std::size_t OnesBelow(const std::uint32_t* bits, std::size_t count) {
  std::size_t ones = 0;
  for (std::size_t w = 0; w < count / 32; ++w) ones += static_cast<std::size_t>(PopCount(bits[w]));
  if (count % 32)
    ones += static_cast<std::size_t>(PopCount(bits[count / 32] & ((1u << (count % 32)) - 1)));
  return ones;
}

// to: bits from .. from + count - 1 of a bit array, from bit 0. The source
// must be readable through word (from + count + 31) / 32.
void BitsFrom(const std::uint32_t* bits, std::size_t from, std::size_t count, std::uint32_t* to) {
  for (std::size_t w = 0; w < (count + 31) / 32; ++w)
    to[w] = bit_merge::Bits32(bits, from + 32 * w);
}

}  // namespace

void TS3MixtureGenerator::TakeWords(int i, std::size_t bits, std::uint32_t* words) {
  const auto left = static_cast<std::size_t>(bits_left_[i]);
  if (chunk_[i] != 32 || bits <= left) {
    for (std::size_t p = 0; p < bits; p += 32)
      words[p >> 5] = Take(i, static_cast<int>(std::min<std::size_t>(32, bits - p)));
    words[(bits + 31) / 32] = 0;
    words[(bits + 31) / 32 + 1] = 0;
    return;
  }
  // The buffered bits, then as many fresh register words as the rest
  // needs, laid end to end; the bits past `bits` become the new buffer.
  const std::size_t fresh = (bits - left + 31) / 32;
  std::uint32_t fetched[kRunWords];
  regs_[i]->OutputStutteredWords(fetched, fresh);
  std::uint64_t acc = bit_buffer_[i];
  for (std::size_t w = 0; w < fresh; ++w) {
    acc |= std::uint64_t{fetched[w]} << left;
    words[w] = static_cast<std::uint32_t>(acc);
    acc >>= 32;
  }
  words[fresh] = static_cast<std::uint32_t>(acc);
  words[fresh + 1] = 0;
  const std::size_t rest = left + 32 * fresh - bits;
  const std::uint64_t tail = (std::uint64_t{words[(bits >> 5) + 1]} << 32) | words[bits >> 5];
  bit_buffer_[i] = (tail >> (bits & 31)) & ((1ull << rest) - 1);
  bits_left_[i] = static_cast<int>(rest);
  if (bits & 31) words[bits >> 5] &= (1u << (bits & 31)) - 1;
}

void TS3MixtureGenerator::OutputBits(std::uint8_t* out, std::size_t count) {
  if (!Quiet()) {
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(Output(8));
    return;
  }
  // A run's selections, then the bits registers 2 and 3 supply for them,
  // each as a bit array (with the spare words TakeWords asks for).
  std::uint32_t sel[kRunWords + 2], from2[kRunWords + 2], from3[kRunWords + 2];
  for (std::size_t done = 0; done < count; done += kRun) {
    const std::size_t run = std::min(kRun, count - done);
    const std::size_t bits = 8 * run;
    TakeWords(0, bits, sel);
    if (bits % 32) sel[bits / 32] &= (1u << (bits % 32)) - 1;
    const std::size_t ones = OnesBelow(sel, bits);
    TakeWords(1, bits - ones, from2);
    TakeWords(2, ones, from3);
    bit_merge::MergeBytes(out + done, sel, from2, from3, run);
  }
}

void TS3MixtureGenerator::XorOutputBits8(std::uint8_t* data, std::size_t count) {
  std::uint8_t bits[kRun];
  for (std::size_t done = 0; done < count; done += kRun) {
    const std::size_t run = std::min(kRun, count - done);
    OutputBits(bits, run);
    for (std::size_t i = 0; i < run; ++i) data[done + i] ^= bits[i];
  }
}

void TS3MixtureGenerator::DropThenXorOutputBytes(std::size_t drop, std::uint8_t* data,
                                                 std::size_t count) {
  if (!Quiet()) {
    for (std::size_t i = 0; i < drop; ++i) OutputByte();
    for (std::size_t i = 0; i < count; ++i) data[i] ^= static_cast<std::uint8_t>(OutputByte());
    return;
  }
  // The selections first, then each register's OutputStuttered(8) values in
  // a run of its own, then the two runs interleaved by the selections. The
  // registers are independent, so this is the byte-by-byte order's result.
  // Each run readable 8 bytes past its end.
  std::uint8_t from2[kByteRun + 8], from3[kByteRun + 8];
  std::uint32_t sel[kByteRun / 32 + 2], kept_sel[kByteRun / 32 + 2];
  const std::size_t total = drop + count;
  // done counts the bytes drawn, dropped ones included.
  for (std::size_t done = 0; done < total; done += kByteRun) {
    const std::size_t run = std::min(kByteRun, total - done);
    TakeWords(0, run, sel);
    const std::size_t ones = OnesBelow(sel, run);
    TStutterShiftReg::OutputStutteredBytes(*regs_[1], from2, run - ones, *regs_[2], from3, ones);
    const std::size_t dropped = done < drop ? std::min(run, drop - done) : 0;
    if (dropped == run) continue;
    std::memset(from2 + (run - ones), 0, 8);
    std::memset(from3 + ones, 0, 8);
    const std::uint32_t* kept = sel;
    std::size_t ones_dropped = 0;
    if (dropped > 0) {
      ones_dropped = OnesBelow(sel, dropped);
      BitsFrom(sel, dropped, run - dropped, kept_sel);
      kept = kept_sel;
    }
    interleave::XorInterleaved(data + (done + dropped - drop), kept,
                               from2 + (dropped - ones_dropped), from3 + ones_dropped,
                               run - dropped);
  }
}

}  // namespace nimbra::engine
