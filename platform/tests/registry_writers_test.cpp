// Registry writers as separate processes: nimbra-machine imports running at
// once into one machine, and imports killed at random moments (also with the
// file writes slowed down, so that kills land between the steps of a save).
//
// NIMBRA_KILL_ROUNDS sets the number of kills of each kind (default 12).

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "platform/files/atomic_file.h"
#include "platform/registry/registry.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int KillRounds() {
  const char* text = std::getenv("NIMBRA_KILL_ROUNDS");
  const int rounds = text ? std::atoi(text) : 0;
  return rounds > 0 ? rounds : 12;
}

// A .reg text giving HKLM and HKCU "Software\<key>" the value n = value.
std::string GenerationFile(const std::string& key, int value) {
  char values[32];
  std::snprintf(values, sizeof values, "\"n\"=dword:%08x\r\n", static_cast<unsigned>(value));
  return "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\" + key + "]\r\n" + values +
         "\r\n[HKEY_CURRENT_USER\\Software\\" + key + "]\r\n" + values;
}

// Files a save left behind: temporary files and the record of a commit.
std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".~") != std::string::npos || name == "registry.commit") found.push_back(name);
  }
  return found;
}

class RegistryWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(tool_)) << tool_ << " is not built";
    ASSERT_EQ(testsupport::WaitProgram(testsupport::StartProgram({tool_, "init", Machine()})), 0);
    // Enough keys in both hives that loading and saving them takes a while.
    std::string bulk = "REGEDIT4\r\n";
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
      for (int i = 0; i < 1500; ++i) {
        bulk += "\r\n[" + std::string(root) + "\\Software\\Bulk\\Key" + std::to_string(i) +
                "]\r\n\"text\"=\"" + std::string(40, 'x') + "\"\r\n";
      }
    }
    ASSERT_EQ(Import(RegFile("bulk.reg", bulk)), 0);
    ASSERT_EQ(Import(RegFile("gen.reg", GenerationFile("Gen", 0))), 0);
  }

  std::string Machine() const { return (folder_ / "m").string(); }
  std::string RegFile(const std::string& name, const std::string& text) {
    testsupport::WriteText(folder_ / name, text);
    return (folder_ / name).string();
  }
  pid_t StartImport(const std::string& file) {
    return testsupport::StartProgram({tool_, "reg", "import", Machine(), file});
  }
  int Import(const std::string& file) { return testsupport::WaitProgram(StartImport(file)); }

  // The HKLM and HKCU values of Software\<key> "n", as a fresh reader finds them.
  std::pair<int, int> Generations(const std::string& key) {
    Registry registry(Machine());
    auto read = [&](RootKey root) {
      std::optional<RegKey> k = registry.OpenKey(root, "Software\\" + key, false);
      return k && k->ValueExists("n") ? k->ReadInteger("n") : -1;
    };
    return {read(RootKey::LocalMachine), read(RootKey::CurrentUser)};
  }

  // Kills `rounds` imports of increasing generations at random moments of
  // their run; start(file) starts one. After each kill both hives must hold
  // one generation, and the next, completed import must leave no leftover.
  void KillImports(int rounds, const std::function<pid_t(const std::string&)>& start) {
    // How long one whole import takes (the quickest of three), to spread the
    // kills over its second half.
    const std::string first = RegFile("gen.reg", GenerationFile("Gen", 1));
    long long span = 0;
    for (int i = 0; i < 3; ++i) {
      const auto began = Clock::now();
      ASSERT_EQ(testsupport::WaitProgram(start(first)), 0);
      const long long took =
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - began).count();
      span = i == 0 ? took : std::min(span, took);
    }

    std::mt19937 random(20240611);
    int mixed = 0, leftovers = 0, interrupted = 0, killed = 0;
    for (int round = 0; round < rounds; ++round) {
      const int generation = 2 + 2 * round;
      const pid_t child = start(RegFile("gen.reg", GenerationFile("Gen", generation)));
      // In the second half of the run, where the import is applied and saved.
      std::this_thread::sleep_for(std::chrono::microseconds(span / 2 + random() % (span / 2 + 1)));
      ::kill(child, SIGKILL);
      if (testsupport::WaitProgram(child) == -SIGKILL) ++killed;
      if (!Leftovers(Machine()).empty()) ++interrupted;

      const auto [machine, user] = Generations("Gen");
      if (machine != user || machine < generation - 1) ++mixed;
      EXPECT_EQ(machine, user) << "round " << round;

      ASSERT_EQ(testsupport::WaitProgram(
                    start(RegFile("gen.reg", GenerationFile("Gen", generation + 1)))),
                0);
      if (!Leftovers(Machine()).empty()) ++leftovers;
      EXPECT_EQ(Leftovers(Machine()), std::vector<std::string>{}) << "round " << round;
      EXPECT_EQ(Generations("Gen"), std::make_pair(generation + 1, generation + 1));
    }
    std::printf(
        "%d kills over imports of %lld ms (%d before the import ended, %d inside a save): %d "
        "mixed, %d leftover\n",
        rounds, span / 1000, killed, interrupted, mixed, leftovers);
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(leftovers, 0);
  }

  const std::string tool_ = testsupport::BuiltProgram("nimbra-machine").string();
  testsupport::TempFolder folder_{"nimbra-writers"};
};

TEST_F(RegistryWriters, TwoImportsAtOnceBothLand) {
  int lost = 0;
  for (int round = 1; round <= 10; ++round) {
    const pid_t a = StartImport(RegFile("a.reg", GenerationFile("A", round)));
    const pid_t b = StartImport(RegFile("b.reg", GenerationFile("B", round)));
    EXPECT_EQ(testsupport::WaitProgram(a), 0);
    EXPECT_EQ(testsupport::WaitProgram(b), 0);
    const bool landed = Generations("A") == std::make_pair(round, round) &&
                        Generations("B") == std::make_pair(round, round);
    if (!landed) ++lost;
  }
  EXPECT_EQ(lost, 0) << "rounds of 10 that lost an import";
}

TEST_F(RegistryWriters, KilledImportsLeaveOneGenerationInBothHives) {
  KillImports(KillRounds(), [this](const std::string& file) { return StartImport(file); });
}

TEST_F(RegistryWriters, KilledSlowImportsLeaveOneGenerationInBothHives) {
  // The import of nimbra-machine, in a child whose every file write, flush
  // and rename first waits a few milliseconds.
  const fs::path machine = Machine();
  KillImports(KillRounds(), [machine](const std::string& file) {
    const pid_t child = ::fork();
    if (child == 0) {
      InjectWriteDelay(std::chrono::milliseconds(4));
      try {
        Registry registry(machine);
        ImportRegFile(registry, testsupport::ReadText(file), file);
        registry.Flush();
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    return child;
  });
}

}  // namespace
}  // namespace nimbra::platform
