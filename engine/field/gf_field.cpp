#include "engine/field/gf_field.h"

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "engine/cpu_features.h"
#include "engine/field/bit_reverse.h"
#include "engine/field/clmul.h"
#include "engine/field/gf_kernel.h"

namespace nimbra::engine::field {

namespace {

using u64 = std::uint64_t;
constexpr std::size_t kMaxLimbs = 130;

// dst[0 .. dst_limbs-1] ^= (src << shift) truncated to dst_limbs limbs; src
// has src_limbs limbs.
void XorShiftLeft(u64* dst, std::size_t dst_limbs, const u64* src, std::size_t src_limbs,
                  std::size_t shift) {
  const std::size_t q = shift >> 6, r = shift & 63;
  for (std::size_t i = q; i < dst_limbs; ++i) {
    const std::size_t j = i - q;
    u64 v = j < src_limbs ? src[j] << r : 0;
    if (r != 0 && j > 0 && j - 1 < src_limbs) v |= src[j - 1] >> (64 - r);
    dst[i] ^= v;
  }
}

// dst[0 .. limbs-1] ^= src >> shift, src having limbs limbs.
void XorShiftRight(u64* dst, const u64* src, std::size_t limbs, std::size_t shift) {
  const std::size_t q = shift >> 6, r = shift & 63;
  for (std::size_t i = 0; i + q < limbs; ++i) {
    u64 v = src[i + q] >> r;
    if (r != 0 && i + q + 1 < limbs) v |= src[i + q + 1] << (64 - r);
    dst[i] ^= v;
  }
}

}  // namespace

GFField::GFField(int n, int m)
    : n_(n),
      m_(m),
      k_(n - m),
      limbs_(static_cast<std::size_t>((n - 1) / 64 + 1)),
      words_(static_cast<std::size_t>((n - 1) / 32 + 1)),
      top_bits_(n - 64 * static_cast<int>(limbs_ - 1)),
      kernel_(PclmulKernelFor(n, m)) {}

const GFKernel* GFField::Kernel() const {
  return kernel_ != nullptr && cpu::Accelerated(cpu::Routine::kFieldKernels) ? kernel_ : nullptr;
}

const GFField& GFField::For(int n, int m) {
  static std::mutex mutex;
  static std::map<std::pair<int, int>, std::unique_ptr<GFField>> fields;
  std::lock_guard<std::mutex> lock(mutex);
  auto& slot = fields[{n, m}];
  if (!slot) slot = std::make_unique<GFField>(n, m);
  return *slot;
}

bool GFField::IsZero(const u64* poly, std::size_t limbs) {
  for (std::size_t i = 0; i < limbs; ++i) {
    if (poly[i] != 0) return false;
  }
  return true;
}

void GFField::FromWords(const std::uint32_t* words, u64* poly) const {
  // a: the array bits in order, bit p of the array as bit p of a.
  u64 a[kMaxLimbs];
  for (std::size_t j = 0; j < limbs_; ++j) {
    const u64 w0 = words[2 * j];
    const u64 w1 = 2 * j + 1 < words_ ? words[2 * j + 1] : 0;
    a[j] = Reverse64((w0 << 32) | w1);
  }
  if (top_bits_ < 64) a[limbs_ - 1] &= (u64{1} << top_bits_) - 1;
  // coefficient i is array bit (i + m) mod n: a rotation right by m.
  std::memset(poly, 0, limbs_ * sizeof(u64));
  XorShiftRight(poly, a, limbs_, static_cast<std::size_t>(m_));
  XorShiftLeft(poly, limbs_, a, limbs_, static_cast<std::size_t>(k_));
  if (top_bits_ < 64) poly[limbs_ - 1] &= (u64{1} << top_bits_) - 1;
}

void GFField::ToWords(const u64* poly, std::uint32_t* words) const {
  u64 a[kMaxLimbs];
  std::memset(a, 0, limbs_ * sizeof(u64));
  XorShiftLeft(a, limbs_, poly, limbs_, static_cast<std::size_t>(m_));
  XorShiftRight(a, poly, limbs_, static_cast<std::size_t>(k_));
  if (top_bits_ < 64) a[limbs_ - 1] &= (u64{1} << top_bits_) - 1;
  for (std::size_t j = 0; j < limbs_; ++j) {
    const u64 v = Reverse64(a[j]);
    words[2 * j] = static_cast<std::uint32_t>(v >> 32);
    if (2 * j + 1 < words_) words[2 * j + 1] = static_cast<std::uint32_t>(v);
  }
}

void GFField::XorAt(u64* t, std::size_t pos, u64 w) const {
  const std::size_t q = pos >> 6, r = pos & 63;
  t[q] ^= w << r;
  if (r != 0) t[q + 1] ^= w >> (64 - r);
}

void GFField::Reduce(u64* t) const {
  const std::size_t n = static_cast<std::size_t>(n_), k = static_cast<std::size_t>(k_);
  // x^n = x^k + 1: fold every limb above the field from the top down. For the
  // table's trinomials a fold lands strictly below the folded limb; the loop
  // also covers those where it does not.
  for (std::size_t i = 2 * limbs_ - 1; i >= limbs_; --i) {
    u64 w;
    while ((w = t[i]) != 0) {
      t[i] = 0;
      const std::size_t pos = 64 * i - n;
      XorAt(t, pos, w);
      XorAt(t, pos + k, w);
    }
  }
  if (top_bits_ < 64) {
    u64 w;
    while ((w = t[limbs_ - 1] >> top_bits_) != 0) {
      t[limbs_ - 1] &= (u64{1} << top_bits_) - 1;
      XorAt(t, 0, w);
      XorAt(t, k, w);
    }
  }
}

void GFField::Mul(u64* r, const u64* a, const u64* b) const {
  if (const GFKernel* kernel = Kernel()) return kernel->mul(r, a, b);
  u64 t[2 * kMaxLimbs + 2];
  PolyMul(a, b, limbs_, t);
  t[2 * limbs_] = 0;
  Reduce(t);
  std::memcpy(r, t, limbs_ * sizeof(u64));
}

void GFField::Sqr(u64* r, const u64* a) const {
  if (const GFKernel* kernel = Kernel()) return kernel->sqr(r, a);
  u64 t[2 * kMaxLimbs + 2];
  PolySqr(a, limbs_, t);
  t[2 * limbs_] = 0;
  Reduce(t);
  std::memcpy(r, t, limbs_ * sizeof(u64));
}

void GFField::SqrTimes(u64* r, const u64* a, int count) const {
  if (count <= 0) {
    if (r != a) std::memcpy(r, a, limbs_ * sizeof(u64));
    return;
  }
  if (const GFKernel* kernel = Kernel()) return kernel->sqr_times(r, a, count);
  Sqr(r, a);
  for (int i = 1; i < count; ++i) Sqr(r, r);
}

void GFField::MulXPower(u64* r, const u64* a, std::uint64_t u) const {
  if (const GFKernel* kernel = Kernel(); kernel != nullptr && u < 64) {
    return kernel->mul_x(r, a, static_cast<unsigned>(u));
  }
  u64 t[2 * kMaxLimbs + 2];
  if (r != a) std::memcpy(r, a, limbs_ * sizeof(u64));
  // Shift by at most n - 1 bits at a time so one reduction suffices.
  const std::uint64_t step_max = static_cast<std::uint64_t>(n_ - 1);
  while (u > 0) {
    const std::size_t step = static_cast<std::size_t>(u < step_max ? u : step_max);
    std::memset(t, 0, (2 * limbs_ + 1) * sizeof(u64));
    XorShiftLeft(t, 2 * limbs_, r, limbs_, step);
    Reduce(t);
    std::memcpy(r, t, limbs_ * sizeof(u64));
    u -= step;
  }
}

}  // namespace nimbra::engine::field
