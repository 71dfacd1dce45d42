// The fast field arithmetic against the register-clocked algorithms, for
// every register size of the table.

#include <gtest/gtest.h>

#include <random>

#include "engine/cpu_features.h"
#include "engine/field/gf_expo.h"
#include "engine/field/gf_kernel.h"
#include "engine/keystream/generator_sizes.h"
#include "engine/tests/gf_literal.h"

namespace nimbra::engine {
namespace {

using literal::Words;

class FieldBySize : public ::testing::TestWithParam<GeneratorSizeInfo> {
 protected:
  int n() const { return GetParam().length; }
  int m() const { return GetParam().mid_tap; }
  const field::GFField& f() const { return field::GFField::For(n(), m()); }
  std::mt19937_64 rng{static_cast<std::uint64_t>(GetParam().length)};
};

TEST_P(FieldBySize, ClockedRegisterStepsLikeTheEngineRegister) {
  // Partial steps, whole words, a step that is both, and long runs: the
  // word-shifting register the baseline is built on must agree bit for bit.
  const Words a = literal::Random(n(), rng);
  TShiftReg reg(n(), m());
  reg.LoadStateBuffer(a.data());
  literal::ClockedRegister clocked(n(), m());
  clocked.Load(a.data());
  for (int k : {1, 31, 32, 33, 70, 5, n(), 1000, 4096}) {
    reg.Clock(k);
    clocked.Clock(k);
    ASSERT_EQ(clocked.StateWords(), literal::StateWords(reg)) << "after " << k;
    ASSERT_EQ(clocked.Window(n()), reg.OutputWindow());
    ASSERT_EQ(clocked.Window(m()), reg.TapWindow());
  }
}

TEST_P(FieldBySize, MultiplyMatchesRegisterClocking) {
  for (bool portable : {false, true}) {
    cpu::ForcePortable(portable);
    for (int i = 0; i < 4; ++i) {
      const Words a = literal::Random(n(), rng), b = literal::Random(n(), rng);
      Words r(a.size());
      field::MultiplyWords(f(), r.data(), a.data(), b.data());
      EXPECT_EQ(r, literal::Multiply(n(), m(), a, b)) << "portable=" << portable;
    }
  }
  cpu::ForcePortable(false);
}

TEST_P(FieldBySize, KernelOperationsMatchThePortablePath) {
  // All-ones operands give products of the highest degree, which take every
  // fold of the reduction; random ones cover the rest.
  field::Poly ones(f().Limbs(), ~0ull);
  const int top = n() - 64 * (static_cast<int>(f().Limbs()) - 1);
  if (top < 64) ones.back() = (1ull << top) - 1;
  std::vector<field::Poly> inputs{ones};
  for (int i = 0; i < 3; ++i) {
    field::Poly p(f().Limbs());
    for (auto& limb : p) limb = rng();
    if (top < 64) p.back() &= (1ull << top) - 1;
    inputs.push_back(p);
  }
  // The field's operations by the portable path, then by every kernel this
  // processor can run (they square, shift and multiply on registers of
  // different widths).
  auto run = [&](const field::GFKernel* kernel) {
    cpu::ForcePortable(kernel == nullptr);
    std::vector<field::Poly> out;
    for (const auto& a : inputs) {
      for (int count : {1, 7}) {
        field::Poly r(f().Limbs());
        if (kernel != nullptr)
          kernel->sqr_times(r.data(), a.data(), count);
        else
          f().SqrTimes(r.data(), a.data(), count);
        out.push_back(r);
      }
      field::Poly r(f().Limbs());
      for (unsigned u : {1u, 37u, 63u}) {
        if (kernel != nullptr)
          kernel->mul_x(r.data(), a.data(), u);
        else
          f().MulXPower(r.data(), a.data(), u);
        out.push_back(r);
      }
      for (const field::Poly* b : {&ones, &inputs.back()}) {
        if (kernel != nullptr)
          kernel->mul(r.data(), a.data(), b->data());
        else
          f().Mul(r.data(), a.data(), b->data());
        out.push_back(r);
        // a^b, the operand read as an exponent.
        if (kernel != nullptr) {
          kernel->power(r.data(), a.data(), b->data(), b->size());
        } else {
          Words ew(f().Words()), aw(f().Words()), rw(f().Words());
          f().ToWords(b->data(), ew.data());
          f().ToWords(a.data(), aw.data());
          field::PowerWords(f(), ew.data(), aw.data(), rw.data());
          f().FromWords(rw.data(), r.data());
        }
        out.push_back(r);
      }
    }
    cpu::ForcePortable(false);
    return out;
  };
  const auto expected = run(nullptr);
  for (const field::GFKernel* kernel : field::PclmulKernelVariants(n(), m()))
    EXPECT_EQ(run(kernel), expected);
}

TEST_P(FieldBySize, PowerOfXMatchesRegisterClocking) {
  std::vector<Words> exponents;
  for (int i = 0; i < 2; ++i) exponents.push_back(literal::Random(n(), rng));
  // Single-chunk exponents (the register is set directly, also past n) and
  // one whose low chunk is zero.
  for (unsigned v :
       {1u, 5u, static_cast<unsigned>(n()) + 3, (1u << field::PowerOfXChunkWidth(n())) - 1}) {
    Words e(literal::WordCount(n()), 0);
    for (int t = 0; t < 16; ++t) {
      if ((v >> t) & 1) {
        const int p = (t + m()) % n();
        e[p >> 5] |= 0x80000000u >> (p & 31);
      }
    }
    exponents.push_back(e);
  }
  Words low_zero = literal::Random(n(), rng);
  for (int t = 0; t < field::PowerOfXChunkWidth(n()); ++t) {
    const int p = (t + m()) % n();
    low_zero[p >> 5] &= ~(0x80000000u >> (p & 31));
  }
  exponents.push_back(low_zero);
  for (const Words& e : exponents) {
    Words r(e.size());
    field::PowerOfXWords(f(), e.data(), r.data());
    EXPECT_EQ(r, literal::PowerOfX(n(), m(), e));
  }
}

TEST_P(FieldBySize, PowerOfXAgreesAcrossTheExponentRange) {
  // The fast x^e splits an exponent between squarings and square roots, or
  // runs it backwards through the reciprocal trinomial; small exponents
  // around n, the top of the range and exponents living in one half only
  // take the edges of both. The portable path is the reference.
  const std::size_t limbs = f().Limbs();
  const int top = n() - 64 * (static_cast<int>(limbs) - 1);
  auto masked = [&](field::Poly e) {
    if (top < 64) e.back() &= (1ull << top) - 1;
    return e;
  };
  auto value = [&](unsigned long long v) {
    field::Poly e(limbs);
    e[0] = v;
    return e;
  };
  const field::Poly ones = masked(field::Poly(limbs, ~0ull));
  field::Poly below_top = ones;
  below_top[0] ^= 1;
  field::Poly random(limbs), low_half(limbs), high_half(limbs);
  for (std::size_t i = 0; i < limbs; ++i) {
    random[i] = rng();
    (64 * i < limbs * 32 ? low_half : high_half)[i] = rng();
  }
  std::vector<field::Poly> exponents{value(0),
                                     value(1),
                                     value(static_cast<unsigned>(n()) - 2),
                                     value(static_cast<unsigned>(n()) - 1),
                                     value(static_cast<unsigned>(n())),
                                     ones,
                                     below_top,
                                     masked(random),
                                     masked(low_half),
                                     masked(high_half)};
  // Every kernel this processor can run: each takes its own route to x^e.
  const std::vector<const field::GFKernel*> kernels = field::PclmulKernelVariants(n(), m());
  for (const field::Poly& e : exponents) {
    Words words(static_cast<std::size_t>(literal::WordCount(n()))), portable(words.size());
    f().ToWords(e.data(), words.data());
    cpu::ForcePortable(true);
    field::PowerOfXWords(f(), words.data(), portable.data());
    cpu::ForcePortable(false);
    for (std::size_t k = 0; k < kernels.size(); ++k) {
      field::Poly r(limbs);
      kernels[k]->x_power(r.data(), e.data(), limbs);
      Words fast(words.size());
      f().ToWords(r.data(), fast.data());
      EXPECT_EQ(fast, portable) << "kernel " << k << ", exponent limb 0 = " << e[0];
    }
  }
  // Exponents of 2^n and beyond: x^(2^n) is x again.
  for (const field::GFKernel* kernel : kernels) {
    for (unsigned long long low : {0ull, 1ull}) {
      field::Poly e(limbs + 1), r(limbs);
      e[0] = low;
      e[static_cast<std::size_t>(n()) / 64] |= 1ull << (n() % 64);
      kernel->x_power(r.data(), e.data(), e.size());
      field::Poly expected(limbs);
      expected[0] = 2ull << low;
      EXPECT_EQ(r, expected);
    }
  }
}

TEST_P(FieldBySize, PowerMatchesRegisterClocking) {
  // The kernel and the portable path each scan the exponent by windows.
  const int rounds = n() > 1000 ? 1 : 2;
  for (int i = 0; i < rounds; ++i) {
    const Words e = literal::Random(n(), rng), b = literal::Random(n(), rng);
    const Words expected = literal::Power(n(), m(), e, b);
    for (bool portable : {false, true}) {
      cpu::ForcePortable(portable);
      Words r(e.size());
      field::PowerWords(f(), e.data(), b.data(), r.data());
      EXPECT_EQ(r, expected) << "portable=" << portable;
    }
    cpu::ForcePortable(false);
  }
}

TEST_P(FieldBySize, ScrambleEqualsMillionRegisterSteps) {
  Words a = literal::Random(n(), rng);
  TShiftReg reg(n(), m());
  reg.LoadStateBuffer(a.data());
  reg.Clock(1000000);
  field::ClockWords(f(), a.data(), 1000000);
  EXPECT_EQ(a, literal::StateWords(reg));
}

TEST_P(FieldBySize, ExponentsCommute) {
  const Words a = literal::Random(n(), rng), k = literal::Random(n(), rng);
  Words xa(a.size()), xk(a.size()), xak(a.size()), xka(a.size());
  field::PowerOfXWords(f(), a.data(), xa.data());
  field::PowerOfXWords(f(), k.data(), xk.data());
  field::PowerWords(f(), k.data(), xa.data(), xak.data());
  field::PowerWords(f(), a.data(), xk.data(), xka.data());
  EXPECT_EQ(xak, xka);
  EXPECT_FALSE(field::IsZeroElement(f(), xak.data()));
}

INSTANTIATE_TEST_SUITE_P(AllSizes, FieldBySize, ::testing::ValuesIn(kGeneratorSizeTable),
                         [](const auto& info) {
                           std::string name = "n";
                           name.append(std::to_string(info.param.length));
                           return name;
                         });

TEST(FieldLayout, PowersOfXKeepTheirValuesOverManyCalls) {
  // A process that computes x^e often moves on to a table after its first
  // thousand calls; the results must not change on the way.
  const field::GFField& f = field::GFField::For(607, 273);
  std::mt19937_64 rng(607);
  for (int i = 0; i < 1100; ++i) {
    const Words e = literal::Random(607, rng);
    Words fast(e.size()), portable(e.size());
    field::PowerOfXWords(f, e.data(), fast.data());
    if (i < 1000 && i % 100 != 0) continue;  // the portable path is slow: sample it before
    cpu::ForcePortable(true);
    field::PowerOfXWords(f, e.data(), portable.data());
    cpu::ForcePortable(false);
    ASSERT_EQ(fast, portable) << "call " << i;
  }
}

TEST(FieldLayout, ClockingPastTheTopFoldsIntoTheTrinomial) {
  // In the (87, 74) field x^87 = x^13 + 1.
  const auto& f = field::GFField::For(87, 74);
  TShiftReg reg(87, 74);
  reg.SetToOne();
  Words one = literal::StateWords(reg);
  reg.Clock(87);
  field::ClockWords(f, one.data(), 87);
  EXPECT_EQ(one, literal::StateWords(reg));
  literal::ClockedRegister clocked(87, 74);
  clocked.SetToOne();
  clocked.Clock(87);
  EXPECT_EQ(one, clocked.StateWords());
  field::Poly p(f.Limbs());
  f.FromWords(one.data(), p.data());
  EXPECT_EQ(p[0], (std::uint64_t{1} << 13) | 1);
  EXPECT_EQ(p[1], 0u);
}

TEST(FieldLayout, PaddingIsIgnoredOnInputAndZeroOnOutput) {
  const auto& f = field::GFField::For(607, 273);
  std::mt19937_64 rng(7);
  Words a = literal::Random(607, rng), b = literal::Random(607, rng), r1(19), r2(19);
  field::MultiplyWords(f, r1.data(), a.data(), b.data());
  a.back() |= 1;  // the one padding bit of a 607-bit array
  b.back() |= 1;
  field::MultiplyWords(f, r2.data(), a.data(), b.data());
  EXPECT_EQ(r1, r2);
  EXPECT_EQ(r1.back() & 1, 0u);
}

}  // namespace
}  // namespace nimbra::engine
