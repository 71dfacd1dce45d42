// An uninstall driven by a damaged or hostile journal: whatever the journal
// says, the uninstall ends with a status or a clear error, never a fault; it
// touches nothing outside the machine's own folder; and a second run after
// it is harmless too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "setup/answer_ui.h"
#include "setup/uninstall_command.h"
#include "testsupport/test_machine.h"

namespace {

constexpr const char* kProgram = "C:\\Program Files\\NimbraPost\\";
constexpr std::string_view kCanaryText = "not the machine's";

// Whether the file beside the machine's folder still holds what it did.
bool Intact(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str() == kCanaryText;
}

void Uninstall(nimbra::platform::Machine& machine, nimbra::setup::DataChoice data) {
  nimbra::setup::AnswerFileUi ui("[Answers]\r\nRemoveDataFiles=Yes\r\n");
  std::ostringstream out;
  try {
    nimbra::setup::RunUninstallCommand(machine, ui, data, out);
  } catch (const std::exception&) {
    // A clear error is an acceptable end; a fault is not.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using nimbra::setup::DataChoice;
  if (size == 0) return 0;
  nimbra::testsupport::TestMachine m;
  // Beside the machine's folder, where "C:\\..\\..\\" would lead if a path
  // could leave it.
  const auto canary = m.Root().parent_path() / "canary.txt";
  std::ofstream(canary, std::ios::binary) << kCanaryText;
  // What an installation might have left: its files, a data location, a
  // kept copy and a file it replaced.
  m.PutFile(std::string(kProgram) + "Nimbra.exe", "program");
  m.PutFile(std::string(kProgram) + "WS.INI", "[WORKSTATION]\r\nUsersFile=C:\\Data\\Users.ini\r\n");
  m.PutFile("C:\\Data\\Users.ini", "[Users]\r\n");
  m.PutFile(std::string(kProgram) + "Replaced\\0a1b2c3d4e5f60718293a4b5c6d7e8f901234567", "old");
  m.PutFile("C:\\windows\\NimbraPost.ini", "[Mine]\r\n");
  m.SetString("HKLM\\Software\\NimbraPost\\Current Version", "InstallDir", kProgram);
  const DataChoice choice = data[0] % 3 == 0   ? DataChoice::Keep
                            : data[0] % 3 == 1 ? DataChoice::Ask
                                               : DataChoice::KeepUnasked;
  m.PutFile(std::string(kProgram) + "Install.jnl",
            std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  Uninstall(*m, choice);
  Uninstall(*m, choice);
  if (!Intact(canary)) std::abort();
  return 0;
}
