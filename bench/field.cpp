// Field exponentiation at n = 607 and 1279: the engine's carry-less-multiply
// arithmetic, OpenSSL's BN_GF2m_mod_exp_arr on the same trinomial field with
// the same exponent and base, and the register-clocked algorithm (word-shifted
// register, tables built by clocking, rebuilt on every call). After the runs
// a table gives the engine's speed-up over each of the other two, from the
// best run of each. On a shared machine whose speed drifts, run
// --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true: the
// runs of every benchmark are then spread over the whole session, so a slow
// spell does not fall on one side of a ratio only.
//
// At n = 607 a process's first thousand x^e go through squaring chains and
// later ones through a table of 1.5 MB built by the call that switches. So
// x^e at 607 is reported in four phases, each timed in a fresh process (this
// program run again): the first call, the mean of the first thousand, the
// switching call (the table's build and one x^e), and the steady state after
// the switch (BM_PowerOfX_Engine, warmed up past it).

#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/cpu_features.h"
#include "engine/field/gf_expo.h"
#include "engine/tests/gf_literal.h"
#include "testsupport/run_program.h"

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
  state.SetLabel(nimbra::engine::cpu::Provider(nimbra::engine::cpu::Routine::kFieldKernels));
}

void BM_Multiply_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto& f = GFField::For(n, MidTap(n));
  const Operands ops = MakeOperands(n);
  Words r(f.Words());
  for (auto _ : state) {
    nimbra::engine::field::MultiplyWords(f, r.data(), ops.base.data(), ops.exponent.data());
    benchmark::DoNotOptimize(r.data());
  }
}

// Calls of x^e before the engine switches to the table at n = 607.
constexpr int kCallsBeforeTable = 1000;

void BM_PowerOfX_Engine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto& f = GFField::For(n, MidTap(n));
  const Operands ops = MakeOperands(n);
  Words r(f.Words());
  for (int i = 0; i <= kCallsBeforeTable; ++i)
    nimbra::engine::field::PowerOfXWords(f, ops.exponent.data(), r.data());
  for (auto _ : state) {
    nimbra::engine::field::PowerOfXWords(f, ops.exponent.data(), r.data());
    benchmark::DoNotOptimize(r.data());
  }
  state.SetLabel(n == 607 ? "after the switch to the table" : "");
}

// Seconds of x^e at 607 in a fresh process: the first call, the mean of the
// first thousand, the call that switches to the table (its build included).
struct Phases {
  double first = 0, thousand = 0, switching = 0;
};

const char* const kPhasesFlag = "--x-power-phases";

// The child's side: times the phases and prints them.
int PrintPhases() {
  const auto& f = GFField::For(607, MidTap(607));
  const Operands ops = MakeOperands(607);
  Words r(f.Words());
  using Clock = std::chrono::steady_clock;
  auto call = [&] {
    const auto start = Clock::now();
    nimbra::engine::field::PowerOfXWords(f, ops.exponent.data(), r.data());
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  Phases p;
  p.first = call();
  double total = p.first;
  for (int i = 1; i < kCallsBeforeTable; ++i) total += call();
  p.thousand = total / kCallsBeforeTable;
  p.switching = call();
  std::printf("%.9f %.9f %.9f\n", p.first, p.thousand, p.switching);
  return 0;
}

Phases MeasurePhases(benchmark::State& state) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const auto run =
      nimbra::testsupport::RunCommand(nimbra::testsupport::ShellQuote(self) + " " + kPhasesFlag);
  Phases p;
  if (run.status != 0 ||
      std::sscanf(run.out.c_str(), "%lf %lf %lf", &p.first, &p.thousand, &p.switching) != 3)
    state.SkipWithError("the timing process failed");
  return p;
}

void BM_PowerOfXFirstCall_Engine(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(MeasurePhases(state).first);
  state.SetLabel("a process's first x^e");
}
void BM_PowerOfXFirstThousand_Engine(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(MeasurePhases(state).thousand);
  state.SetLabel("mean of a process's first thousand x^e (chains)");
}
void BM_PowerOfXSwitch_Engine(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(MeasurePhases(state).switching);
  state.SetLabel("the call that switches: the table's build and one x^e");
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

void BM_Multiply_Literal(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Operands ops = MakeOperands(n);
  nimbra::engine::literal::ClockedMultiplier mul(n, MidTap(n));
  Words r(ops.base.size());
  for (auto _ : state) {
    mul.Multiply(r.data(), ops.base.data(), ops.exponent.data());
    benchmark::DoNotOptimize(r.data());
  }
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

// The console output, plus the lowest CPU time per iteration seen for every
// benchmark (over repetitions, or their median when only aggregates are
// reported), keyed by (operation, implementation, n) from
// "BM_<op>_<impl>/<n>" (BM_Square has no implementation part and is left
// out). CPU time (for the phases timed in other processes, the time they
// measured), not wall time: the ratios should depend as
// little as possible on what else the machine is running.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that redirected output stays plain text.
  RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if ((run.run_type != Run::RT_Iteration && !median) || run.error_occurred) continue;
      const std::string& name = run.run_name.function_name;
      const auto under = name.rfind('_');
      if (name.rfind("BM_", 0) != 0 || under < 3 || run.run_name.args.empty()) continue;
      const Key key{name.substr(3, under - 3), name.substr(under + 1),
                    std::atoi(run.run_name.args.c_str())};
      // A phase timed in a process of its own: its measured time.
      const bool manual = run.run_name.time_type == "manual_time";
      const double seconds = (manual ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime()) /
                             benchmark::GetTimeUnitMultiplier(run.time_unit);
      const auto [it, fresh] = best_.emplace(key, seconds);
      if (!fresh) it->second = std::min(it->second, seconds);
    }
  }

  // One line per operation and n that ran for the engine and another side
  // (the phases of x^e against the others' x^e).
  void PrintRatios() const {
    std::printf("\nEngine speed-up (other CPU time / engine CPU time):\n");
    std::printf("%-24s %6s %12s %12s\n", "operation", "n", "vs OpenSSL", "vs literal");
    for (const auto& [key, engine] : best_) {
      const auto& [op, impl, n] = key;
      if (impl != "Engine") continue;
      const std::string other = op.rfind("PowerOfX", 0) == 0 ? "PowerOfX" : op;
      const std::string openssl = Ratio(other, "OpenSSL", n, engine);
      const std::string literal = Ratio(other, "Literal", n, engine);
      if (openssl == "-" && literal == "-") continue;
      std::printf("%-24s %6d %12s %12s\n", op.c_str(), n, openssl.c_str(), literal.c_str());
    }
  }

 private:
  using Key = std::tuple<std::string, std::string, int>;

  std::string Ratio(const std::string& op, const char* impl, int n, double engine) const {
    const auto it = best_.find(Key{op, impl, n});
    if (it == best_.end() || engine <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1fx", it->second / engine);
    return text;
  }

  std::map<Key, double> best_;
};

BENCHMARK(BM_Square)->Arg(607)->Arg(1279);
BENCHMARK(BM_Multiply_Engine)->Arg(607)->Arg(1279);
BENCHMARK(BM_Multiply_Literal)->Arg(607)->Arg(1279);
BENCHMARK(BM_PowerOfX_Engine)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerOfXFirstCall_Engine)
    ->Arg(607)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerOfXFirstThousand_Engine)
    ->Arg(607)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerOfXSwitch_Engine)
    ->Arg(607)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerOfX_OpenSSL)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerOfX_Literal)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Power_Engine)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Power_OpenSSL)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Power_Literal)->Arg(607)->Arg(1279)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == kPhasesFlag) return PrintPhases();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
