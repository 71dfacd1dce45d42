#pragma once

#include <cstdint>

#include "engine/field/gf_field.h"

// Fast field operations on elements in the field layout (see gf_field.h),
// giving the same elements as the engine's register-clocked algorithms.
namespace nimbra::engine::field {

// Chunk widths of the 2^w-ary exponentiations by register length.
int PowerChunkWidth(int n);     // general base
int PowerOfXChunkWidth(int n);  // base x

// result := x^e (e in the field layout; e = 0 gives 1).
void PowerOfXWords(const GFField& f, const std::uint32_t* exponent, std::uint32_t* result);

// result := base^e. The exponent must not be zero (callers check). A zero
// base gives zero.
void PowerWords(const GFField& f, const std::uint32_t* exponent, const std::uint32_t* base,
                std::uint32_t* result);

// result := a * b. result may alias a or b.
void MultiplyWords(const GFField& f, std::uint32_t* result, const std::uint32_t* a,
                   const std::uint32_t* b);

// words := words * x^steps, exactly the state a register loaded with words
// holds after clocking steps bits with feedback.
void ClockWords(const GFField& f, std::uint32_t* words, std::uint64_t steps);

// True when the element (spare bits ignored) is zero.
bool IsZeroElement(const GFField& f, const std::uint32_t* words);

}  // namespace nimbra::engine::field
