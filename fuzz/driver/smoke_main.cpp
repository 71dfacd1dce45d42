// Runs a libFuzzer target without libFuzzer: over the files named on the
// command line, or, with none, over a fixed series of pseudo-random inputs
// (printable text, binary, and text with line breaks) so that every target is
// exercised under the sanitizers by the ordinary test run.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> MakeInput(std::mt19937& rng, int round) {
  static const char kText[] = "[]=\"\\,; \r\n\t@#:-0123456789abcdefVRXHKEYhex(2)dword";
  std::uniform_int_distribution<int> length(0, round % 7 == 0 ? 4096 : 256);
  std::vector<std::uint8_t> input(static_cast<std::size_t>(length(rng)));
  for (auto& byte : input) {
    if (round % 3 == 0) {
      byte = static_cast<std::uint8_t>(rng());
    } else {
      byte = static_cast<std::uint8_t>(kText[rng() % (sizeof(kText) - 1)]);
    }
  }
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) {
      std::ifstream in(argv[i], std::ios::binary);
      std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::cout << "ran " << argc - 1 << " inputs\n";
    return 0;
  }
  // At most 2000 inputs and about 20 seconds, whichever comes first: some
  // targets build a whole database per input.
  std::mt19937 rng(20261208);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int round = 0;
  for (; round < 2000 && std::chrono::steady_clock::now() < deadline; ++round) {
    const auto input = MakeInput(rng, round);
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::cout << "ran " << round << " generated inputs\n";
  return 0;
}
