#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"
#include "testsupport/temp_folder.h"

namespace nimbra::testsupport {

// A fresh machine in its own temporary folder (under the system temp
// directory, never the home folder), removed with everything in it when the
// object goes away. Meant as a member of test fixtures of every layer:
//
//   TestMachine m;                                  // NT machine, user "tester"
//   m.AddDrive('D', DriveType::CdRom, "NIMBRA40");
//   m.PutFile("D:\\SETUP\\Script.txt", "[PRODUCT]\r\nRunType=1\r\n");
//   m.SetString("HKCU\\Software\\X", "Name", "value");
//   m->FileExists("d:\\setup\\SCRIPT.TXT");          // the Machine itself
class TestMachine {
 public:
  // Options default to an NT machine with user "tester" and computer
  // "TESTPC".
  TestMachine();
  explicit TestMachine(const platform::MachineOptions& options);
  ~TestMachine();
  TestMachine(const TestMachine&) = delete;
  TestMachine& operator=(const TestMachine&) = delete;

  platform::Machine& machine() { return machine_; }
  platform::Machine* operator->() { return &machine_; }
  platform::Machine& operator*() { return machine_; }
  const std::filesystem::path& Root() const { return machine_.Root(); }

  // Adds a drive whose content lives in "<root>/drive_<letter>" and returns
  // that host folder. A remote drive gets remote_name as its connection
  // ("\\server\share"); empty means none.
  std::filesystem::path AddDrive(char letter, platform::DriveType type, std::string_view label = {},
                                 std::string_view remote_name = {});

  // Writes a file at a Windows path, creating its folders.
  void PutFile(std::string_view windows_path, std::string_view content);
  void PutDirectory(std::string_view windows_path);
  // Reads a file back; FileError when missing.
  std::string ReadFile(std::string_view windows_path) const;

  // Copies the machine's folder (files and saved registry) to `to`, which
  // must not exist yet.
  void SaveState(const std::filesystem::path& to) const;
  // Brings the machine's folder back to a state saved by SaveState and
  // reopens the machine from it: what was changed since, on disk or only in
  // memory, is gone.
  void RestoreState(const std::filesystem::path& from);

  // Registry values under a full key name ("HKLM\...", "HKEY_CURRENT_USER\...",
  // "HKCR\..."), creating the key. Written to the registry files at once.
  void SetString(std::string_view key, std::string_view name, std::string_view value);
  void SetExpandString(std::string_view key, std::string_view name, std::string_view value);
  void SetMultiString(std::string_view key, std::string_view name,
                      const std::vector<std::string>& values);
  void SetDword(std::string_view key, std::string_view name, std::uint32_t value);

 private:
  TempFolder temp_root_;
  platform::Machine machine_;
};

}  // namespace nimbra::testsupport
