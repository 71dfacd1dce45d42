// Finding files by wildcard on a machine drive, beside the host's
// `find -iname` over the same tree.
//
// The tree: 20 folders x 20 subfolders x 50 files = 20,000 files, one in 50
// named "*.ini" in varying case, so each search returns 400 paths.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "testsupport/test_machine.h"

namespace {

using nimbra::testsupport::TestMachine;

TestMachine& Tree() {
  static const std::unique_ptr<TestMachine> machine = [] {
    auto m = std::make_unique<TestMachine>();
    const auto root = m->Root() / "drive_c" / "tree";
    for (int a = 0; a < 20; ++a) {
      for (int b = 0; b < 20; ++b) {
        const auto dir = root / ("Folder " + std::to_string(a)) / ("Sub" + std::to_string(b));
        std::filesystem::create_directories(dir);
        for (int f = 0; f < 50; ++f) {
          const std::string name = f == 0  ? (b % 2 ? "Eudora.INI" : "eudora.ini")
                                   : f % 2 ? "mail" + std::to_string(f) + ".box"
                                           : "Note " + std::to_string(f) + ".txt";
          std::ofstream(dir / name) << "x";
        }
      }
    }
    return m;
  }();
  return *machine;
}

void BM_MachineFindFiles(benchmark::State& state) {
  TestMachine& m = Tree();
  std::size_t found = 0;
  for (auto _ : state) {
    found = m->FindFiles("C:\\tree", "*.ini").size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_MachineFindFiles)->Unit(benchmark::kMillisecond);

void BM_HostFindIname(benchmark::State& state) {
  TestMachine& m = Tree();
  const std::string command =
      "find '" + (m.Root() / "drive_c" / "tree").string() + "' -type f -iname '*.ini'";
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    FILE* pipe = ::popen(command.c_str(), "r");
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) ++found;
    ::pclose(pipe);
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_HostFindIname)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
