// The wizard program run as an administrator runs it on the demo machine:
// exit status and the one line it prints. Skipped when the programs were not
// built.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const std::string kBin = NIMBRA_BINARY_DIR;
const std::string kAnswers = std::string(NIMBRA_SOURCE_DIR) + "/app/nimbra-setup/demo-answers.ini";

struct Result {
  int status = -1;
  std::string err;  // what the program wrote to its error output
};

Result RunCommand(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1 >/dev/null").c_str(), "r");
  Result r;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.err.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SetupProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kBin + "/nimbra-setup") ||
        !std::filesystem::exists(kBin + "/nimbra-machine"))
      GTEST_SKIP() << "the programs are not built";
    dir_ = std::filesystem::temp_directory_path() /
           ("nimbra-setup-program-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    ASSERT_EQ(RunCommand(kBin + "/nimbra-machine demo '" + Machine() + "'").status, 0);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  std::string Machine() const { return (dir_ / "machine").string(); }
  Result Setup(const std::string& setupDir, const std::string& answers) {
    return RunCommand(kBin + "/nimbra-setup --machine '" + Machine() + "' --setup-dir '" +
                      setupDir + "' --silent --answers '" + answers + "' --log '" +
                      (dir_ / "setup.log").string() + "'");
  }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(SetupProgram, MistypedSetupFolderStopsWithOneLine) {
  const Result r = Setup("D:\\SETPU\\", kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "nimbra-setup: setup folder D:\\SETPU\\ (host " + Machine() +
                       "/drive_d/SETPU) does not exist\n");
}

TEST_F(SetupProgram, MisspeltSectionStopsBeforeTheFirstPage) {
  std::string answers = ReadText(kAnswers);
  answers.replace(answers.find("[TabSheet12]"), 12, "[TabSheet12x]");
  const Result r = Setup("D:\\SETUP\\", Write("misspelt.ini", answers));
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.err, "nimbra-setup: [TabSheet12x] names no page or dialog of the wizard\n");
  EXPECT_EQ(ReadText(dir_ / "setup.log").find("PAGE"), std::string::npos);
}

TEST_F(SetupProgram, DamagedUserHiveIsLoggedAndKeptAside) {
  const std::filesystem::path hive = dir_ / "machine" / "user.reg";
  std::string text = ReadText(hive);
  text.insert(text.find('\n') + 1, "damage\n");
  std::ofstream(hive, std::ios::binary) << text;
  const Result r = Setup("D:\\SETUP\\", kAnswers);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string log = ReadText(dir_ / "setup.log");
  EXPECT_EQ(log.rfind("MESSAGE The registry file " + hive.string() + " is damaged at line 2", 0),
            0u)
      << log;
  EXPECT_NE(log.find("PAGE TabSheet15"), std::string::npos);
  EXPECT_EQ(ReadText(hive.string() + ".damaged"), text);
}

}  // namespace
