#include "engine/field/gf_multiplier.h"

#include "engine/field/gf_expo.h"

namespace nimbra::engine {

TGFMultiplier::TGFMultiplier(int n, int m) : TShiftReg(n, m), field_(field::GFField::For(n, m)) {}

void TGF2NMultiplier::Multiply(std::uint32_t* result, const std::uint32_t* a,
                               const std::uint32_t* b) const {
  field::MultiplyWords(Field(), result, a, b);
}

}  // namespace nimbra::engine
