// The field arithmetic against OpenSSL's binary-field routines on the same
// trinomials: an implementation written elsewhere, so a fault shared by the
// engine's own paths and its register-clocked reference would show here.

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <memory>
#include <random>
#include <vector>

#include "engine/cpu_features.h"
#include "engine/field/gf_expo.h"
#include "engine/field/gf_kernel.h"
#include "engine/keystream/generator_sizes.h"

namespace nimbra::engine {
namespace {

using Poly = field::Poly;
using Bn = std::unique_ptr<BIGNUM, decltype(&BN_free)>;

Bn ToBn(const Poly& p) {
  return Bn(BN_lebin2bn(reinterpret_cast<const unsigned char*>(p.data()),
                        static_cast<int>(p.size() * 8), nullptr),
            &BN_free);
}

Poly FromBn(const BIGNUM* b, std::size_t limbs) {
  Poly p(limbs);
  EXPECT_EQ(
      BN_bn2lebinpad(b, reinterpret_cast<unsigned char*>(p.data()), static_cast<int>(limbs * 8)),
      static_cast<int>(limbs * 8));
  return p;
}

class AgainstOpenSsl : public ::testing::TestWithParam<GeneratorSizeInfo> {
 protected:
  int n() const { return GetParam().length; }
  const field::GFField& f() const { return field::GFField::For(n(), GetParam().mid_tap); }

  // A random polynomial below x^n.
  Poly Random() {
    Poly p(f().Limbs());
    for (auto& limb : p) limb = rng_();
    const int top = n() - 64 * (static_cast<int>(p.size()) - 1);
    if (top < 64) p.back() &= (1ull << top) - 1;
    return p;
  }

  // a * b and a^e modulo x^n + x^K + 1, by OpenSSL.
  Poly Mul(const Poly& a, const Poly& b) {
    Bn r(BN_new(), &BN_free);
    EXPECT_EQ(BN_GF2m_mod_mul_arr(r.get(), ToBn(a).get(), ToBn(b).get(), poly_, ctx_.get()), 1);
    return FromBn(r.get(), a.size());
  }
  Poly Exp(const Poly& a, const Poly& e) {
    Bn r(BN_new(), &BN_free);
    EXPECT_EQ(BN_GF2m_mod_exp_arr(r.get(), ToBn(a).get(), ToBn(e).get(), poly_, ctx_.get()), 1);
    return FromBn(r.get(), a.size());
  }

  std::mt19937_64 rng_{static_cast<std::uint64_t>(GetParam().length) * 7919};
  const int poly_[4] = {n(), f().K(), 0, -1};
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx_{BN_CTX_new(), &BN_CTX_free};
};

TEST_P(AgainstOpenSsl, ProductsAndPowersAgreeOnEveryPath) {
  Poly x(f().Limbs());
  x[0] = 2;
  Poly ones(f().Limbs(), ~0ull);  // the highest degree: every fold of a reduction
  const int top = n() - 64 * (static_cast<int>(ones.size()) - 1);
  if (top < 64) ones.back() = (1ull << top) - 1;
  std::vector<std::pair<Poly, Poly>> operands{{ones, ones}};
  for (int i = 0; i < 4; ++i) operands.emplace_back(Random(), Random());

  const std::vector<const field::GFKernel*> kernels =
      field::PclmulKernelVariants(n(), GetParam().mid_tap);
  for (const auto& [a, b] : operands) {
    const Poly product = Mul(a, b), power = Exp(a, b), x_power = Exp(x, b);
    // The portable path, through the field's public operations.
    cpu::ForcePortable(true);
    Poly r(a.size());
    f().Mul(r.data(), a.data(), b.data());
    EXPECT_EQ(r, product);
    std::vector<std::uint32_t> ew(f().Words()), aw(f().Words()), rw(f().Words());
    f().ToWords(b.data(), ew.data());
    f().ToWords(a.data(), aw.data());
    field::PowerWords(f(), ew.data(), aw.data(), rw.data());
    f().FromWords(rw.data(), r.data());
    EXPECT_EQ(r, power);
    field::PowerOfXWords(f(), ew.data(), rw.data());
    f().FromWords(rw.data(), r.data());
    EXPECT_EQ(r, x_power);
    cpu::ForcePortable(false);
    // Every kernel this processor can run.
    for (std::size_t k = 0; k < kernels.size(); ++k) {
      kernels[k]->mul(r.data(), a.data(), b.data());
      EXPECT_EQ(r, product) << "kernel " << k;
      kernels[k]->power(r.data(), a.data(), b.data(), b.size());
      EXPECT_EQ(r, power) << "kernel " << k;
      kernels[k]->x_power(r.data(), b.data(), b.size());
      EXPECT_EQ(r, x_power) << "kernel " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllSizes, AgainstOpenSsl, ::testing::ValuesIn(kGeneratorSizeTable),
                         [](const auto& info) { return "n" + std::to_string(info.param.length); });

}  // namespace
}  // namespace nimbra::engine
