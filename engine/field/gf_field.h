#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Arithmetic in GF(2)[x] / (x^n + x^(n-m) + 1) on polynomials held as
// little-endian arrays of 64-bit limbs (coefficient i in bit i mod 64 of limb
// i div 64), plus the conversion to and from the engine's field layout.
//
// Field layout: an element is an n-bit array of 32-bit words, most
// significant bit first inside each word, whose bit (i + m) mod n holds the
// coefficient of x^i. This is the state of the register of length n with
// mid-tap m, so one register clock is one multiplication by x. The padding
// bits of the last word are written as zero and ignored when read.
namespace nimbra::engine::field {

struct GFKernel;

class GFField {
 public:
  using u64 = std::uint64_t;

  GFField(int n, int m);

  // The field of the register (n, m); built once and shared.
  static const GFField& For(int n, int m);

  int N() const { return n_; }
  int M() const { return m_; }
  int K() const { return k_; }
  std::size_t Limbs() const { return limbs_; }
  std::size_t Words() const { return words_; }

  // Field layout -> polynomial (padding ignored).
  void FromWords(const std::uint32_t* words, u64* poly) const;
  // Polynomial -> field layout with zero padding; writes Words() words.
  void ToWords(const u64* poly, std::uint32_t* words) const;

  // r := a * b, r := a^2, r := a * x^u (any u >= 0). r may alias a or b.
  void Mul(u64* r, const u64* a, const u64* b) const;
  void Sqr(u64* r, const u64* a) const;
  void MulXPower(u64* r, const u64* a, std::uint64_t u) const;
  // r := a^(2^count).
  void SqrTimes(u64* r, const u64* a, int count) const;

  // In-place reduction of a product of 2 * Limbs() limbs; the result is in
  // the first Limbs() limbs.
  void Reduce(u64* t) const;

  // The compiled kernel of this field while the processor's carry-less
  // multiply is in use, else null.
  const GFKernel* Kernel() const;

  static bool IsZero(const u64* poly, std::size_t limbs);
  static bool Bit(const u64* poly, std::uint64_t i) { return (poly[i >> 6] >> (i & 63)) & 1; }

 private:
  void XorAt(u64* t, std::size_t pos, u64 w) const;

  int n_, m_, k_;
  std::size_t limbs_, words_;
  int top_bits_;  // coefficients held in the last limb
  const GFKernel* kernel_;
};

// A polynomial of one field, sized for it.
using Poly = std::vector<std::uint64_t>;

}  // namespace nimbra::engine::field
