#include <cstddef>
#include <cstring>

#include "engine/field/clmul.h"
#include "engine/field/gf_kernel.h"
#include "engine/field/gf_root.h"

#if defined(__x86_64__)
#include <immintrin.h>
// Three-operand (VEX) encodings spare the register copies that the long
// straight-line sequences would otherwise spend a third of their
// instructions on.
#define NIMBRA_KERNEL_TARGET __attribute__((target("pclmul,sse4.1,avx")))
#define NIMBRA_SPLIT_TARGET __attribute__((target("pclmul,sse4.1,avx,bmi2")))
#endif

namespace nimbra::engine::field {

#if defined(NIMBRA_KERNEL_TARGET)

namespace {

using u64 = std::uint64_t;

// GF(2)[x] / (x^N + x^K + 1), N > 64. Values live in 128-bit registers as
// pairs of 64-bit limbs.
template <int N, int K>
struct Kernel {
  static constexpr int L = (N + 63) / 64;
  static constexpr int kTop = N - 64 * (L - 1);  // coefficients in the last limb
  static constexpr int kPairs = (L + 1) / 2;
  static_assert(N > 64 && K > 0 && K < N);

  // Limbs i and i + 1 of a value held as Count limb pairs (one pair per
  // 128-bit register, low limb in the low lane); limbs outside
  // 0 .. 2 Count - 1 read as zero. Called with indices that are constants
  // once the loops around are unrolled, so the branches fold away.
  template <int Count>
  NIMBRA_KERNEL_TARGET static inline __m128i Limbs(const __m128i* v, int i) {
    if (i < -1 || i >= 2 * Count) return _mm_setzero_si128();
    if (i == -1) return _mm_slli_si128(v[0], 8);
    if (i % 2 == 0) return v[i / 2];
    const __m128i next = (i + 1) / 2 < Count ? v[(i + 1) / 2] : _mm_setzero_si128();
    return _mm_alignr_epi8(next, v[(i - 1) / 2], 8);
  }

  // r := t mod (x^N + x^K + 1), for t of degree <= 2N - 2 (a product of
  // reduced values) held as L limb pairs; r has kPairs pairs, padding zero.
  // x^N = x^K + 1 turns t = lo + x^N h into lo + g + (x^K g mod x^N), g being
  // h + (h >> (N - K)) + (h >> 2 (N - K)) + ...: shifts by constants on
  // registers, with no fold waiting on the one before.
  NIMBRA_KERNEL_TARGET static inline void Reduce(const __m128i* t, __m128i* r) {
    __m128i g[kPairs];
    constexpr int d = N - K;
    if constexpr (d >= 128) {
      // g = h + (g >> d) from the top pair down: each pair of g needs only
      // higher ones.
      constexpr int qn = N >> 6, sn = N & 63, qd = d >> 6, sd = d & 63;
#pragma GCC unroll 40
      for (int p = kPairs - 1; p >= 0; --p) {
        __m128i v = Limbs<L>(t, qn + 2 * p);
        if constexpr (sn != 0) {
          v = _mm_or_si128(_mm_srli_epi64(v, sn),
                           _mm_slli_epi64(Limbs<L>(t, qn + 2 * p + 1), 64 - sn));
        }
        const int above = 2 * p + qd;
        if (above < 2 * kPairs) {
          __m128i w = Limbs<kPairs>(g, above);
          if constexpr (sd != 0) {
            w = _mm_or_si128(_mm_srli_epi64(w, sd),
                             _mm_slli_epi64(Limbs<kPairs>(g, above + 1), 64 - sd));
          }
          v = _mm_xor_si128(v, w);
        }
        g[p] = v;
      }
    } else {
      // Term by term: t >> (N + j d) for j = 0, 1, ...
#pragma GCC unroll 40
      for (int p = 0; p < kPairs; ++p) g[p] = _mm_setzero_si128();
#pragma GCC unroll 8
      for (int shift = N; shift <= 2 * N - 2; shift += d) {
        const int q = shift >> 6, s = shift & 63;
#pragma GCC unroll 40
        for (int p = 0; p < kPairs; ++p) {
          __m128i v = Limbs<L>(t, q + 2 * p);
          if (s != 0) {
            v = _mm_or_si128(_mm_srli_epi64(v, s),
                             _mm_slli_epi64(Limbs<L>(t, q + 2 * p + 1), 64 - s));
          }
          g[p] = _mm_xor_si128(g[p], v);
        }
      }
    }
    constexpr int qk = K >> 6, sk = K & 63;
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) {
      __m128i v = Limbs<kPairs>(g, 2 * p - qk);
      if constexpr (sk != 0) {
        v = _mm_or_si128(_mm_slli_epi64(v, sk),
                         _mm_srli_epi64(Limbs<kPairs>(g, 2 * p - qk - 1), 64 - sk));
      }
      r[p] = _mm_xor_si128(_mm_xor_si128(t[p], g[p]), v);
    }
    // Drop what lies at x^N and above (also the limb past L when L is odd).
    constexpr u64 top = kTop < 64 ? (u64{1} << (kTop % 64)) - 1 : ~u64{0};
    const __m128i mask = L % 2 == 1 ? _mm_set_epi64x(0, static_cast<long long>(top))
                                    : _mm_set_epi64x(static_cast<long long>(top), -1);
    r[kPairs - 1] = _mm_and_si128(r[kPairs - 1], mask);
  }

  NIMBRA_KERNEL_TARGET static void Load(const u64* a, __m128i* v) {
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) {
      const u64 hi = 2 * p + 1 < L ? a[2 * p + 1] : 0;
      v[p] = _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(a[2 * p]));
    }
  }

  NIMBRA_KERNEL_TARGET static void Store(const __m128i* v, u64* r) {
    alignas(16) u64 buf[2 * kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) _mm_store_si128(reinterpret_cast<__m128i*>(buf + 2 * p), v[p]);
    std::memcpy(r, buf, L * sizeof(u64));
  }

  NIMBRA_KERNEL_TARGET static inline void SquareStep(__m128i* x) {
    __m128i t[2 * kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) {
      t[2 * p] = _mm_clmulepi64_si128(x[p], x[p], 0x00);
      t[2 * p + 1] = _mm_clmulepi64_si128(x[p], x[p], 0x11);
    }
    Reduce(t, x);
  }

  // x := x * x^u for 0 < u < 64: the shifted value has at most one limb
  // above the field, well inside what Reduce takes.
  NIMBRA_KERNEL_TARGET static inline void MulXStep(__m128i* x, unsigned u) {
    const __m128i left = _mm_cvtsi32_si128(static_cast<int>(u));
    const __m128i right = _mm_cvtsi32_si128(static_cast<int>(64 - u));
    __m128i t[2 * kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < 2 * kPairs; ++p) {
      t[p] = _mm_or_si128(_mm_sll_epi64(Limbs<kPairs>(x, 2 * p), left),
                          _mm_srl_epi64(Limbs<kPairs>(x, 2 * p - 1), right));
    }
    Reduce(t, x);
  }

  // The value stays in registers from one squaring to the next.
  NIMBRA_KERNEL_TARGET static void SqrTimes(u64* r, const u64* a, int count) {
    __m128i x[kPairs];
    Load(a, x);
    for (int c = 0; c < count; ++c) SquareStep(x);
    Store(x, r);
  }

  // Exponent bits pos .. pos + 5 (bits past the limbs read as zero).
  static unsigned Window6(const u64* e, std::size_t limbs, std::size_t pos) {
    const std::size_t q = pos >> 6, s = pos & 63;
    u64 v = e[q] >> s;
    if (s > 58 && q + 1 < limbs) v |= e[q + 1] << (64 - s);
    return static_cast<unsigned>(v & 63);
  }

  // r := x^e for an exponent of `limbs` limbs, six exponent bits at a time:
  // six squarings, then a multiplication by x^v, all without leaving the
  // registers.
  NIMBRA_KERNEL_TARGET static void XPower(u64* r, const u64* e, std::size_t limbs) {
    __m128i x[kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) x[p] = _mm_setzero_si128();
    long top = -1;
    for (std::size_t i = limbs; i-- > 0;) {
      if (e[i] != 0) {
        top = static_cast<long>(64 * i) + 63 - __builtin_clzll(e[i]);
        break;
      }
    }
    if (top < 0) {
      x[0] = _mm_cvtsi64_si128(1);
      Store(x, r);
      return;
    }
    long pos = top / 6 * 6;
    x[0] = _mm_cvtsi64_si128(
        static_cast<long long>(u64{1} << Window6(e, limbs, static_cast<std::size_t>(pos))));
    for (pos -= 6; pos >= 0; pos -= 6) {
      for (int c = 0; c < 6; ++c) SquareStep(x);
      const unsigned v = Window6(e, limbs, static_cast<std::size_t>(pos));
      if (v != 0) MulXStep(x, v);
    }
    Store(x, r);
  }

  // r := x^e for e below 2^N given as L limbs, N and K odd. The low bits of
  // e go through squarings on the vector units, the high ones through
  // square roots on the integer units, the two chains interleaved, and x^e
  // is their product. As x^(2^N) = x, the high part x^(sum e_t 2^t) equals
  // x^(sum e_t 2^(t-N)), which roots build from the lowest of those bits up:
  // for each six-bit window v, a multiplication by x^v, then six roots.
  template <int kRootWindows>
  NIMBRA_SPLIT_TARGET static void SplitXPower(u64* r, const u64* e) {
    using Root = RootOps<N, K>;
    constexpr int h = N - 6 * kRootWindows;  // bits below h go to the squarings
    constexpr int kSquareWindows = (h + 5) / 6;
    static_assert(h > 6 && kRootWindows > 0);
    constexpr int top_pos = 6 * (kSquareWindows - 1);
    __m128i x[kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) x[p] = _mm_setzero_si128();
    const unsigned v = Window6(e, L, top_pos) & ((1u << (h - top_pos)) - 1);
    x[0] = _mm_cvtsi64_si128(static_cast<long long>(u64{1} << v));
    u64 root[L] = {1}, spare[L];
    constexpr int steps = kSquareWindows - 1 > kRootWindows ? kSquareWindows - 1 : kRootWindows;
    // One squaring next to one root, so that the processor finds work of
    // both chains within its reordering window.
    for (int i = 0; i < steps; ++i) {
      if (i < kRootWindows && i < kSquareWindows - 1) {
        const unsigned w = Window6(e, L, static_cast<std::size_t>(h + 6 * i));
        if (w != 0) Root::MulX(root, w);
        for (int c = 0; c < 3; ++c) {
          SquareStep(x);
          Root::Sqrt(spare, root);
          SquareStep(x);
          Root::Sqrt(root, spare);
        }
        const unsigned u = Window6(e, L, static_cast<std::size_t>(top_pos - 6 * (i + 1)));
        if (u != 0) MulXStep(x, u);
      } else if (i < kRootWindows) {
        const unsigned w = Window6(e, L, static_cast<std::size_t>(h + 6 * i));
        if (w != 0) Root::MulX(root, w);
        for (int c = 0; c < 3; ++c) {
          Root::Sqrt(spare, root);
          Root::Sqrt(root, spare);
        }
      } else {
        for (int c = 0; c < 6; ++c) SquareStep(x);
        const unsigned u = Window6(e, L, static_cast<std::size_t>(top_pos - 6 * (i + 1)));
        if (u != 0) MulXStep(x, u);
      }
    }
    u64 low[L];
    Store(x, low);
    Mul(r, root, low);
  }

  NIMBRA_KERNEL_TARGET static void Sqr(u64* r, const u64* a) {
    SqrTimes(r, a, 1);
  }

  // t[0 .. 2P-1] := the product of two polynomials of P limb pairs, with one
  // Karatsuba step inside every pair product: three carry-less multiplies
  // per pair of pairs.
  template <int P>
  NIMBRA_KERNEL_TARGET static inline void PairProduct(const __m128i* pa, const __m128i* pb,
                                                      __m128i* t) {
    __m128i fa[P], fb[P];
#pragma GCC unroll 40
    for (int i = 0; i < P; ++i) {
      fa[i] = _mm_xor_si128(pa[i], _mm_unpackhi_epi64(pa[i], pa[i]));
      fb[i] = _mm_xor_si128(pb[i], _mm_unpackhi_epi64(pb[i], pb[i]));
    }
    // Column sums: lo at limb 2c, mid at 2c + 1, hi at 2c + 2 (each 128 bits).
    __m128i lo[2 * P - 1], hi[2 * P - 1], mid[2 * P - 1];
#pragma GCC unroll 80
    for (int c = 0; c < 2 * P - 1; ++c) {
      lo[c] = _mm_setzero_si128();
      hi[c] = _mm_setzero_si128();
      mid[c] = _mm_setzero_si128();
    }
#pragma GCC unroll 40
    for (int i = 0; i < P; ++i) {
#pragma GCC unroll 40
      for (int j = 0; j < P; ++j) {
        lo[i + j] = _mm_xor_si128(lo[i + j], _mm_clmulepi64_si128(pa[i], pb[j], 0x00));
        hi[i + j] = _mm_xor_si128(hi[i + j], _mm_clmulepi64_si128(pa[i], pb[j], 0x11));
        mid[i + j] = _mm_xor_si128(mid[i + j], _mm_clmulepi64_si128(fa[i], fb[j], 0x00));
      }
    }
    __m128i carry = _mm_setzero_si128();  // the upper half of the previous column
#pragma GCC unroll 80
    for (int c = 0; c < 2 * P - 1; ++c) {
      const __m128i m = _mm_xor_si128(mid[c], _mm_xor_si128(lo[c], hi[c]));
      const __m128i even = _mm_xor_si128(lo[c], _mm_unpacklo_epi64(_mm_setzero_si128(), m));
      t[c] = _mm_xor_si128(even, carry);
      carry = _mm_xor_si128(hi[c], _mm_unpackhi_epi64(m, _mm_setzero_si128()));
    }
    t[2 * P - 1] = carry;
  }

  NIMBRA_KERNEL_TARGET static void Mul(u64* r, const u64* a, const u64* b) {
    __m128i pa[kPairs], pb[kPairs], t[2 * kPairs];
    Load(a, pa);
    Load(b, pb);
    if constexpr (kPairs >= 8 && kPairs % 2 == 0) {
      // One Karatsuba step on the halves first: a0 b0, a1 b1 and
      // (a0 + a1)(b0 + b1) give the middle term, three products in place of
      // four.
      constexpr int H = kPairs / 2;
      __m128i sa[H], sb[H], mid[2 * H];
#pragma GCC unroll 40
      for (int i = 0; i < H; ++i) {
        sa[i] = _mm_xor_si128(pa[i], pa[i + H]);
        sb[i] = _mm_xor_si128(pb[i], pb[i + H]);
      }
      PairProduct<H>(pa, pb, t);
      PairProduct<H>(pa + H, pb + H, t + 2 * H);
      PairProduct<H>(sa, sb, mid);
      // The middle term first: the sum overlaps both halves it is made of.
#pragma GCC unroll 80
      for (int j = 0; j < 2 * H; ++j)
        mid[j] = _mm_xor_si128(mid[j], _mm_xor_si128(t[j], t[2 * H + j]));
#pragma GCC unroll 80
      for (int j = 0; j < 2 * H; ++j) t[H + j] = _mm_xor_si128(t[H + j], mid[j]);
    } else {
      PairProduct<kPairs>(pa, pb, t);
    }
    __m128i x[kPairs];
    Reduce(t, x);
    Store(x, r);
  }

  NIMBRA_KERNEL_TARGET static void MulX(u64* r, const u64* a, unsigned u) {
    __m128i x[kPairs];
    Load(a, x);
    if (u != 0) MulXStep(x, u);
    Store(x, r);
  }

  static constexpr GFKernel kOps{&Mul, &Sqr, &SqrTimes, &MulX, &XPower};
};

// Copies an exponent below 2^N into L limbs; false when it is not below.
template <int N>
bool ExponentBelow(const u64* e, std::size_t limbs, u64* out) {
  constexpr std::size_t L = (N + 63) / 64;
  for (std::size_t i = L; i < limbs; ++i) {
    if (e[i] != 0) return false;
  }
  for (std::size_t i = 0; i < L; ++i) out[i] = i < limbs ? e[i] : 0;
  constexpr int top = N - 64 * (static_cast<int>(L) - 1);
  return top == 64 || (out[L - 1] >> (top % 64)) == 0;
}

template <int N, int K, int kRootWindows>
void SplitXPowerEntry(u64* r, const u64* e, std::size_t limbs) {
  u64 exponent[(N + 63) / 64];
  if (!ExponentBelow<N>(e, limbs, exponent)) return Kernel<N, K>::XPower(r, e, limbs);
  Kernel<N, K>::template SplitXPower<kRootWindows>(r, exponent);
}

u64 ReverseBits(u64 v) {
  v = __builtin_bswap64(v);
  v = ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
  v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
  return ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
}

// With K even, sqrt(x) is a dense element, so the roots are taken in the
// reciprocal field GF(2)[y] / (y^N + y^(N-K) + 1), y standing for 1/x. If b
// is y^(-c) there, the polynomial x^(N-1) b(1/x), which is b's coefficients
// in reverse order, is x^(N-1+c) in the field of x. So x^e is y^d reversed,
// for d = (N - 1) - e modulo 2^N - 1, the order of every non-zero element.
template <int N, int K, int kRootWindows>
void ReciprocalXPowerEntry(u64* r, const u64* e, std::size_t limbs) {
  constexpr int L = (N + 63) / 64;
  u64 d[L];
  if (!ExponentBelow<N>(e, limbs, d)) return Kernel<N, K>::XPower(r, e, limbs);
  bool high = false;
  for (int i = 1; i < L; ++i) high = high || d[i] != 0;
  if (!high && d[0] < static_cast<u64>(N - 1)) {
    d[0] = static_cast<u64>(N - 1) - d[0];
  } else {
    // d := e - (N - 1), then its complement in N bits: 2^N - 1 - (e - (N - 1)).
    u64 borrow = N - 1;
    for (int i = 0; i < L; ++i) {
      const u64 before = d[i];
      d[i] = before - borrow;
      borrow = before < borrow ? 1 : 0;
    }
    for (int i = 0; i < L; ++i) d[i] = ~d[i];
    constexpr int top = N - 64 * (L - 1);
    if constexpr (top < 64) d[L - 1] &= (u64{1} << top) - 1;
  }
  u64 y[L], reversed[L];
  Kernel<N, N - K>::template SplitXPower<kRootWindows>(y, d);
  // Reversing all 64 L bits puts coefficient N - 1 - i at bit i + 64 L - N.
  for (int i = 0; i < L; ++i) reversed[i] = ReverseBits(y[L - 1 - i]);
  constexpr int s = 64 * L - N;
  for (int i = 0; i < L; ++i) {
    r[i] = s == 0 ? reversed[i] : reversed[i] >> (s % 64);
    if (s != 0 && i + 1 < L) r[i] |= reversed[i + 1] << ((64 - s) % 64);
  }
}

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

template <int N, int K>
constexpr GFKernel kSplitOps{&Kernel<N, K>::Mul, &Kernel<N, K>::Sqr, &Kernel<N, K>::SqrTimes,
                             &Kernel<N, K>::MulX, &SplitXPowerEntry<N, K, kRootWindows<N, K>>};
template <int N, int K>
constexpr GFKernel kReciprocalOps{&Kernel<N, K>::Mul, &Kernel<N, K>::Sqr, &Kernel<N, K>::SqrTimes,
                                  &Kernel<N, K>::MulX,
                                  &ReciprocalXPowerEntry<N, K, kRootWindows<N, K>>};

// The operations of the field x^N + x^K + 1: x^e with the help of roots
// where bit extraction is fast and the trinomial (or its reciprocal) has
// odd exponents, far enough apart for one fold per shift.
template <int N, int K>
const GFKernel* OpsFor() {
  if constexpr (N % 2 == 1 && K % 2 == 1 && K + 64 <= N) {
    if (HasFastExtract()) return &kSplitOps<N, K>;
  } else if constexpr (N % 2 == 1 && (N - K) % 2 == 1 && K >= 64) {
    if (HasFastExtract()) return &kReciprocalOps<N, K>;
  }
  return &Kernel<N, K>::kOps;
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
