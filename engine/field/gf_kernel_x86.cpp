// Picks the kernel of a field for the processor at hand.
#include "engine/field/gf_kernel_x86.h"

#include <vector>

#include "engine/cpu_features.h"
#include "engine/field/gf_kernel.h"
#include "engine/field/gf_quad_kernel_x86.h"
#include "engine/field/gf_x_power_x86.h"

namespace nimbra::engine::field {

#if defined(__x86_64__)

namespace {

using x86::Kernel;
using x86::PairKernel;
using x86::QuadKernel;
using x86::ReciprocalXPowerEntry;
using x86::SplitXPowerEntry;
using x86::TableAfterWarmUpEntry;

// Bit extraction where it is one fast instruction; the chains that use it
// are built for AVX2 too, which such processors have.
bool HasFastExtract() {
  const cpu::Features& f = cpu::Probed();
  return f.bmi2 && f.avx2 && !f.slow_bit_deposit;
}

// The 256-bit carry-less multiply of the wide squarings and products.
bool HasWideClmul() {
  return cpu::Probed().vpclmul;
}

// The share of roots that balances the two chains (measured): the 256-bit
// squarings cost less, so they take a larger share of the bits, the more so
// in the largest field.
template <int N>
constexpr int kRootWindows = (N * 55 / 100) / 6;
template <int N>
constexpr int kQuadRootWindows = (N * (N > 2048 ? 45 : 50) / 100) / 6;

// The 256-bit squarings pay where a value fills its registers (the 1279-
// and 2281-bit fields); with 9 or 10 limbs in 12 they are slower.
template <int N>
constexpr bool kFillsQuads = N > 256 && (N + 63) / 64 % 4 == 0;

// Squarer gives the squaring runs and shifts (128- or 256-bit registers),
// kWide the products.
template <int N, int K, auto XPower, template <int, int> class Squarer = PairKernel,
          bool kWide = false>
constexpr GFKernel kOps{&Kernel<N, K, kWide>::Mul,
                        &Kernel<N, K>::Sqr,
                        &x86::SqrTimes<Squarer<N, K>>,
                        &x86::MulX<Squarer<N, K>>,
                        XPower,
                        &Kernel<N, K, kWide>::Power};

// x^e by a squaring chain beside a root chain, where the trinomial (or its
// reciprocal) has odd exponents far enough apart for one fold per shift;
// null elsewhere. The 607-bit field moves on to a table of 1.5 MB once a
// process has used x^e often; elsewhere a table would save little (1279
// bits: 6.5 MB, its products costing more than the chains they replace).
template <int N, int K, template <int, int> class Squarer, int kRoots, bool kWide>
const GFKernel* ChainOps() {
  if constexpr (N == 607) {
    return &kOps<N, K,
                 &TableAfterWarmUpEntry<N, K, &ReciprocalXPowerEntry<N, K, kRoots, Squarer>, kWide>,
                 Squarer, kWide>;
  } else if constexpr (N % 2 == 1 && K % 2 == 1 && K + 64 <= N) {
    return &kOps<N, K, &SplitXPowerEntry<N, K, kRoots, Squarer>, Squarer, kWide>;
  } else if constexpr (N % 2 == 1 && (N - K) % 2 == 1 && K >= 64) {
    return &kOps<N, K, &ReciprocalXPowerEntry<N, K, kRoots, Squarer>, Squarer, kWide>;
  } else {
    return nullptr;
  }
}

// Every kernel of the field x^N + x^K + 1 this processor can run, fastest
// first: the same results, by 256- or 128-bit squarings and products and by
// x^e through chains or a table.
template <int N, int K>
const std::vector<const GFKernel*>& VariantsFor() {
  static const std::vector<const GFKernel*> variants = [] {
    std::vector<const GFKernel*> v;
    if (HasFastExtract()) {
      if constexpr (N > 256) {
        if (HasWideClmul()) {
          if constexpr (kFillsQuads<N>)
            v.push_back(ChainOps<N, K, QuadKernel, kQuadRootWindows<N>, true>());
          else
            v.push_back(ChainOps<N, K, PairKernel, kRootWindows<N>, true>());
        }
      }
      v.push_back(ChainOps<N, K, PairKernel, kRootWindows<N>, false>());
    }
    if constexpr (N == 607) {
      v.push_back(&kOps<N, K, &TableAfterWarmUpEntry<N, K, &Kernel<N, K>::XPower, false>>);
    } else {
      v.push_back(&kOps<N, K, &Kernel<N, K>::XPower>);
    }
    std::erase(v, nullptr);
    return v;
  }();
  return variants;
}

}  // namespace

std::vector<const GFKernel*> PclmulKernelVariants(int n, int m) {
  if (!cpu::Supported(cpu::Routine::kFieldKernels)) return {};
  switch (n) {
    case 87:
      if (m == 74) return VariantsFor<87, 13>();
      break;
    case 127:
      if (m == 97) return VariantsFor<127, 30>();
      break;
    case 521:
      if (m == 158) return VariantsFor<521, 363>();
      break;
    case 607:
      if (m == 273) return VariantsFor<607, 334>();
      break;
    case 1279:
      if (m == 418) return VariantsFor<1279, 861>();
      break;
    case 2281:
      if (m == 915) return VariantsFor<2281, 1366>();
      break;
    default:
      break;
  }
  return {};
}

const GFKernel* PclmulKernelFor(int n, int m) {
  const std::vector<const GFKernel*> variants = PclmulKernelVariants(n, m);
  return variants.empty() ? nullptr : variants.front();
}

#else

std::vector<const GFKernel*> PclmulKernelVariants(int, int) {
  return {};
}

const GFKernel* PclmulKernelFor(int, int) {
  return nullptr;
}

#endif

}  // namespace nimbra::engine::field
