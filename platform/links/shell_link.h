#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/links/shell_link_format.h"

namespace nimbra::platform {

class Machine;

// The shell's link object as programs drive it (IShellLinkA with
// IPersistFile): set the properties, then save to a ".lnk" path of the
// machine; or load a link, change it, and save it again (an update in place).
//
// Saving fills in what the shell takes from the target itself: its full
// path as the LinkInfo local path, the drive type, serial number and label
// of its volume, its attributes, size and time stamps (left 0 when the target
// does not exist), and the path of the target relative to the link's folder
// (".\NimbraMGR.exe", "..\x\y.exe") when both lie on the same drive. Strings
// are written as UTF-16 (as NT does). A LinkTargetIDList of a loaded link is
// not written again; the LinkInfo alone resolves the same way.
class ShellLink {
 public:
  explicit ShellLink(Machine& machine) : machine_(machine) {}

  void SetPath(const std::string& path) { link_.local_base_path = path; }
  const std::string& GetPath() const { return link_.local_base_path; }
  void SetDescription(const std::string& text) { link_.description = text; }
  const std::string& GetDescription() const { return link_.description; }
  void SetWorkingDirectory(const std::string& dir) { link_.working_dir = dir; }
  const std::string& GetWorkingDirectory() const { return link_.working_dir; }
  void SetArguments(const std::string& args) { link_.arguments = args; }
  const std::string& GetArguments() const { return link_.arguments; }
  void SetIconLocation(const std::string& path, int index) {
    link_.icon_location = path;
    link_.icon_index = index;
  }
  const std::string& GetIconLocation() const { return link_.icon_location; }
  int GetIconIndex() const { return link_.icon_index; }
  // SW_SHOWNORMAL (1), SW_SHOWMAXIMIZED (3), SW_SHOWMINNOACTIVE (7).
  void SetShowCmd(std::uint32_t show) { link_.show_command = show; }
  std::uint32_t GetShowCmd() const { return link_.show_command; }
  // Low byte the key, high byte the modifiers (1 Shift, 2 Ctrl, 4 Alt).
  void SetHotkey(std::uint16_t key) { link_.hot_key = key; }
  std::uint16_t GetHotkey() const { return link_.hot_key; }
  const std::string& GetRelativePath() const { return link_.relative_path; }

  // IPersistFile::Save; ShellLinkError when the file cannot be written
  // (its folder is missing, it is read-only).
  void Save(const std::string& link_path);
  // IPersistFile::Load; ShellLinkError for a missing or malformed file.
  void Load(const std::string& link_path);

  const ShellLinkFile& Data() const { return link_; }

 private:
  Machine& machine_;
  ShellLinkFile link_;
};

// The target relative to the folder of a link file, as the shell writes it:
// ".\file" in the same folder, "..\" steps up, names compared without regard
// to case; empty when the two lie on different drives or either path is
// not absolute.
std::string RelativeLinkPath(const std::string& link_path, const std::string& target);

// FILETIME (100 ns since 1601-01-01 UTC) of a time point.
std::uint64_t ToFileTime(std::chrono::system_clock::time_point time);

}  // namespace nimbra::platform
