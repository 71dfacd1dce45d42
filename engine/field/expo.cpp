#include "engine/field/expo.h"

#include "engine/errors.h"
#include "engine/field/gf_expo.h"

namespace nimbra::engine {

void TExpo::PowerOfX(int n, int m, const std::uint32_t* exponent, std::uint32_t* result) {
  field::PowerOfXWords(field::GFField::For(n, m), exponent, result);
}

void TExpo::Power(int n, int m, const std::uint32_t* exponent, const std::uint32_t* base,
                  std::uint32_t* result) {
  const auto& f = field::GFField::For(n, m);
  if (field::IsZeroElement(f, exponent)) throw EExponentiator(msg::kZeroExponent);
  field::PowerWords(f, exponent, base, result);
}

}  // namespace nimbra::engine
