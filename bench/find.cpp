// Finding files by wildcard on a machine drive, beside the host's
// `find -iname` over the same tree. The machine's search runs in this
// process; `find` runs as a process of its own, so its figure is the time of
// the whole run less the start of an empty process (`true`, started the same
// way through the shell) measured in the same iteration. The empty start is
// reported on its own as well. Each benchmark's label says what it times.
//
// The tree: 20 folders x 20 subfolders x 50 files = 20,000 files, one in 50
// named "*.ini" in varying case, so each search returns 400 paths.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "testsupport/run_program.h"
#include "testsupport/test_machine.h"

namespace {

using nimbra::testsupport::RunCommand;
using nimbra::testsupport::ShellQuote;
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
  state.SetLabel("machine FindFiles, in this process");
}
BENCHMARK(BM_MachineFindFiles)->Unit(benchmark::kMillisecond);

double Seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

void BM_HostFindIname(benchmark::State& state) {
  TestMachine& m = Tree();
  const std::string command =
      "find " + ShellQuote((m.Root() / "drive_c" / "tree").string()) + " -type f -iname '*.ini'";
  std::size_t found = 0;
  for (auto _ : state) {
    const double empty = Seconds([] { RunCommand("true"); });
    const double whole = Seconds([&] { found = Lines(RunCommand(command).out); });
    state.SetIterationTime(std::max(whole - empty, 0.0));
  }
  state.counters["found"] = static_cast<double>(found);
  state.SetLabel("host find -iname as a process, less an empty process start");
}
BENCHMARK(BM_HostFindIname)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EmptyProcessStart(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(RunCommand("true").status);
  state.SetLabel("an empty process started as find is (what the line above leaves out)");
}
BENCHMARK(BM_EmptyProcessStart)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
