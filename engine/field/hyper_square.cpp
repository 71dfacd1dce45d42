#include "engine/field/hyper_square.h"

#include <cstdio>
#include <cstring>

#include "engine/field/gf_field.h"

namespace nimbra::engine {

THyperSquareTable::THyperSquareTable(int n, int w, int m) : TAbstractPowerTable(n, m), w_(w) {}

std::string THyperSquareTable::TableName() const {
  char name[32];
  std::snprintf(name, sizeof name, "%dH%d", N(), w_);
  return name;
}

void THyperSquareTable::Build() {
  if (Built()) return;
  const auto& f = field::GFField::For(N(), M());
  field::Poly p(f.Limbs(), 0);
  p[0] = 1;
  for (int i = 0; i < N(); ++i) {
    if (i > 0) f.MulXPower(p.data(), p.data(), std::uint64_t{1} << w_);
    f.ToWords(p.data(), Entry(i));
  }
  MarkBuilt();
}

void THyperSquareTable::Apply(std::uint32_t* result, const std::uint32_t* input) const {
  const auto& f = field::GFField::For(N(), M());
  field::Poly p(f.Limbs());
  f.FromWords(input, p.data());
  const int words = EntryWords();
  std::memset(result, 0, static_cast<std::size_t>(words) * 4);
  for (std::size_t limb = 0; limb < p.size(); ++limb) {
    for (std::uint64_t bits = p[limb]; bits != 0; bits &= bits - 1) {
      const int i = static_cast<int>(limb * 64) + __builtin_ctzll(bits);
      const std::uint32_t* entry = Entry(i);
      for (int w = 0; w < words; ++w) result[w] ^= entry[w];
    }
  }
}

}  // namespace nimbra::engine
