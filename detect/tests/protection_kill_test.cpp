// A protection run killed at random moments, its file writes slowed down
// so that kills land inside them: every file it writes is left whole.
//
// NIMBRA_KILL_ROUNDS sets the number of kills (default 12).

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

#include "detect/tests/protection_fixture.h"
#include "platform/files/atomic_file.h"
#include "platform/profile/profile_text.h"

namespace nimbra::detect::testing {
namespace {

using Clock = std::chrono::steady_clock;

int KillRounds() {
  const char* text = std::getenv("NIMBRA_KILL_ROUNDS");
  const int rounds = text ? std::atoi(text) : 0;
  return rounds > 0 ? rounds : 12;
}

// An INI file written several times by one run: every key the file held
// before is still there, holding its value from before or from after.
void ExpectIniWhole(const std::string& now, const std::string& before, const std::string& after,
                    const std::string& file) {
  const platform::ProfileText n(now), b(before), a(after);
  for (const std::string& section : b.SectionNames()) {
    for (const std::string& key : b.KeyNames(section)) {
      const auto value = n.ReadRaw(section, key);
      ASSERT_TRUE(value.has_value()) << file << " lost [" << section << "] " << key;
      EXPECT_TRUE(*value == b.ReadRaw(section, key) || *value == a.ReadRaw(section, key))
          << file << " [" << section << "] " << key << "=" << *value;
    }
  }
}

// The hosts file: lines only replaced or added, each whole.
void ExpectHostsWhole(const std::string& now, const std::string& before, const std::string& after) {
  const auto lines = [](const std::string& text) {
    std::vector<std::string> result;
    for (std::size_t at = 0; at < text.size();) {
      const auto end = text.find("\r\n", at);
      result.push_back(text.substr(at, end - at));
      at = end == std::string::npos ? text.size() : end + 2;
    }
    return result;
  };
  const auto n = lines(now), b = lines(before), a = lines(after);
  EXPECT_GE(n.size(), b.size());
  EXPECT_TRUE(now.ends_with("\r\n"));
  for (const std::string& line : n) {
    EXPECT_TRUE(std::find(b.begin(), b.end(), line) != b.end() ||
                std::find(a.begin(), a.end(), line) != a.end())
        << "hosts line " << line;
  }
}

// With port mapping the programs' files change, with Quickroute the hosts
// file does.
class KilledProtection : public ProtectionTest, public ::testing::WithParamInterface<bool> {};

TEST_P(KilledProtection, LeavesEveryFileItWritesWhole) {
  const bool quickroute = GetParam();
  InstallClients();
  Search();
  const std::string wsIni = std::string(kFolder) + "WS.INI";
  const std::string hosts = machine->HostsFilePath();
  // Written once per run: the old or the new file. Written several times:
  // whole, each key or line old or new.
  const std::vector<std::string> once = {kPMailIni, kConnectIni, kPrefsJs, kMailbox};
  const std::vector<std::string> all = {kPMailIni,  kConnectIni, kPrefsJs, kMailbox,
                                        kEudoraIni, wsIni,       hosts};
  std::map<std::string, std::string> before, after;
  for (const std::string& file : all) before[file] = machine.ReadFile(file);
  const auto restore = [&] {
    for (const std::string& file : all) machine.PutFile(file, before[file]);
  };
  const auto start = [&]() {
    const pid_t child = ::fork();
    if (child == 0) {
      platform::InjectWriteDelay(std::chrono::milliseconds(3));
      try {
        Protect(quickroute);
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    return child;
  };
  const auto wait = [](pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
  };

  const auto began = Clock::now();
  ASSERT_EQ(wait(start()), 0);
  const long long span =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - began).count();
  for (const std::string& file : all) after[file] = machine.ReadFile(file);
  EXPECT_NE(after[quickroute ? hosts : kPrefsJs], before[quickroute ? hosts : kPrefsJs]);

  std::mt19937 random(20261209);
  int killed = 0;
  for (int round = 0; round < KillRounds(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    restore();
    const pid_t child = start();
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (span + 1)));
    ::kill(child, SIGKILL);
    if (wait(child) == -SIGKILL) ++killed;
    for (const std::string& file : once) {
      const std::string now = machine.ReadFile(file);
      EXPECT_TRUE(now == before[file] || now == after[file]) << file;
    }
    ExpectIniWhole(machine.ReadFile(kEudoraIni), before[kEudoraIni], after[kEudoraIni], kEudoraIni);
    ExpectIniWhole(machine.ReadFile(wsIni), before[wsIni], after[wsIni], wsIni);
    ExpectHostsWhole(machine.ReadFile(hosts), before[hosts], after[hosts]);
  }
  std::printf("%d kills over protection runs of %lld ms, %d before the run ended\n", KillRounds(),
              span / 1000, killed);
  EXPECT_GT(killed, 0);
}

INSTANTIATE_TEST_SUITE_P(PortMappingAndQuickroute, KilledProtection, ::testing::Bool());

}  // namespace
}  // namespace nimbra::detect::testing
