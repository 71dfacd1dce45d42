// The unattended installation of the bundled demo, beside copying the demo
// machine (what a fresh machine costs at least: every file read and
// written once). The demo machine is made once by nimbra-machine (beside
// this program in the build folder); each iteration installs on a fresh copy,
// the copy made outside the timed part.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/machine.h"
#include "setup/answer_ui.h"
#include "setup/tsetup_form.h"
#include "setup/unattended.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using nimbra::testsupport::TempFolder;

// The demo machine and its answer file, made once.
struct Demo {
  TempFolder folder{"nimbra-bench-demo"};
  fs::path machine = folder.Path() / "demo";
  std::string answers;
  bool ready = false;

  Demo() {
    const fs::path build = fs::read_symlink("/proc/self/exe").parent_path();
    const auto made = nimbra::testsupport::RunCommand(
        nimbra::testsupport::ShellQuote((build / "nimbra-machine").string()) + " demo " +
        nimbra::testsupport::ShellQuote(machine.string()));
    std::ifstream in(fs::path(NIMBRA_SOURCE_DIR) / "app/nimbra-setup/demo-answers.ini",
                     std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    answers = text.str();
    ready = made.status == 0 && !answers.empty();
  }
};

Demo& TheDemo() {
  static Demo demo;
  return demo;
}

void FreshCopy(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

void BM_InstallDemo(benchmark::State& state) {
  Demo& demo = TheDemo();
  if (!demo.ready) {
    state.SkipWithError("the demo machine could not be made (is nimbra-machine built?)");
    return;
  }
  TempFolder work("nimbra-bench-install");
  const fs::path target = work.Path() / "machine";
  for (auto _ : state) {
    state.PauseTiming();
    FreshCopy(demo.machine, target);
    state.ResumeTiming();
    auto machine = nimbra::platform::Machine::Open(target);
    nimbra::setup::AnswerFileUi ui(demo.answers);
    nimbra::setup::TSetupForm wizard(ui, machine, "D:\\SETUP\\");
    const int code = nimbra::setup::RunUnattended(wizard, ui, nullptr);
    if (code != 0) {
      state.SkipWithError("the installation did not reach Finish");
      break;
    }
    machine.Save();
  }
}
BENCHMARK(BM_InstallDemo)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: a copy of the demo machine (as cp -a makes one).
void BM_CopyDemoMachine(benchmark::State& state) {
  Demo& demo = TheDemo();
  if (!demo.ready) {
    state.SkipWithError("the demo machine could not be made (is nimbra-machine built?)");
    return;
  }
  TempFolder work("nimbra-bench-copy");
  const fs::path target = work.Path() / "machine";
  for (auto _ : state) FreshCopy(demo.machine, target);
}
BENCHMARK(BM_CopyDemoMachine)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
