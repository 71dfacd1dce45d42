#pragma once

// The processor features the engine's dispatched routines look for, probed
// once, and the one switch that sends every one of them down its portable
// path. Each routine has a processor-specific path, chosen at the top of the
// routine when Accelerated() says so, and a portable path giving the same
// results; Provider() names the path a routine takes now.

#include <atomic>

namespace nimbra::engine::cpu {

// What the processor has (all false on processors other than x86).
struct Features {
  bool pclmul = false;  // 128-bit carry-less multiply
  bool sse41 = false;
  bool ssse3 = false;
  bool popcnt = false;
  bool avx = false;
  bool avx2 = false;
  bool bmi1 = false;
  bool bmi2 = false;
  // The 256-bit carry-less multiply (CPUID leaf 7, ECX bit 10), read from
  // CPUID directly: the compiler's own feature list leaves it out on some
  // processors that have it.
  bool vpclmul = false;
  // Bit deposit and extract are one fast instruction from AMD family 19h and
  // on Intel processors; AMD's families 15h and 17h compute them in
  // microcode, bit by bit.
  bool slow_bit_deposit = false;
};

const Features& Probed();

// The dispatched routines.
enum class Routine {
  kCrc32,           // TCRC32::UpdateCRC: folding by carry-less multiplies, else zlib
  kPolyMul,         // field::PolyMul and PolySqr
  kFieldKernels,    // the fixed-size field kernels of field::GFField
  kBitMerge,        // bit_merge::MergeBytes: bit deposit
  kByteInterleave,  // interleave::XorInterleaved: byte shuffles
  kBlockShuffle,    // transpose::BlockShuffle: 32-byte byte shuffles
  kStutterPair,     // TStutterShiftReg::OutputStutteredBytes of two registers
};
inline constexpr int kRoutineCount = 7;

namespace detail {
inline std::atomic<bool> portable_forced{false};
// Whether the processor has what each routine's fast path needs.
struct RoutineTable {
  bool has[kRoutineCount];
};
RoutineTable ProbeRoutines();
}  // namespace detail

// True when the processor has what the routine's processor-specific path
// needs, forced or not.
inline bool Supported(Routine routine) {
  static const detail::RoutineTable table = detail::ProbeRoutines();
  return table.has[static_cast<int>(routine)];
}

// True when the routine takes its processor-specific path: the processor
// has the instructions and the portable path is not forced.
inline bool Accelerated(Routine routine) {
  return Supported(routine) && !detail::portable_forced.load(std::memory_order_relaxed);
}

// The path the routine takes now: "pclmul", "bmi2", "ssse3", "avx2", or
// "portable" ("zlib" for the CRC).
const char* Provider(Routine routine);

// Forces every routine onto its portable path (true) or restores the choice
// by processor (false); tests and benchmarks compare the paths in one
// process with it.
void ForcePortable(bool portable);

}  // namespace nimbra::engine::cpu
