// What an uninstall removes after the journal's records: the hosts lines,
// the data, the rights check's values and the folders; and files in use.

#include "core/strings.h"
#include "detect/client_restore.h"
#include "platform/files/path.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/reg_text.h"
#include "platform/registry/registry.h"
#include "setup/install_ops.h"
#include "setup/uninstall.h"

namespace nimbra::setup {

namespace {

using platform::RootKey;

constexpr const char* kSessionManager = "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::string Folded(const std::string& text) {
  return AnsiUpperCase(text);
}

}  // namespace

void Uninstaller::RemoveHostsLines() {
  const std::string hosts = machine_.HostsFilePath();
  if (!machine_.FileExists(hosts)) return;
  const std::string text = machine_.ReadFile(hosts);
  int removed = 0;
  const std::string kept = detect::WithoutQuickrouteLines(text, &removed);
  if (removed == 0) return;
  machine_.WriteFile(hosts, kept);
  Report("removed", hosts, std::to_string(removed) + " Quickroute line(s)");
}

bool Uninstaller::RemoveFile(const std::string& path) {
  if (machine_.DeleteFile(path)) return true;
  if (!machine_.FileExists(path)) return true;
  ScheduleRemoval(path);
  Report("removed at the next start", path, "it is in use");
  return false;
}

// As Windows keeps them: pairs of "\??\<path>" and the new name, an empty
// one for a removal.
void Uninstaller::ScheduleRemoval(const std::string& path) {
  const auto key = machine_.Reg().OpenKey(RootKey::LocalMachine, kSessionManager, true);
  constexpr const char* kName = "PendingFileRenameOperations";
  std::vector<std::uint8_t> data;
  if (key->ValueExists(kName)) {
    data = key->ReadRaw(kName).data;
    if (data.size() >= 2) data.resize(data.size() - 2);  // the list's closing NUL
  }
  const auto add = [&](const std::string& text) {
    const auto bytes = platform::reg::Utf16Bytes(platform::reg::AnsiToUtf16(text), true);
    data.insert(data.end(), bytes.begin(), bytes.end());
  };
  add("\\??\\" + path);
  add("");
  data.push_back(0);
  data.push_back(0);
  key->WriteRaw(kName, {platform::RegType::MultiString, data});
}

void Uninstaller::RemoveData() {
  const std::string ws = program_ + "WS.INI";
  if (keepData_) {
    if (!data_.empty() && machine_.DirectoryExists(data_)) {
      Report("kept", data_, "the data location stays (--keep-data)");
    }
    if (machine_.FileExists(ws)) Report("kept", ws, "the account records stay (--keep-data)");
    return;
  }
  const auto createdFolder = [&](const std::string& folder) {
    for (const JournalRecord& r : records_) {
      if (r.op == "FOLDER" && r.state != 2 && !r.fields.empty() &&
          AnsiSameText(platform::WithTrailingBackslash(r.fields[0]), folder))
        return true;
    }
    return false;
  };
  if (!data_.empty() && machine_.DirectoryExists(data_)) {
    if (createdFolder(data_)) {
      RemoveTree(data_);
    } else {
      for (const JournalRecord& r : records_) {
        if (r.op == "USERSFILE" && !r.fields.empty() && machine_.FileExists(r.fields[0]) &&
            RemoveFile(r.fields[0]))
          Report("removed", r.fields[0]);
      }
    }
  }
  // WS.INI is the product's own file: its account records go with the data.
  if (machine_.FileExists(ws) && RemoveFile(ws)) Report("removed", ws);
}

// An INI file the installation created and whose keys all went again.
void Uninstaller::RemoveEmptyIniFiles() {
  for (const JournalRecord& r : records_) {
    if (r.op != "INI" || r.fields.empty() || !iniCreated_.count(Folded(r.fields[0]))) continue;
    const std::string& file = r.fields[0];
    iniCreated_.erase(Folded(file));
    if (keepData_ && InDataLocation(file)) continue;
    const auto host = machine_.HostPath(file);
    if (!host || !machine_.FileExists(file)) continue;
    platform::ProfileFile ini(*host);
    bool empty = true;
    for (const std::string& section : ini.SectionNames())
      empty = empty && ini.KeyNames(section).empty();
    if (empty && RemoveFile(file)) Report("removed", file);
  }
}

void Uninstaller::RemoveTree(const std::string& folder) {
  int files = 0;
  for (const platform::DirEntry& entry : machine_.ListDirectory(folder)) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string path = folder + entry.name;
    if (entry.is_directory) {
      RemoveTree(path + "\\");
    } else if (RemoveFile(path)) {
      ++files;
    }
  }
  if (machine_.RemoveDirectory(folder)) {
    Report("removed", folder, std::to_string(files) + " file(s) of the data location");
  }
}

// The wizard's check of its rights writes an empty default value into two
// keys before any installation step runs: what is left of them goes.
void Uninstaller::RemoveRightsCheckValues() {
  const std::pair<RootKey, const char*> keys[] = {
      {RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
      {RootKey::ClassesRoot, "\\*\\shellex\\ContextMenuHandlers\\NimbraPostDesktopMenu"},
  };
  platform::Registry& reg = machine_.Reg();
  for (const auto& [root, path] : keys) {
    const auto key = reg.OpenKey(root, path, false);
    if (!key) continue;
    if (key->ValueExists("")) {
      if (!key->ReadString("").empty()) continue;
      key->DeleteValue("");
    }
    if (!key->ValueNames().empty() || key->HasSubkeys()) continue;
    // The keys above, made with it when they were missing, go while they
    // hold nothing.
    for (std::string at = path; !at.empty() && at != "\\"; at = platform::ExtractFileDir(at)) {
      const auto k = reg.OpenKey(root, at, false);
      if (!k || !k->ValueNames().empty() || k->HasSubkeys()) break;
      reg.DeleteKey(root, at);
    }
  }
}

void Uninstaller::RemoveFolders() {
  const std::string journal = program_ + std::string(InstallJournal::kFileName);
  std::vector<std::string> folders;
  for (std::size_t i = records_.size(); i-- > 0;) {
    const JournalRecord& r = records_[i];
    if (r.op == "FOLDER" && r.state != 2 && !r.fields.empty()) folders.push_back(r.fields[0]);
  }
  // The program location, made before the first step (its WS.INI is written
  // by the search), goes too when nothing but the journal is left in it.
  folders.push_back(program_);
  for (const std::string& name : folders) {
    const std::string folder = platform::WithTrailingBackslash(name);
    if (!machine_.DirectoryExists(folder)) continue;
    if (keepData_ && InDataLocation(folder)) continue;
    if (AnsiSameText(folder, program_) && machine_.ListDirectory(folder).size() <= 1 &&
        machine_.FileExists(journal)) {
      // The journal is the last of the installation there: it goes with its folder.
      machine_.DeleteFile(journal);
    }
    if (machine_.RemoveDirectory(folder)) {
      Report("removed", folder);
    } else if (keepData_ && !data_.empty() && StartsText(data_, folder)) {
      Report("kept", folder, "it holds the data kept");
    } else if (AnsiSameText(folder, program_ + std::string(InstallOps::kReplacedFolder) + "\\")) {
      Report("kept", folder, "it holds what files the installation replaced held before");
    } else {
      Report("kept", folder, "it holds files the installation did not make");
    }
  }
  // A program location that was there before the installation stays with
  // the files of others, but without the journal once nothing of the
  // installation is kept that a later run should still recognise.
  if (machine_.FileExists(journal) && !machine_.FileExists(program_ + "WS.INI") &&
      (data_.empty() || !machine_.DirectoryExists(data_)))
    machine_.DeleteFile(journal);
}

}  // namespace nimbra::setup
