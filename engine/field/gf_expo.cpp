#include "engine/field/gf_expo.h"

#include <cstring>

#include "engine/field/gf_kernel.h"
#include "engine/field/sliding_windows.h"

namespace nimbra::engine::field {

namespace {

using u64 = std::uint64_t;

// width bits of e starting at bit pos (bits past the limbs read as zero).
unsigned GetBits(const u64* e, std::size_t limbs, std::size_t pos, int width) {
  unsigned v = 0;
  for (int j = 0; j < width; ++j) {
    const std::size_t t = pos + static_cast<std::size_t>(j);
    if ((t >> 6) < limbs && ((e[t >> 6] >> (t & 63)) & 1)) v |= 1u << j;
  }
  return v;
}

long TopBit(const u64* e, std::size_t limbs) {
  for (std::size_t i = limbs; i-- > 0;) {
    if (e[i] != 0) return static_cast<long>(64 * i) + 63 - __builtin_clzll(e[i]);
  }
  return -1;
}

// r := x^e for an exponent of any length: six bits per step, each step six
// squarings and one shift.
void XPower(const GFField& f, const u64* e, std::size_t limbs, u64* r) {
  if (const GFKernel* kernel = f.Kernel()) return kernel->x_power(r, e, limbs);
  constexpr int kWindow = 6;
  std::memset(r, 0, f.Limbs() * sizeof(u64));
  r[0] = 1;
  const long top = TopBit(e, limbs);
  if (top < 0) return;
  long pos = (top / kWindow) * kWindow;
  f.MulXPower(r, r, GetBits(e, limbs, static_cast<std::size_t>(pos), kWindow));
  for (pos -= kWindow; pos >= 0; pos -= kWindow) {
    f.SqrTimes(r, r, kWindow);
    const unsigned v = GetBits(e, limbs, static_cast<std::size_t>(pos), kWindow);
    if (v != 0) f.MulXPower(r, r, v);
  }
}

// r := b^e (e not zero) by sliding windows over the odd powers of b.
void SlidingPower(const GFField& f, const u64* b, const u64* e, std::size_t limbs, u64* r) {
  if (const GFKernel* kernel = f.Kernel()) return kernel->power(r, b, e, limbs);
  const int width = SlidingWindowWidth(f.N());
  const std::size_t count = std::size_t{1} << (width - 1);
  std::vector<Poly> odd(count, Poly(f.Limbs()));
  Poly b2(f.Limbs());
  f.Sqr(b2.data(), b);
  std::memcpy(odd[0].data(), b, f.Limbs() * sizeof(u64));
  for (std::size_t i = 1; i < count; ++i) f.Mul(odd[i].data(), odd[i - 1].data(), b2.data());

  SlidingWindows windows(e, limbs, width);
  std::memcpy(r, odd[windows.First() >> 1].data(), f.Limbs() * sizeof(u64));
  int squarings = 0;
  unsigned v = 0;
  while (windows.Next(squarings, v)) {
    if (squarings > 0) f.SqrTimes(r, r, squarings);
    if (v != 0) f.Mul(r, r, odd[v >> 1].data());
  }
}

}  // namespace

int PowerChunkWidth(int n) {
  switch (n) {
    case 127:
      return 4;
    case 521:
    case 607:
      return 6;
    case 1279:
    case 2281:
      return 7;
    default:
      return 5;
  }
}

int PowerOfXChunkWidth(int n) {
  switch (n) {
    case 127:
    case 521:
      return 8;
    case 607:
      return 10;
    case 1279:
      return 11;
    case 2281:
      return 13;
    default:
      return 5;
  }
}

bool IsZeroElement(const GFField& f, const std::uint32_t* words) {
  Poly a(f.Limbs());
  f.FromWords(words, a.data());
  return GFField::IsZero(a.data(), f.Limbs());
}

void PowerOfXWords(const GFField& f, const std::uint32_t* exponent, std::uint32_t* result) {
  Poly e(f.Limbs()), r(f.Limbs());
  f.FromWords(exponent, e.data());
  XPower(f, e.data(), f.Limbs(), r.data());
  f.ToWords(r.data(), result);
}

void PowerWords(const GFField& f, const std::uint32_t* exponent, const std::uint32_t* base,
                std::uint32_t* result) {
  Poly e(f.Limbs()), b(f.Limbs()), r(f.Limbs());
  f.FromWords(exponent, e.data());
  f.FromWords(base, b.data());
  if (!GFField::IsZero(e.data(), f.Limbs()))
    SlidingPower(f, b.data(), e.data(), f.Limbs(), r.data());
  f.ToWords(r.data(), result);
}

void MultiplyWords(const GFField& f, std::uint32_t* result, const std::uint32_t* a,
                   const std::uint32_t* b) {
  Poly pa(f.Limbs()), pb(f.Limbs());
  f.FromWords(a, pa.data());
  f.FromWords(b, pb.data());
  f.Mul(pa.data(), pa.data(), pb.data());
  f.ToWords(pa.data(), result);
}

void ClockWords(const GFField& f, std::uint32_t* words, std::uint64_t steps) {
  Poly a(f.Limbs()), xs(f.Limbs());
  f.FromWords(words, a.data());
  const u64 exponent[1] = {steps};
  XPower(f, exponent, 1, xs.data());
  f.Mul(a.data(), a.data(), xs.data());
  f.ToWords(a.data(), words);
}

}  // namespace nimbra::engine::field
