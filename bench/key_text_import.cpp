// The public-key text import over long texts, beside a plain line split of
// the same text (what reading the text at all costs). Two shapes, each at
// 1x, 2x, 4x and 8x (8x = 10 MB of text, and 100,000 tag lines):
//   text       a mail of filler lines with one key block (10 MB at 8x)
//   tag lines  one block of PKY3 continuation lines (100,000 at 8x)
// Linear growth shows as bytes_per_second staying flat across the sizes.
// Run: build-*/bench_key_text_import
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "keys/key_texts.h"
#include "keys/nimbra_crypto.h"
#include "keys/tests/fake_ui.h"
#include "platform/processes/library.h"
#include "platform/processes/library_search.h"
#include "testsupport/test_machine.h"

namespace {

using namespace nimbra;

std::string FillerText(std::size_t bytes) {
  std::string text = "DARO-VRX-PKYN: Ann\r\nDARO-VRX-PKYR: 1234ABCD\r\n";
  const std::string line = "This is a line of the mail body that carries no tag at all.\r\n";
  while (text.size() < bytes) text += line;
  return text + "DARO-VRX-PKY1: ABC\r\nDARO-VRX-PKY2: AB\r\n";
}

std::string TagLines(std::size_t lines) {
  std::string text = "VRX-PUBLIC-KEY\r\nPKYN:Ann\r\nPKYR:1234ABCD\r\nPKY1:ABC\r\nPKY2:AB\r\n";
  for (std::size_t i = 0; i < lines; ++i) text += "DARO-VRX-PKY3:ABCDEFGHIJKLMNOP\r\n";
  return text + "KEY-END\r\n";
}

// A key component on a fresh machine; the blocks above never reach its
// databases (their letter texts differ in length), so it needs no logon.
struct Component {
  Component()
      : loader(platform::SearchPathFor(*machine, "C:\\"), platform::ResolverFor(*machine)),
        crypto(*machine, ui, loader, "C:\\") {}
  testsupport::TestMachine machine;
  keys::test::FakeUi ui;
  platform::LibraryLoader loader;
  keys::TNimbraMGR crypto;
};

void RunImport(benchmark::State& state, const std::string& text) {
  static Component component;
  for (auto _ : state) {
    component.crypto.ImportKeyText(keys::SplitTextLines(text));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

void RunSplit(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    std::vector<std::string> lines = keys::SplitTextLines(text);
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

constexpr std::size_t kTextUnit = 10 * 1024 * 1024 / 8;
constexpr std::size_t kTagUnit = 100000 / 8;

void BM_ImportText(benchmark::State& state) {
  RunImport(state, FillerText(kTextUnit * std::size_t(state.range(0))));
}
void BM_SplitText(benchmark::State& state) {
  RunSplit(state, FillerText(kTextUnit * std::size_t(state.range(0))));
}
void BM_ImportTagLines(benchmark::State& state) {
  RunImport(state, TagLines(kTagUnit * std::size_t(state.range(0))));
}
void BM_SplitTagLines(benchmark::State& state) {
  RunSplit(state, TagLines(kTagUnit * std::size_t(state.range(0))));
}

BENCHMARK(BM_ImportText)->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitText)->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportTagLines)->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitTagLines)->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
