// Runs a libFuzzer target without libFuzzer. Arguments that are files are
// run alone (to reproduce one input). Arguments that are folders are corpora
// (fuzz/corpus/<target>/: seeds and every input that ever crashed): each of
// their files is run, then a fixed series of pseudo-random inputs (printable
// text, binary, and text with line breaks), so that every target is
// exercised under the sanitizers by the ordinary test run.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

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

void RunFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::cerr << "cannot read " << file << "\n";
    std::exit(2);
  }
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(data.data(), data.size());
}

}  // namespace

int main(int argc, char** argv) {
  bool corpus = false;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg = argv[i];
    if (!fs::is_directory(arg)) {
      RunFile(arg);
      ++files;
      continue;
    }
    corpus = true;
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(arg))
      if (entry.is_regular_file()) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) RunFile(entry);
    files += static_cast<int>(entries.size());
  }
  std::cout << "ran " << files << " inputs from files\n";
  if (argc > 1 && !corpus) return 0;
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
