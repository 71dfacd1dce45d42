// Picks the kernel of a field for the processor at hand.
#include "engine/field/gf_kernel_x86.h"

#include "engine/field/clmul.h"
#include "engine/field/gf_kernel.h"
#include "engine/field/gf_x_power_x86.h"

namespace nimbra::engine::field {

#if defined(__x86_64__)

namespace {

using x86::Kernel;
using x86::ReciprocalXPowerEntry;
using x86::SplitXPowerEntry;
using x86::TableAfterWarmUpEntry;

// Bit extraction is one fast instruction from AMD family 19h and on Intel
// processors; AMD's family 17h and earlier compute it in microcode.
bool HasFastExtract() {
  static const bool fast = __builtin_cpu_supports("bmi2") && !__builtin_cpu_is("amdfam17h") &&
                           !__builtin_cpu_is("amdfam15h");
  return fast;
}

// The share of roots balances the two chains.
template <int N, int K>
constexpr int kRootWindows = (N * 55 / 100) / 6;

template <int N, int K, auto XPower>
constexpr GFKernel kOps{
    &Kernel<N, K>::Mul,  &Kernel<N, K>::Sqr, &Kernel<N, K>::SqrTimes, &Kernel<N, K>::MulX, XPower,
    &Kernel<N, K>::Power};

// The operations of the field x^N + x^K + 1. Where bit extraction is fast
// and the trinomial (or its reciprocal) has odd exponents, far enough apart
// for one fold per shift, square roots share the work of the squarings in
// x^e. The 607-bit field moves on to a table of 1.5 MB once a process has
// used x^e often; elsewhere a table would save little (1279 bits: 6.5 MB,
// its products costing about what the squarings they replace cost).
template <int N, int K>
const GFKernel* OpsFor() {
  if constexpr (N == 607) {
    if (HasFastExtract())
      return &kOps<N, K,
                   &TableAfterWarmUpEntry<N, K, &ReciprocalXPowerEntry<N, K, kRootWindows<N, K>>>>;
    return &kOps<N, K, &TableAfterWarmUpEntry<N, K, &Kernel<N, K>::XPower>>;
  } else if constexpr (N % 2 == 1 && K % 2 == 1 && K + 64 <= N) {
    if (HasFastExtract()) return &kOps<N, K, &SplitXPowerEntry<N, K, kRootWindows<N, K>>>;
  } else if constexpr (N % 2 == 1 && (N - K) % 2 == 1 && K >= 64) {
    if (HasFastExtract()) return &kOps<N, K, &ReciprocalXPowerEntry<N, K, kRootWindows<N, K>>>;
  }
  return &kOps<N, K, &Kernel<N, K>::XPower>;
}

bool HasKernelInstructions() {
  static const bool has =
      detail::CpuHasPclmul() && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("avx");
  return has;
}

}  // namespace

const GFKernel* PclmulKernelFor(int n, int m) {
  if (!HasKernelInstructions()) return nullptr;
  switch (n) {
    case 87:
      return m == 74 ? OpsFor<87, 13>() : nullptr;
    case 127:
      return m == 97 ? OpsFor<127, 30>() : nullptr;
    case 521:
      return m == 158 ? OpsFor<521, 363>() : nullptr;
    case 607:
      return m == 273 ? OpsFor<607, 334>() : nullptr;
    case 1279:
      return m == 418 ? OpsFor<1279, 861>() : nullptr;
    case 2281:
      return m == 915 ? OpsFor<2281, 1366>() : nullptr;
    default:
      return nullptr;
  }
}

#else

const GFKernel* PclmulKernelFor(int, int) {
  return nullptr;
}

#endif

}  // namespace nimbra::engine::field
