#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Field kernels specialised at compile time for the trinomials of the
// register table, on the carry-less multiply instruction: the limb count and
// every reduction shift are constants, so squaring and multiplication run as
// straight-line code.
namespace nimbra::engine::field {

struct GFKernel {
  void (*mul)(std::uint64_t* r, const std::uint64_t* a, const std::uint64_t* b);
  void (*sqr)(std::uint64_t* r, const std::uint64_t* a);
  // r := a^(2^count), count >= 1, the value staying in one buffer between
  // the squarings.
  void (*sqr_times)(std::uint64_t* r, const std::uint64_t* a, int count);
  // r := a * x^u for 0 <= u < 64.
  void (*mul_x)(std::uint64_t* r, const std::uint64_t* a, unsigned u);
  // r := x^e, e an exponent of `limbs` 64-bit limbs (any length).
  void (*x_power)(std::uint64_t* r, const std::uint64_t* e, std::size_t limbs);
  // r := b^e for e not zero, of `limbs` limbs.
  void (*power)(std::uint64_t* r, const std::uint64_t* b, const std::uint64_t* e,
                std::size_t limbs);
};

// The kernel of the field (n, m), or null when there is none (another
// trinomial, or a processor without carry-less multiplies or AVX).
const GFKernel* PclmulKernelFor(int n, int m);

// Every kernel of the field (n, m) this processor can run, the one above
// first; they give the same results by different routes, which the tests
// hold to each other.
std::vector<const GFKernel*> PclmulKernelVariants(int n, int m);

}  // namespace nimbra::engine::field
