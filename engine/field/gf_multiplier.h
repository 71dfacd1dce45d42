#pragma once

#include <cstdint>

#include "engine/field/gf_field.h"
#include "engine/keystream/shift_reg.h"

namespace nimbra::engine {

// The register (n, m) read as the field GF(2)[x] / (x^n + x^(n-m) + 1): its
// state is a field element and one clock multiplies it by x.
class TGFMultiplier : public TShiftReg {
 public:
  TGFMultiplier(int n, int m);

  const field::GFField& Field() const { return field_; }

 private:
  const field::GFField& field_;
};

// Multiplication of two field elements held in word buffers of the register
// length (field layout, padding written as zero).
class TGF2NMultiplier : public TGFMultiplier {
 public:
  using TGFMultiplier::TGFMultiplier;

  // result := a * b. A zero b gives zero.
  void Multiply(std::uint32_t* result, const std::uint32_t* a, const std::uint32_t* b) const;
};

}  // namespace nimbra::engine
