// The undo of each kind of journal record, and the removals at the end.

#include <cstdlib>

#include "core/strings.h"
#include "detect/account_sections.h"
#include "detect/client_protection.h"
#include "detect/client_restore.h"
#include "platform/files/atomic_file.h"
#include "platform/files/path.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/reg_text.h"
#include "setup/install_ops.h"
#include "setup/uninstall.h"

namespace nimbra::setup {

namespace {

using platform::RootKey;

constexpr const char* kSessionManager = "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

struct KeyPath {
  RootKey root;
  std::string path;
};

// "HKEY_...\path" as the journal names a key.
std::optional<KeyPath> ParseKey(const std::string& name) {
  const std::size_t slash = name.find('\\');
  const auto root = platform::ParseRootKey(name.substr(0, slash));
  if (!root) return std::nullopt;
  return KeyPath{*root, slash == std::string::npos ? std::string() : name.substr(slash + 1)};
}

// "<type>:<hex>" back into a value.
std::optional<platform::RegValue> ParseValue(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0) return std::nullopt;
  platform::RegValue value;
  value.type =
      static_cast<platform::RegType>(std::strtoul(text.substr(0, colon).c_str(), nullptr, 10));
  const std::string hex = text.substr(colon + 1);
  if (hex.size() % 2 != 0) return std::nullopt;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = hex.substr(i, 2);
    const unsigned long byte = std::strtoul(pair.c_str(), &end, 16);
    if (end != pair.c_str() + 2) return std::nullopt;
    value.data.push_back(static_cast<std::uint8_t>(byte));
  }
  return value;
}

std::string Folded(const std::string& text) {
  return AnsiUpperCase(text);
}

// Operations whose undo reaches the disk as it is made: a record marked undone
// is not undone again by a later run. Registry changes reach it only when the
// machine is saved at the end, so a later run looks at those again.
bool UndoneOnDisk(const std::string& op) {
  return op == "COPY" || op == "WRITE" || op == "LINK" || op == "MOVEASIDE" || op == "RENAME" ||
         op == "INI" || op == "INIDELETE";
}

}  // namespace

// The data location as the installation recorded it ("DataDir" of the
// product's key); empty when its journal does not say.
std::string Uninstaller::JournalDataLocation() const {
  std::string found;
  for (const JournalRecord& r : records_) {
    if (r.op != "REGVALUE" || r.state == 2 || r.fields.size() < 3 ||
        !EndsText(r.fields[0], "\\Software\\NimbraPost\\Current Version") ||
        !SameText(r.fields[1], "DataDir"))
      continue;
    const auto value = ParseValue(r.fields[2]);
    if (!value || value->type != platform::RegType::String) continue;
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value->data.size(); i += 2)
      text += static_cast<char16_t>(value->data[i] | (value->data[i + 1] << 8));
    while (!text.empty() && text.back() == 0) text.pop_back();
    found = platform::reg::Utf16ToAnsi(text);
  }
  return found;
}

void Uninstaller::CollectTargets() {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const JournalRecord& r = records_[i];
    const auto& f = r.fields;
    if (r.state == 2) continue;  // a failed operation changed nothing
    const auto target = [&](const std::string& key, const std::string& before) -> Target& {
      auto [it, added] = targets_.try_emplace(key);
      if (added) {
        it->second.first = i;
        it->second.before = before;
      }
      return it->second;
    };
    if (r.op == "COPY" && f.size() >= 3) {
      target("F|" + Folded(f[1]), f[2]);
    } else if (r.op == "WRITE" && f.size() >= 2) {
      target("F|" + Folded(f[0]), f[1]);
    } else if (r.op == "LINK" && f.size() >= 6) {
      target("F|" + Folded(f[0]), f[5]);
    } else if (r.op == "WROTE" && f.size() >= 2) {
      if (auto it = targets_.find("F|" + Folded(f[0])); it != targets_.end()) {
        it->second.after = f[1];
      }
    } else if (r.op == "INI" && f.size() >= 5) {
      Target& t = target("I|" + Folded(f[0]) + "|" + Folded(f[1]) + "|" + Folded(f[2]), f[4]);
      t.after = "=" + f[3];
      if (f.size() > 5 && f[5] == "file-created") iniCreated_.insert(Folded(f[0]));
    } else if (r.op == "REGVALUE" && f.size() >= 5) {
      Target& t = target("R|" + Folded(f[0]) + "|" + Folded(f[1]), f[3]);
      t.after = f[2];
      if (t.first == i) {
        t.created = f[4] == "key-created";
        t.createdFrom = f.size() > 5 ? f[5] : f[0];
      }
    }
  }
}

// The temporary files that killed writes left beside the files the
// installation wrote (and beside the journal, WS.INI, the hosts file and
// the e-mail programs' settings) go first.
void Uninstaller::ClearStaleWrites() {
  std::vector<std::string> files = {program_ + std::string(InstallJournal::kFileName),
                                    program_ + "WS.INI", machine_.HostsFilePath()};
  for (const JournalRecord& r : records_)
    files.insert(files.end(), r.fields.begin(), r.fields.end());
  if (machine_.FileExists(program_ + "WS.INI")) {
    auto ws = detect::WsIniFile(machine_, program_);
    for (const std::string& section : ws.SectionNames()) {
      if (StartsText(section, "UNINSTALL")) files.push_back(ws.ReadString(section, "INIFile", ""));
    }
  }
  for (const std::string& file : files) {
    if (file.size() < 3 || file[1] != ':' || file.find('\n') != std::string::npos) continue;
    if (const auto host = machine_.HostPath(file)) platform::RemoveStaleTempFiles(*host);
  }
  // And beside the registry's files, from a save that was killed.
  for (const char* hive : {"system.reg", "user.reg", "userdef.reg"})
    platform::RemoveStaleTempFiles(machine_.Root() / hive);
}

void Uninstaller::UndoRecord(std::size_t index) {
  const JournalRecord& r = records_[index];
  const auto& f = r.fields;
  if (r.state == 2) return;
  if (!r.undone.empty() && UndoneOnDisk(r.op)) return;
  const auto first = [&](const std::string& key) {
    const auto it = targets_.find(key);
    return it != targets_.end() && it->second.first == index;
  };
  if ((r.op == "COPY" && f.size() >= 3 && first("F|" + Folded(f[1])))) {
    UndoFile(index, f[1]);
  } else if ((r.op == "WRITE" || r.op == "LINK") && !f.empty() && first("F|" + Folded(f[0]))) {
    UndoFile(index, f[0]);
  } else if ((r.op == "MOVEASIDE" || r.op == "RENAME") && f.size() >= 2) {
    UndoMove(f[0], f[1]);
  } else if (r.op == "DELETE" && !f.empty()) {
    // A file the installation made itself and removed again (its temporary
    // copies) is no loss.
    const auto made = targets_.find("F|" + Folded(f[0]));
    const bool own =
        made != targets_.end() && made->second.first < index && made->second.before == "absent";
    if (!own && !machine_.FileExists(f[0])) {
      Report("not restored", f[0], "the installation deleted it");
    }
  } else if (r.op == "INI" && f.size() >= 5 &&
             first("I|" + Folded(f[0]) + "|" + Folded(f[1]) + "|" + Folded(f[2]))) {
    UndoIni(index);
  } else if (r.op == "INIDELETE" && f.size() >= 4) {
    const auto host = machine_.HostPath(f[0]);
    if (host && machine_.FileExists(f[0]) && !(keepData_ && InDataLocation(f[0]))) {
      platform::ProfileFile ini(*host);
      if (!ini.ValueExists(f[1], f[2])) ini.WriteString(f[1], f[2], f[3].substr(1));
    }
  } else if (r.op == "REGVALUE" && f.size() >= 5 &&
             first("R|" + Folded(f[0]) + "|" + Folded(f[1]))) {
    UndoRegValue(index);
  } else if (r.op == "REGKEY" && !f.empty()) {
    UndoRegKey(f[0], f.size() > 1 ? f[1] : f[0]);
  } else if (r.op == "REGVALUEDELETE" && f.size() >= 3) {
    const auto key = ParseKey(f[0]);
    const auto value = ParseValue(f[2]);
    if (key && value) {
      const auto k = machine_.Reg().OpenKey(key->root, key->path, true);
      if (!k->ValueExists(f[1])) k->WriteRaw(f[1], *value);
    }
  } else if (r.op == "REGDELETE" && f.size() >= 2) {
    const auto key = ParseKey(f[0]);
    if (key && !machine_.Reg().KeyExists(key->root, key->path)) {
      platform::ImportRegFile(machine_.Reg(), f[1], "Install.jnl");
      Report("restored", f[0], "the installation had deleted it");
    }
  } else if (r.op == "CLIENT" && !f.empty()) {
    UndoClient(f[0], r.state == 1);
  } else {
    return;
  }
  if (UndoneOnDisk(r.op) || r.op == "CLIENT") Mark(r, "DONE");
}

void Uninstaller::UndoFile(std::size_t index, const std::string& path) {
  const Target& t = targets_.at("F|" + Folded(path));
  (void)index;
  if (keepData_ && InDataLocation(path)) return;
  const std::string now = InstallOps::FileState(machine_, path);
  if (now == t.before) return;  // as it was (undone already)
  if (now == "absent") {
    Report("not restored", path, "it was removed since the installation");
    return;
  }
  if (!t.after.empty() && now != t.after) {
    Report("kept", path, "changed since the installation");
    return;
  }
  if (t.before == "absent") {
    if (RemoveFile(path)) Report("removed", path);
    return;
  }
  Report("kept", path, "the installation replaced it and kept no copy of what it held");
}

void Uninstaller::UndoMove(const std::string& from, const std::string& to) {
  if (machine_.FileExists(from) || !machine_.FileExists(to)) return;
  if (machine_.MoveFile(to, from, false)) {
    Report("restored", from, "moved back from " + to);
  } else {
    Report("kept", to, "it could not be moved back to " + from);
  }
}

void Uninstaller::UndoIni(std::size_t index) {
  const JournalRecord& r = records_[index];
  const auto& f = r.fields;
  const Target& t = targets_.at("I|" + Folded(f[0]) + "|" + Folded(f[1]) + "|" + Folded(f[2]));
  if (keepData_ && InDataLocation(f[0])) return;
  const auto host = machine_.HostPath(f[0]);
  if (!host || !machine_.FileExists(f[0])) return;
  platform::ProfileFile ini(*host);
  const std::string now =
      ini.ValueExists(f[1], f[2]) ? "=" + ini.ReadString(f[1], f[2], "") : std::string("absent");
  if (now == t.before) return;
  if (now != t.after) {
    Report("kept", f[0] + " [" + f[1] + "] " + f[2], "changed since the installation");
    return;
  }
  if (t.before == "absent") {
    ini.DeleteKey(f[1], f[2]);
  } else if (t.before.starts_with("=")) {
    ini.WriteString(f[1], f[2], t.before.substr(1));
  }
  ++iniRestored_;
}

void Uninstaller::UndoRegValue(std::size_t index) {
  const auto& f = records_[index].fields;
  const Target& t = targets_.at("R|" + Folded(f[0]) + "|" + Folded(f[1]));
  const auto key = ParseKey(f[0]);
  if (!key) return;
  platform::Registry& reg = machine_.Reg();
  const auto k = reg.OpenKey(key->root, key->path, false);
  const std::string now =
      k && k->ValueExists(f[1]) ? InstallOps::ValueText(k->ReadRaw(f[1])) : std::string("absent");
  if (now != t.before) {
    if (now != t.after) {
      Report("kept", f[0] + " " + (f[1].empty() ? std::string("(Default)") : f[1]),
             "changed since the installation");
      return;
    }
    if (t.before == "absent") {
      k->DeleteValue(f[1]);
    } else if (const auto value = ParseValue(t.before)) {
      k->WriteRaw(f[1], *value);
    }
    ++regRestored_;
  }
  if (t.created) UndoRegKey(f[0], t.createdFrom);
}

void Uninstaller::UndoRegKey(const std::string& name, const std::string& top) {
  const auto key = ParseKey(name);
  const auto outer = ParseKey(top);
  if (!key || !outer) return;
  platform::Registry& reg = machine_.Reg();
  // The key and every key above it up to the outermost one created with it,
  // each while it holds nothing.
  std::string path = key->path;
  for (;;) {
    const auto k = reg.OpenKey(key->root, path, false);
    if (!k) {
      // Gone already: its parent may be one of the keys created with it.
    } else if (k->ValueNames().empty() && !k->HasSubkeys()) {
      reg.DeleteKey(key->root, path);
    } else {
      return;
    }
    while (!path.empty() && path.back() == '\\') path.pop_back();
    if (path.size() <= outer->path.size() || !StartsText(path, outer->path)) return;
    const std::size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos || slash == 0) return;
    path.resize(slash);
  }
}

void Uninstaller::UndoClient(const std::string& name, bool finished) {
  if (!StartsText(name, "UNINSTALL")) return;  // "Quickroute": the hosts lines go at the end
  const int section = std::atoi(name.c_str() + 9);
  if (section <= 0 || !machine_.FileExists(program_ + "WS.INI")) return;
  auto ws = detect::WsIniFile(machine_, program_);
  detect::DetectedAccount account;
  if (!detect::LoadAccountSection(ws, section, account)) return;
  // A protection stopped before it wrote the section back may have pointed
  // the program at the proxy already: the section's servers are the real
  // ones in either case.
  if (!account.active && finished) return;
  const std::string label =
      account.software.str() +
      (account.name.empty() ? std::string() : " (" + account.name.str() + ")");
  if (account.clientType == detect::client::kMailbox && !mailboxes_) {
    Report("kept", label, "without the mailbox library its servers cannot be given back");
    return;
  }
  detect::DetectContext context(machine_, ui_, program_);
  context.mailboxes = mailboxes_;
  detect::RestoreClientSettings(context, program_, account, section);
  Report("restored", label, "its real servers given back");
  if (detect::SettingsInFiles(account.clientType)) {
    ws.WriteBool(name, "Active", false);
  } else {
    deactivate_.push_back(section);
  }
}

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
  pending_.insert(Folded(path));
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
    } else {
      Report("kept", folder, "it holds files the installation did not make");
    }
  }
}

}  // namespace nimbra::setup
