#include "engine/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define NIMBRA_X86 1
#endif

namespace nimbra::engine::cpu {

namespace {

Features Probe() {
  Features f;
#ifdef NIMBRA_X86
  // May run before the run-time library's own initialisation of the checks.
  __builtin_cpu_init();
  f.pclmul = __builtin_cpu_supports("pclmul");
  f.sse41 = __builtin_cpu_supports("sse4.1");
  f.ssse3 = __builtin_cpu_supports("ssse3");
  f.popcnt = __builtin_cpu_supports("popcnt");
  f.avx = __builtin_cpu_supports("avx");
  f.avx2 = __builtin_cpu_supports("avx2");
  f.bmi1 = __builtin_cpu_supports("bmi");
  f.bmi2 = __builtin_cpu_supports("bmi2");
  unsigned a = 0, b = 0, c = 0, d = 0;
  f.vpclmul = f.avx2 && __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (c & (1u << 10)) != 0;
  f.slow_bit_deposit = __builtin_cpu_is("amdfam17h") || __builtin_cpu_is("amdfam15h");
#endif
  return f;
}

struct Names {
  const char* accelerated;
  const char* portable;
};

constexpr Names kNames[kRoutineCount] = {
    {"pclmul", "zlib"},    {"pclmul", "portable"}, {"pclmul", "portable"}, {"bmi2", "portable"},
    {"ssse3", "portable"}, {"avx2", "portable"},   {"bmi2", "portable"},
};

}  // namespace

const Features& Probed() {
  static const Features features = Probe();
  return features;
}

detail::RoutineTable detail::ProbeRoutines() {
  const Features& f = Probed();
  RoutineTable table{};
  auto set = [&table](Routine routine, bool has) { table.has[static_cast<int>(routine)] = has; };
  set(Routine::kCrc32, f.pclmul && f.sse41);
  set(Routine::kPolyMul, f.pclmul);
  // The kernels are built for AVX2; without it fields multiply through PolyMul.
  set(Routine::kFieldKernels, f.pclmul && f.sse41 && f.avx && f.avx2);
  set(Routine::kBitMerge, f.bmi2 && f.popcnt && !f.slow_bit_deposit);
  set(Routine::kByteInterleave, f.ssse3 && f.popcnt);
  set(Routine::kBlockShuffle, f.avx2);
  set(Routine::kStutterPair, f.bmi1 && f.bmi2);
  return table;
}

const char* Provider(Routine routine) {
  const Names& names = kNames[static_cast<int>(routine)];
  return Accelerated(routine) ? names.accelerated : names.portable;
}

void ForcePortable(bool portable) {
  detail::portable_forced.store(portable, std::memory_order_relaxed);
}

}  // namespace nimbra::engine::cpu
