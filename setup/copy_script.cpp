#include "setup/copy_script.h"

#include "platform/files/path.h"
#include "platform/machine.h"
#include "platform/processes/process.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"
#include "ui/form.h"

namespace nimbra::setup {

std::vector<std::string> ScriptLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    from = end + 1;
  }
  return lines;
}

std::vector<std::string> FilesOfBlock(const std::vector<std::string>& lines, const CopyBlock& block,
                                      bool databaseOnly) {
  std::vector<std::string> files;
  bool copying = false;
  bool inDatabasePart = false;
  for (const auto& line : lines) {
    if (line == kDatabaseOnlyMarker) inDatabasePart = true;
    if (line == block.start) {
      copying = inDatabasePart == databaseOnly;
    } else if (line == block.stop) {
      copying = false;
    } else if (copying) {
      files.push_back(line);
    }
  }
  return files;
}

InstallOps& TSetupForm::Install() {
  if (!installOps_) {
    journal_ = std::make_unique<InstallJournal>(
        machine_, platform::NormalizeLocation(form_->At("SoftwareLocation").text), &ui_);
    installOps_ = std::make_unique<InstallOps>(machine_, *journal_);
  }
  return *installOps_;
}

void TSetupForm::MakeLocations() {
  InstallOps& ops = Install();
  const std::string program = form_->At("SoftwareLocation").text;
  // A location whose tree cannot be made is left as it is; the copy into it
  // then fails file by file.
  ops.CreateFolderTree(program);
  ops.CreateFolderTree(form_->At("DataLocation").text);
  ops.CreateFolderTree(form_->At("SharedDataLocation").text);
  std::vector<std::string> inside = {"Messages"};
  if (settings_.InstallType == 4) inside.push_back("WSClient");
  for (const char* name : {"Temp", "Temp\\Desktop", "Logs", "Utils", "Blocked", "PowerTables"}) {
    inside.push_back(name);
  }
  for (const auto& name : inside) {
    if (!ops.CreateFolder(platform::JoinWindowsPath(program, name))) {
      throw platform::FileError("I/O error 5");
    }
  }
}

void TSetupForm::CopyFileScript() {
  InstallOps& ops = Install();
  ui::Form& f = *form_;
  const std::string setupDir = platform::WithTrailingBackslash(context_->SetupDir());
  // FileError (the file-open error) when the script is missing.
  const auto lines = ScriptLines(machine_.ReadFile(setupDir + settings_.ScriptName));
  const bool databaseOnly = settings_.DatabaseOnly;

  const std::string program = f.At("SoftwareLocation").text;
  settings_.InstallerDir = f.At("WSFilesLocation").text.empty()
                               ? platform::JoinWindowsPath(program, "WSClient\\")
                               : f.At("WSFilesLocation").text;
  const std::string windowsDir = machine_.WindowsDirectory();
  const std::string systemDir = machine_.SystemDirectory();
  const std::pair<const CopyBlock*, std::string> passes[] = {
      {&kProgramBlock, program},
      {&kInstallerBlock, settings_.InstallerDir},
      {&kWindowsBlock, windowsDir},
      {&kSystemBlock, systemDir},
  };
  for (const auto& [block, dest] : passes) {
    for (const auto& name : FilesOfBlock(lines, *block, databaseOnly)) {
      ops.CopyInto(setupDir, name, dest);
    }
  }
  // The profile files never overwrite: each goes to the data location and to
  // the shared data location only where no file of its name is yet.
  for (const auto& name : FilesOfBlock(lines, kProfileBlock, databaseOnly)) {
    for (const char* location : {"DataLocation", "SharedDataLocation"}) {
      const std::string dest = f.At(location).text;
      if (!machine_.FileExists(platform::JoinWindowsPath(dest, name))) {
        ops.CopyInto(setupDir, name, dest);
      }
    }
  }

  // The optional control library registers itself, hidden, without waiting.
  const std::string control = platform::JoinWindowsPath(systemDir, "NIMBRAOCX.ocx");
  if (machine_.FileExists(platform::JoinWindowsPath(systemDir, "NimbraOCX.ocx"))) {
    machine_.SetCurrentDirectory(systemDir);
    const auto shortPath = machine_.ShortPath(control);
    platform::Processes processes(machine_, systemDir);
    const std::string command = "regsvr32.exe /s " + shortPath.value_or(control);
    const bool started =
        processes.CreateProcess({}, command, platform::ShowWindow::Hide, false, systemDir)
            .Started();
    ui_.LogLine("RUN " + command + " -> " + (started ? "started" : "not started"));
  }
}

}  // namespace nimbra::setup
