// Loading and saving a registry the size wineboot writes (~45,000 lines),
// next to plain line reading of the same file as the baseline.
//
// The file is generated to resemble a real system.reg (nested keys, strings
// with escapes, dwords, wrapped hex). Set NIMBRA_BENCH_SYSTEM_REG to the
// path of a real one to measure that instead.

#include "platform/registry/registry.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registry/reg_hive.h"
#include "testsupport/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using nimbra::platform::Registry;
using nimbra::platform::RootKey;

std::string GeneratedSystemReg() {
  std::string text =
      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n";
  for (int i = 0; i < 9000; ++i) {
    text += "\n[Software\\\\Classes\\\\CLSID\\\\{" + std::to_string(100000 + i) +
            "-0000-0000-C000-000000000046}\\\\InprocServer32] 1796738663\n"
            "#time=1dd871d07182164\n"
            "@=\"C:\\\\windows\\\\system32\\\\ole32.dll\"\n"
            "\"ThreadingModel\"=\"Both\"\n";
    if (i % 3 == 0) text += "\"Flags\"=dword:0000" + std::to_string(1000 + i % 9000) + "\n";
    if (i % 5 == 0) {
      text +=
          "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
          "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\n";
    }
    if (i % 7 == 0) text += "\"Path\"=str(2):\"%SystemRoot%\\\\system32\\\\x\\xe9.dll\"\n";
  }
  return text;
}

class RegistryFile : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    if (!root_.empty()) return;
    // Removed when the program ends.
    static const nimbra::testsupport::TempFolder folder("nimbra-bench-reg");
    root_ = folder.Path();
    const char* real = std::getenv("NIMBRA_BENCH_SYSTEM_REG");
    if (real) {
      fs::copy_file(real, root_ / "system.reg", fs::copy_options::overwrite_existing);
    } else {
      std::ofstream(root_ / "system.reg", std::ios::binary) << GeneratedSystemReg();
    }
  }
  static fs::path root_;
};
fs::path RegistryFile::root_;

// Baseline: what any reader pays to see the lines at all.
BENCHMARK_F(RegistryFile, PlainLineRead)(benchmark::State& state) {
  std::size_t lines = 0;
  for (auto _ : state) {
    std::ifstream in(root_ / "system.reg", std::ios::binary);
    std::string line;
    lines = 0;
    while (std::getline(in, line)) ++lines;
    benchmark::DoNotOptimize(lines);
  }
  state.counters["lines"] = static_cast<double>(lines);
}

BENCHMARK_F(RegistryFile, Load)(benchmark::State& state) {
  for (auto _ : state) {
    Registry registry(root_);
    benchmark::DoNotOptimize(registry.KeyExists(RootKey::LocalMachine, "Software"));
  }
}

// Load, change one value, save (write, fsync, rename).
BENCHMARK_F(RegistryFile, LoadChangeSave)(benchmark::State& state) {
  int n = 0;
  for (auto _ : state) {
    Registry registry(root_);
    registry.OpenKey(RootKey::LocalMachine, "Software\\NimbraBench", true)
        ->WriteInteger("run", ++n);
    registry.Flush();
  }
}

// Only producing the text of the hive (no disk).
BENCHMARK_F(RegistryFile, WriteText)(benchmark::State& state) {
  Registry registry(root_);
  for (auto _ : state) {
    benchmark::DoNotOptimize(registry.HiveText(RootKey::LocalMachine));
  }
}

}  // namespace

BENCHMARK_MAIN();
