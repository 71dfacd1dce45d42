#include "testsupport/test_machine.h"

#include <system_error>

#include "platform/files/path.h"
#include "platform/registry/registry.h"

namespace nimbra::testsupport {

using namespace platform;

namespace fs = std::filesystem;

namespace {

MachineOptions TestOptions() {
  MachineOptions options;
  options.user_name = "tester";
  options.computer_name = "TESTPC";
  return options;
}

// Splits "HKLM\Software\X" into its root and the path below it.
std::pair<RootKey, std::string> SplitKeyName(std::string_view key) {
  const std::size_t slash = key.find('\\');
  const std::optional<RootKey> root = ParseRootKey(key.substr(0, slash));
  if (!root) throw MachineError("Not a registry key name: " + std::string(key));
  return {*root,
          slash == std::string_view::npos ? std::string() : std::string(key.substr(slash + 1))};
}

RegKey OpenForWrite(Machine& machine, std::string_view key) {
  const auto [root, path] = SplitKeyName(key);
  return *machine.Reg().OpenKey(root, path, true);
}

}  // namespace

TestMachine::TestMachine() : TestMachine(TestOptions()) {}

TestMachine::TestMachine(const MachineOptions& options)
    : temp_root_("nimbra-machine"), machine_(Machine::Create(temp_root_ / "machine", options)) {}

TestMachine::~TestMachine() = default;

fs::path TestMachine::AddDrive(char letter, DriveType type, std::string_view label,
                               std::string_view remote_name) {
  const fs::path dir =
      Root() / ("drive_" + std::string(1, static_cast<char>(std::tolower(letter))));
  machine_.AddDrive(letter, dir, type, label, remote_name);
  machine_.Save();
  return dir;
}

void TestMachine::SaveState(const fs::path& to) const {
  fs::copy(Root(), to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

void TestMachine::RestoreState(const fs::path& from) {
  const fs::path root = Root();
  for (const auto& entry : fs::directory_iterator(root)) fs::remove_all(entry.path());
  for (const auto& entry : fs::directory_iterator(from)) {
    fs::copy(entry.path(), root / entry.path().filename(),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
  machine_ = Machine::Open(root);
}

void TestMachine::PutDirectory(std::string_view windows_path) {
  if (!machine_.ForceDirectories(windows_path)) {
    throw MachineError("Cannot create folder " + std::string(windows_path));
  }
}

void TestMachine::PutFile(std::string_view windows_path, std::string_view content) {
  const std::string full = machine_.FullPath(windows_path);
  PutDirectory(ExtractFilePath(full));
  machine_.WriteFile(full, content);
}

std::string TestMachine::ReadFile(std::string_view windows_path) const {
  return machine_.ReadFile(windows_path);
}

void TestMachine::SetString(std::string_view key, std::string_view name, std::string_view value) {
  OpenForWrite(machine_, key).WriteString(name, value);
  machine_.Save();
}

void TestMachine::SetExpandString(std::string_view key, std::string_view name,
                                  std::string_view value) {
  OpenForWrite(machine_, key).WriteExpandString(name, value);
  machine_.Save();
}

void TestMachine::SetMultiString(std::string_view key, std::string_view name,
                                 const std::vector<std::string>& values) {
  OpenForWrite(machine_, key).WriteMultiString(name, values);
  machine_.Save();
}

void TestMachine::SetDword(std::string_view key, std::string_view name, std::uint32_t value) {
  OpenForWrite(machine_, key).WriteInteger(name, static_cast<std::int32_t>(value));
  machine_.Save();
}

}  // namespace nimbra::testsupport
