// Field exponentiation at n = 607 and 1279: the engine's carry-less-multiply
// arithmetic, OpenSSL's BN_GF2m_mod_exp_arr on the same trinomial field with
// the same exponent and base, and the register-clocked algorithm.

#include <benchmark/benchmark.h>
#include <openssl/bn.h>

#include <random>
#include <vector>

#include "engine/field/clmul.h"
#include "engine/field/gf_expo.h"
#include "engine/tests/gf_literal.h"

namespace {

using nimbra::engine::field::GFField;
using Words = std::vector<std::uint32_t>;

int MidTap(int n) {
  return n == 607 ? 273 : 418;
}

struct Operands {
  Words exponent, base;
};

Operands MakeOperands(int n) {
  std::mt19937_64 rng(static_cast<std::uint64_t>(n));
  return {nimbra::engine::literal::Random(n, rng), nimbra::engine::literal::Random(n, rng)};
}

// The polynomial (or exponent) held in field-layout words, as a BIGNUM.
BIGNUM* ToBignum(const GFField& f, const Words& words) {
  nimbra::engine::field::Poly p(f.Limbs());
  f.FromWords(words.data(), p.data());
  return BN_lebin2bn(reinterpret_cast<const unsigned char*>(p.data()),
                     static_cast<int>(p.size() * 8), nullptr);
}

void BM_Square(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto& f = GFField::For(n, MidTap(n));
  nimbra::engine::field::Poly a(f.Limbs(), 0x9E3779B97F4A7C15ull);
  a.back() &= 1;
  for (auto _ : state) {
    f.Sqr(a.data(), a.data());
    benchmark::DoNotOptimize(a.data());
  }
  state.SetLabel(nimbra::engine::field::ClmulProvider());
}

void BM_Multiply(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto& f = GFField::For(n, MidTap(n));
  nimbra::engine::field::Poly a(f.Limbs(), 0x9E3779B97F4A7C15ull),
      b(f.Limbs(), 0x0123456789ABCDEFull);
  a.back() &= 1;
  b.back() &= 1;
  for (auto _ : state) {
    f.Mul(a.data(), a.data(), b.data());
    benchmark::DoNotOptimize(a.data());
  }
}

void BM_PowerOfX_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto& f = GFField::For(n, MidTap(n));
  const Operands ops = MakeOperands(n);
  Words r(f.Words());
  for (auto _ : state) {
    nimbra::engine::field::PowerOfXWords(f, ops.exponent.data(), r.data());
    benchmark::DoNotOptimize(r.data());
  }
}

void BM_Power_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto& f = GFField::For(n, MidTap(n));
  const Operands ops = MakeOperands(n);
  Words r(f.Words());
  for (auto _ : state) {
    nimbra::engine::field::PowerWords(f, ops.exponent.data(), ops.base.data(), r.data());
    benchmark::DoNotOptimize(r.data());
  }
}

void OpenSslExp(benchmark::State& state, bool base_x) {
  const int n = static_cast<int>(state.range(0));
  const auto& f = GFField::For(n, MidTap(n));
  const Operands ops = MakeOperands(n);
  const int poly[] = {n, n - MidTap(n), 0, -1};
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* e = ToBignum(f, ops.exponent);
  BIGNUM* b = base_x ? BN_new() : ToBignum(f, ops.base);
  if (base_x) BN_set_bit(b, 1);
  BIGNUM* r = BN_new();
  for (auto _ : state) {
    BN_GF2m_mod_exp_arr(r, b, e, poly, ctx);
    benchmark::DoNotOptimize(r);
  }
  BN_free(r);
  BN_free(b);
  BN_free(e);
  BN_CTX_free(ctx);
}

void BM_PowerOfX_OpenSSL(benchmark::State& state) {
  OpenSslExp(state, true);
}
void BM_Power_OpenSSL(benchmark::State& state) {
  OpenSslExp(state, false);
}

void BM_PowerOfX_Literal(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Operands ops = MakeOperands(n);
  for (auto _ : state) {
    benchmark::DoNotOptimize(nimbra::engine::literal::PowerOfX(n, MidTap(n), ops.exponent));
  }
}

void BM_Power_Literal(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Operands ops = MakeOperands(n);
  for (auto _ : state) {
    benchmark::DoNotOptimize(nimbra::engine::literal::Power(n, MidTap(n), ops.exponent, ops.base));
  }
}

}  // namespace

BENCHMARK(BM_Square)->Arg(607)->Arg(1279);
BENCHMARK(BM_Multiply)->Arg(607)->Arg(1279);
BENCHMARK(BM_PowerOfX_Engine)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerOfX_OpenSSL)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerOfX_Literal)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Power_Engine)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Power_OpenSSL)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Power_Literal)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
