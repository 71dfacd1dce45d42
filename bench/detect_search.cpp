// The file readers' search of a whole drive (every client file pattern, one
// walk), beside the host's `find -iname eudora.ini` over the same drive, the
// least a user would run to look for one client. `find` runs as a process of
// its own, so its figure is the whole run less the start of an empty process
// measured in the same iteration.
//
// The drive: 20 folders x 10 subfolders x 100 folders = 20,000 folders of 10
// files each (200,000 files), with one client file in every 2,000th folder.
//
// The "Cold" pair empties the kernel's page, directory and inode caches before
// every iteration (needs the right to write /proc/sys/vm/drop_caches; they are
// skipped without it), so both sides read the folders from the disk.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "detect/client_files.h"
#include "testsupport/run_program.h"
#include "testsupport/test_machine.h"

namespace {

using nimbra::testsupport::RunCommand;
using nimbra::testsupport::ShellQuote;
using nimbra::testsupport::TestMachine;

constexpr const char* kClientNames[] = {"Eudora.ini", "PMail.INI", "Connect.ini",
                                        "prefs.js",   "Jo.box",    "Work.e2k"};

TestMachine& Drive() {
  static const std::unique_ptr<TestMachine> machine = [] {
    auto m = std::make_unique<TestMachine>();
    const auto root = m->Root() / "drive_c" / "Data";
    int folder = 0;
    for (int a = 0; a < 20; ++a) {
      for (int b = 0; b < 10; ++b) {
        for (int c = 0; c < 100; ++c, ++folder) {
          const auto dir = root / ("Folder " + std::to_string(a)) / ("Sub" + std::to_string(b)) /
                           ("Leaf" + std::to_string(c));
          std::filesystem::create_directories(dir);
          for (int f = 0; f < 10; ++f) {
            const bool client = f == 0 && folder % 2000 == 0;
            const std::string name =
                client ? kClientNames[(folder / 2000) % 6] : "Note " + std::to_string(f) + ".txt";
            std::ofstream(dir / name) << "x";
          }
        }
      }
    }
    return m;
  }();
  return *machine;
}

double Seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool DropCaches() {
  ::sync();
  std::ofstream control("/proc/sys/vm/drop_caches");
  control << "3\n";
  control.flush();
  return static_cast<bool>(control);
}

// Empties the caches when the benchmark is a cold one; false when it cannot.
bool Prepare(benchmark::State& state, bool cold) {
  if (!cold || DropCaches()) return true;
  state.SkipWithError("cannot write /proc/sys/vm/drop_caches");
  return false;
}

void ClientFileSearch(benchmark::State& state, bool cold) {
  TestMachine& m = Drive();
  std::size_t found = 0;
  for (auto _ : state) {
    if (!Prepare(state, cold)) break;
    const double took = Seconds([&] {
      const nimbra::detect::ClientFiles files = nimbra::detect::FindClientFiles(*m, "C:\\");
      found = 0;
      for (const auto& kind : files.byKind) found += kind.size();
    });
    state.SetIterationTime(took);
  }
  state.counters["found"] = static_cast<double>(found);
  state.SetLabel("every client file pattern, one walk of drive C:, in this process");
}
BENCHMARK_CAPTURE(ClientFileSearch, Warm, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ClientFileSearch, Cold, true)->UseManualTime()->Unit(benchmark::kMillisecond);

void HostFindEudora(benchmark::State& state, bool cold) {
  TestMachine& m = Drive();
  const std::string command =
      "find " + ShellQuote((m.Root() / "drive_c").string()) + " -iname eudora.ini";
  std::size_t found = 0;
  for (auto _ : state) {
    if (!Prepare(state, cold)) break;
    const double empty = Seconds([] { RunCommand("true"); });
    const double whole = Seconds([&] {
      const std::string out = RunCommand(command).out;
      found = static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
    });
    state.SetIterationTime(std::max(whole - empty, 0.0));
  }
  state.counters["found"] = static_cast<double>(found);
  state.SetLabel("host find -iname eudora.ini over drive C:, less an empty process start");
}
BENCHMARK_CAPTURE(HostFindEudora, Warm, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HostFindEudora, Cold, true)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
