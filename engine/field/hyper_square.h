#pragma once

#include <cstdint>
#include <string>

#include "engine/field/power_table.h"

namespace nimbra::engine {

// Entry i = x^(i * 2^w), i < n: raising any element to the power 2^w is then
// one pass over its coefficients, squaring being linear over GF(2).
class THyperSquareTable : public TAbstractPowerTable {
 public:
  THyperSquareTable(int n, int w, int m);

  void Build() override;
  // n + "H" + w, for example 1279H11.
  std::string TableName() const override;
  int EntryCount() const override { return N(); }
  int Width() const { return w_; }

  // result := input^(2^w): the sum of the entries of input's coefficients.
  // The buffers must differ.
  void Apply(std::uint32_t* result, const std::uint32_t* input) const;

 private:
  int w_;
};

}  // namespace nimbra::engine
