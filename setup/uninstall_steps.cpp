// The undo of each kind of journal record.

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
         op == "INI" || op == "INIDELETE" || op == "KEPT";
}

}  // namespace

// Whether a KEPT record's copy is where the installation keeps them, named by
// what it holds: no other file is put back or removed as a copy.
bool Uninstaller::KeptInPlace(const std::vector<std::string>& f) const {
  if (f.size() < 3) return false;
  const std::string sha1 = InstallOps::StateSha1(f[2]);
  return !sha1.empty() &&
         AnsiSameText(f[1], program_ + std::string(InstallOps::kReplacedFolder) + "\\" + sha1);
}

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
    } else if (r.op == "KEPT" && r.state == 1 && KeptInPlace(f)) {
      kept_.try_emplace(Folded(f[0]), Kept{f[1], f[2]});
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
    UndoFile(f[1]);
  } else if ((r.op == "WRITE" || r.op == "LINK") && !f.empty() && first("F|" + Folded(f[0]))) {
    UndoFile(f[0]);
  } else if ((r.op == "MOVEASIDE" || r.op == "RENAME") && f.size() >= 2) {
    UndoMove(f[0], f[1]);
  } else if (r.op == "KEPT" && KeptInPlace(f)) {
    UndoKept(index);
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

void Uninstaller::UndoFile(const std::string& path) {
  const Target& t = targets_.at("F|" + Folded(path));
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
  PutBack(path);
}

// The copy the installation kept of what a file it replaced held goes back
// over what the installation left there.
void Uninstaller::PutBack(const std::string& path) {
  const auto kept = kept_.find(Folded(path));
  if (kept == kept_.end()) {
    Report("kept", path, "the installation replaced it and kept no copy of what it held");
    return;
  }
  // Only copies named by what they hold are in kept_ (KeptInPlace).
  const auto& [copy, before] = kept->second;
  if (!machine_.FileExists(copy)) {
    Report("kept", path, "the copy of what it held, " + copy + ", is missing");
  } else if (InstallOps::FileState(machine_, copy) != before) {
    Report("kept", path, "the copy of what it held, " + copy + ", is damaged");
  } else if (machine_.CopyFile(copy, path, false)) {
    Report("restored", path, "what it held before the installation");
  } else {
    Report("kept", path, "it could not be replaced");
  }
}

// A copy the installation kept goes once what it holds is back in its
// place; else it stays for the user (the undo of the file said why).
void Uninstaller::UndoKept(std::size_t index) {
  const auto& f = records_[index].fields;
  if (!machine_.FileExists(f[1])) return;
  if (InstallOps::FileState(machine_, f[0]) == f[2]) {
    machine_.DeleteFile(f[1]);
  } else {
    Report("kept", f[1], "what " + f[0] + " held before the installation");
  }
}

void Uninstaller::UndoMove(const std::string& from, const std::string& to) {
  if (machine_.FileExists(from) || !machine_.FileExists(to)) return;
  if (machine_.MoveFile(to, from, false)) {
    Report("restored", from, "moved back from " + to);
    // What the installation moved the file over comes back too.
    if (kept_.count(Folded(to))) PutBack(to);
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
  detect::DetectContext context(machine_, ui_, program_);
  context.mailboxes = mailboxes_;
  if (!detect::RestoreClientSettings(context, program_, account, section)) {
    // Named in the report, its real servers are not lost with WS.INI.
    std::string real = "POP3 " + account.pop3Server.str();
    if (!account.pop3Port.empty()) real += ":" + account.pop3Port.str();
    real += ", SMTP " + account.smtpServer.str();
    if (!account.smtpPort.empty()) real += ":" + account.smtpPort.str();
    Report("kept", label,
           "its mailbox could not be written through its program's library, so its servers "
           "cannot be given back (they were " +
               real + ")");
    return;
  }
  Report("restored", label, "its real servers given back");
  if (detect::SettingsInFiles(account.clientType)) {
    ws.WriteBool(name, "Active", false);
  } else {
    deactivate_.push_back(section);
  }
}

}  // namespace nimbra::setup
