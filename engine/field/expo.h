#pragma once

#include <cstdint>

namespace nimbra::engine {

// Exponentiation in the field of the register (n, m); every buffer holds
// (n - 1) / 32 + 1 words in the field layout.
class TExpo {
 public:
  // result := x^exponent; a zero exponent gives 1.
  static void PowerOfX(int n, int m, const std::uint32_t* exponent, std::uint32_t* result);
  // result := base^exponent; a zero exponent raises EExponentiator.
  static void Power(int n, int m, const std::uint32_t* exponent, const std::uint32_t* base,
                    std::uint32_t* result);
};

}  // namespace nimbra::engine
