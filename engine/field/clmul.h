#pragma once

#include <cstddef>
#include <cstdint>

// Carry-less (GF(2)[x]) multiplication of polynomials held as little-endian
// arrays of 64-bit limbs: bit j of limb i is the coefficient of x^(64i + j).
// The processor's carry-less multiply instruction is used when it is present
// (engine/cpu_features.h, Routine::kPolyMul); otherwise a portable path gives
// the same results.
namespace nimbra::engine::field {

// out[0 .. 2L-1] := a * b for two polynomials of L limbs. out must not alias.
void PolyMul(const std::uint64_t* a, const std::uint64_t* b, std::size_t limbs, std::uint64_t* out);

// out[0 .. 2L-1] := a * a (the bits of a spread to the even positions).
void PolySqr(const std::uint64_t* a, std::size_t limbs, std::uint64_t* out);

namespace detail {
void PolyMulPortable(const std::uint64_t* a, const std::uint64_t* b, std::size_t limbs,
                     std::uint64_t* out);
void PolySqrPortable(const std::uint64_t* a, std::size_t limbs, std::uint64_t* out);
void PolyMulPclmul(const std::uint64_t* a, const std::uint64_t* b, std::size_t limbs,
                   std::uint64_t* out);
void PolySqrPclmul(const std::uint64_t* a, std::size_t limbs, std::uint64_t* out);
}  // namespace detail

}  // namespace nimbra::engine::field
