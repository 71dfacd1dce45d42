#include "setup/install_ops.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <span>

#include "core/hex.h"
#include "core/sha1.h"
#include "core/strings.h"
#include "platform/files/path.h"
#include "platform/links/shell_link.h"
#include "platform/machine.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/reg_text.h"
#include "setup/journal_records.h"
#include "ui/ui.h"

namespace nimbra::setup {

namespace {

std::string Sha1Hex(std::string_view bytes) {
  const auto digest =
      Sha1(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  return HexLower(digest);
}

// The file a record of `op` makes, replaces or keeps a copy of; empty for
// the other records.
std::string ProducedFile(std::string_view op, const std::vector<std::string>& fields) {
  const bool second = op == "COPY" || op == "RENAME" || op == "MOVEASIDE";
  const bool first = op == "WRITE" || op == "LINK" || op == "WROTE" || op == "INI" ||
                     op == "USERSFILE" || op == "KEPT";
  if (second && fields.size() >= 2) return AnsiUpperCase(fields[1]);
  if (first && !fields.empty()) return AnsiUpperCase(fields[0]);
  return {};
}

}  // namespace

std::string InstallOps::ValueText(const platform::RegValue& value) {
  return std::to_string(static_cast<std::uint32_t>(value.type)) + ":" +
         HexLower(std::span(value.data.data(), value.data.size()));
}

namespace {

std::string KeyName(platform::RootKey root, std::string_view path) {
  return platform::RootKeyName(root) + "\\" + std::string(path);
}

// The outermost key of path that does not exist (path itself when only it
// is missing): the keys from there on are created with it.
std::string FirstMissingKey(platform::Registry& reg, platform::RootKey root,
                            std::string_view path) {
  std::string missing(path);
  for (;;) {
    const std::size_t slash = missing.find_last_of('\\');
    if (slash == std::string::npos || slash == 0) return missing;
    const std::string parent = missing.substr(0, slash);
    if (reg.KeyExists(root, parent)) return missing;
    missing = parent;
  }
}

}  // namespace

InstallJournal::InstallJournal(platform::Machine& machine, std::string programLocation, ui::Ui* ui)
    : machine_(machine), programLocation_(std::move(programLocation)), ui_(ui) {
  lines_.emplace_back(kHeader);
  try {
    if (machine_.FileExists(FilePath())) TakeUp(machine_.ReadFile(FilePath()));
  } catch (const platform::FileError&) {
    // An unreadable journal tells nothing: the installation starts afresh.
  }
}

void InstallJournal::TakeUp(const std::string& text) {
  auto records = ReadJournalRecords(text);
  if (!records) return;                                          // not a journal: start afresh
  if (!records->empty() && records->back().op == "END") return;  // a finished installation
  // A journal an uninstall has begun to take back is no installation to go on with.
  for (const JournalRecord& r : *records) {
    if (!r.undone.empty()) return;
  }
  lines_ = JournalLines(text);
  for (const JournalRecord& r : *records) next_ = std::max(next_, r.number + 1);
  earlier_ = std::move(*records);
  resumed_ = true;
}

std::vector<std::vector<std::string>> InstallJournal::DoneBefore(std::string_view op) const {
  std::vector<std::vector<std::string>> out;
  for (const JournalRecord& r : earlier_) {
    if (r.op == op && r.state == 1) out.push_back(r.fields);
  }
  return out;
}

bool InstallJournal::UnfinishedBefore(std::string_view op,
                                      const std::vector<std::string>& fields) const {
  return std::any_of(earlier_.begin(), earlier_.end(), [&](const JournalRecord& r) {
    return r.op == op && r.fields == fields && r.state == 0;
  });
}

bool InstallJournal::WroteBefore(std::string_view file) const {
  return std::any_of(earlier_.begin(), earlier_.end(), [&](const JournalRecord& r) {
    return r.state != 2 && (r.op == "INI" || r.op == "WRITE" || r.op == "USERSFILE") &&
           !r.fields.empty() && SameText(r.fields[0], file);
  });
}

bool InstallJournal::Produced(std::string_view file) const {
  const std::string folded = AnsiUpperCase(file);
  if (produced_.count(folded)) return true;
  // A copy begun and never marked may not have reached the disk; every
  // other record begun may have changed the file.
  return std::any_of(earlier_.begin(), earlier_.end(), [&](const JournalRecord& r) {
    return r.state != 2 && !(r.op == "KEPT" && r.state == 0) &&
           ProducedFile(r.op, r.fields) == folded;
  });
}

bool InstallJournal::UnfinishedBefore(std::string_view op) const {
  return std::any_of(earlier_.begin(), earlier_.end(),
                     [&](const JournalRecord& r) { return r.op == op && r.state == 0; });
}

std::vector<std::string> InstallJournal::FieldsBefore() const {
  std::vector<std::string> out;
  for (const JournalRecord& r : earlier_) out.insert(out.end(), r.fields.begin(), r.fields.end());
  return out;
}

void InstallJournal::End() {
  Done(Begin("END", {}), true);
}

std::string InstallJournal::FilePath() const {
  return platform::JoinWindowsPath(programLocation_, kFileName);
}

std::string InstallJournal::EscapeField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '%':
        out += "%25";
        break;
      case '\t':
        out += "%09";
        break;
      case '\r':
        out += "%0D";
        break;
      case '\n':
        out += "%0A";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string InstallJournal::UnescapeField(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string_view code = text.substr(i + 1, 2);
      const char c = code == "25"   ? '%'
                     : code == "09" ? '\t'
                     : code == "0D" ? '\r'
                     : code == "0A" ? '\n'
                                    : 0;
      if (c != 0) {
        out += c;
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

int InstallJournal::Begin(std::string_view op, const std::vector<std::string>& fields) {
  const int number = next_++;
  std::string line = "B\t" + std::to_string(number) + "\t" + std::string(op);
  for (const auto& field : fields) line += "\t" + EscapeField(field);
  if (std::string file = ProducedFile(op, fields); !file.empty()) pending_[number] = file;
  Append(std::move(line));
  return number;
}

void InstallJournal::Done(int number, bool ok) {
  Append("D\t" + std::to_string(number) + "\t" + (ok ? "OK" : "FAILED"));
  if (const auto it = pending_.find(number); it != pending_.end()) {
    if (ok) produced_.insert(it->second);
    pending_.erase(it);
  }
  // Between two operations the window repaints and its timers run, so a
  // long run of small steps never leaves it frozen.
  if (ui_) ui_->ProcessMessages();
}

void InstallJournal::Append(std::string line) {
  if (ui_) {
    // The log shows the fields separated by blanks.
    std::string shown = line;
    std::replace(shown.begin(), shown.end(), '\t', ' ');
    ui_->LogLine("INSTALL " + shown);
  }
  lines_.push_back(std::move(line));
  // Until the program location exists the lines wait in memory; the first
  // line after it was created writes them all.
  if (!machine_.DirectoryExists(programLocation_)) return;
  std::string text;
  for (const auto& l : lines_) text += l + "\r\n";
  machine_.WriteFile(FilePath(), text);
}

void InstallOps::Note(std::string_view op, const std::vector<std::string>& fields) {
  journal_.Done(journal_.Begin(op, fields), true);
}

std::string InstallOps::FileState(std::string_view path) const {
  return FileState(machine_, path);
}

std::string InstallOps::FileState(platform::Machine& machine, std::string_view path) {
  if (!machine.FileExists(path)) return "absent";
  try {
    const std::string bytes = machine.ReadFile(path);
    return "size=" + std::to_string(bytes.size()) + " sha1=" + Sha1Hex(bytes);
  } catch (const platform::FileError&) {
    return "unreadable";
  }
}

std::string InstallOps::StateSha1(std::string_view state) {
  const std::size_t at = state.find(" sha1=");
  if (!state.starts_with("size=") || at == std::string_view::npos) return {};
  return std::string(state.substr(at + 6));
}

void InstallOps::NoteWritten(std::string_view path) {
  Note("WROTE", {std::string(path), FileState(path)});
}

void InstallOps::KeepOriginal(std::string_view path, const std::string& before) {
  const std::string sha1 = StateSha1(before);
  if (sha1.empty() || journal_.Produced(path)) return;
  const std::string folder = platform::JoinWindowsPath(
      platform::ExtractFilePath(journal_.FilePath()), std::string(kReplacedFolder));
  if (!machine_.DirectoryExists(folder)) CreateFolderTree(folder);
  // Named by its content, a copy is the same whichever run of an
  // interrupted installation keeps it.
  const std::string copy = platform::JoinWindowsPath(folder, sha1);
  const int n = journal_.Begin("KEPT", {std::string(path), copy, before});
  journal_.Done(n, machine_.CopyFile(path, copy, false));
}

bool InstallOps::CreateFolder(std::string_view path) {
  if (machine_.DirectoryExists(path)) return true;
  const int n = journal_.Begin("FOLDER", {std::string(path)});
  const bool ok = machine_.CreateDirectory(path);
  journal_.Done(n, ok);
  return ok;
}

bool InstallOps::CreateFolderTree(std::string_view path) {
  const std::string full = platform::WithTrailingBackslash(path);
  // Each prefix that ends at a "\" after the first character: "C:\",
  // "C:\Program Files\", ... (a network path's leading "\\" is no prefix).
  for (std::size_t at = full.find('\\', 1); at != std::string::npos; at = full.find('\\', at + 1)) {
    if (at > 0 && full[at - 1] == '\\') continue;
    const std::string prefix = full.substr(0, at + 1);
    if (prefix.size() == 3 && prefix[1] == ':') continue;  // a drive root
    if (!CreateFolder(prefix)) return false;
  }
  return true;
}

bool InstallOps::CopyFile(std::string_view source, std::string_view destination,
                          bool keepOriginal) {
  const std::string before = FileState(destination);
  if (keepOriginal) KeepOriginal(destination, before);
  const int n = journal_.Begin("COPY", {std::string(source), std::string(destination), before});
  const bool ok = machine_.CopyFile(source, destination, false);
  journal_.Done(n, ok);
  if (ok) NoteWritten(destination);
  return ok;
}

bool InstallOps::WriteFile(std::string_view path, std::string_view content) {
  const std::string folder = platform::ExtractFilePath(path);
  if (!folder.empty() && !machine_.DirectoryExists(folder)) CreateFolderTree(folder);
  const std::string before = FileState(path);
  KeepOriginal(path, before);
  const int n = journal_.Begin("WRITE", {std::string(path), before});
  bool ok = true;
  try {
    machine_.WriteFile(path, content);
  } catch (const platform::PlatformError&) {
    ok = false;
  }
  journal_.Done(n, ok);
  if (ok) NoteWritten(path);
  return ok;
}

bool InstallOps::DeleteFile(std::string_view path) {
  if (!machine_.FileExists(path)) return false;
  const int n = journal_.Begin("DELETE", {std::string(path), FileState(path)});
  const bool ok = machine_.DeleteFile(path);
  journal_.Done(n, ok);
  return ok;
}

bool InstallOps::Rename(std::string_view from, std::string_view to) {
  const std::string before = FileState(to);
  KeepOriginal(to, before);
  const int n = journal_.Begin("RENAME", {std::string(from), std::string(to), before});
  const bool ok = machine_.MoveFile(from, to, true);
  journal_.Done(n, ok);
  return ok;
}

bool InstallOps::MoveAside(std::string_view path) {
  const std::string aside = std::string(path) + ".REMOVE";
  const std::string before = FileState(aside);
  KeepOriginal(aside, before);
  const int n = journal_.Begin("MOVEASIDE", {std::string(path), aside, before});
  const bool ok = machine_.MoveFile(path, aside, true);
  journal_.Done(n, ok);
  return ok;
}

bool InstallOps::CopyInto(std::string_view sourceDir, std::string_view name,
                          std::string_view destDir) {
  const std::string source = std::string(sourceDir) + std::string(name);
  if (!machine_.FileExists(source)) return false;
  if (!machine_.DirectoryExists(destDir)) CreateFolderTree(destDir);
  // One doubled backslash after the first two characters (left by a
  // location that already ended in "\") is reduced to one.
  std::string folder = std::string(destDir) + "\\";
  const std::size_t doubled = folder.find("\\\\", 2);
  if (doubled != std::string::npos) folder.erase(doubled, 1);
  const std::string destination = folder + std::string(name);
  if (CopyFile(source, destination)) return true;
  // The target is in use: move it aside and copy again.
  if (!machine_.FileExists(destination)) return false;
  MoveAside(destination);
  return CopyFile(source, destination);
}

bool InstallOps::WriteIni(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view value) {
  const auto host = machine_.HostPath(file);
  std::string previous = "absent";
  std::optional<platform::ProfileFile> ini;
  if (host) {
    ini.emplace(*host);
    try {
      if (ini->ValueExists(section, key)) previous = "=" + ini->ReadString(section, key, "");
    } catch (const platform::PlatformError&) {
      previous = "unreadable";
    }
  }
  std::vector<std::string> fields = {std::string(file), std::string(section), std::string(key),
                                     std::string(value), previous};
  if (!machine_.FileExists(file)) fields.emplace_back("file-created");
  const int n = journal_.Begin("INI", fields);
  bool ok = false;
  if (ini) {
    try {
      ini->WriteString(section, key, value);
      ok = true;
    } catch (const platform::PlatformError&) {
    }
  }
  journal_.Done(n, ok);
  return ok;
}

bool InstallOps::DeleteIni(std::string_view file, std::string_view section, std::string_view key) {
  const auto host = machine_.HostPath(file);
  if (!host) return false;
  platform::ProfileFile ini(*host);
  bool ok = false;
  try {
    if (!ini.ValueExists(section, key)) return false;
    const int n =
        journal_.Begin("INIDELETE", {std::string(file), std::string(section), std::string(key),
                                     "=" + ini.ReadString(section, key, "")});
    try {
      ini.DeleteKey(section, key);
      ok = true;
    } catch (const platform::PlatformError&) {
    }
    journal_.Done(n, ok);
  } catch (const platform::PlatformError&) {
  }
  return ok;
}

void InstallOps::WriteRegValue(platform::RootKey root, std::string_view path, std::string_view name,
                               const platform::RegValue& value) {
  platform::Registry& reg = machine_.Reg();
  const bool keyExisted = reg.KeyExists(root, path);
  std::string previous = "absent";
  if (keyExisted) {
    const auto key = reg.OpenKey(root, path, false);
    if (key->ValueExists(name)) previous = ValueText(key->ReadRaw(name));
  }
  std::vector<std::string> fields = {KeyName(root, path), std::string(name), ValueText(value),
                                     previous, keyExisted ? "key-existed" : "key-created"};
  if (!keyExisted) fields.push_back(KeyName(root, FirstMissingKey(reg, root, path)));
  const int n = journal_.Begin("REGVALUE", fields);
  try {
    reg.OpenKey(root, path, true)->WriteRaw(name, value);
  } catch (...) {
    journal_.Done(n, false);
    throw;
  }
  journal_.Done(n, true);
}

void InstallOps::CreateRegKey(platform::RootKey root, std::string_view path) {
  platform::Registry& reg = machine_.Reg();
  if (reg.KeyExists(root, path)) return;
  const int n = journal_.Begin(
      "REGKEY", {KeyName(root, path), KeyName(root, FirstMissingKey(reg, root, path))});
  try {
    reg.OpenKey(root, path, true);
  } catch (...) {
    journal_.Done(n, false);
    throw;
  }
  journal_.Done(n, true);
}

bool InstallOps::DeleteRegValue(platform::RootKey root, std::string_view path,
                                std::string_view name) {
  const auto key = machine_.Reg().OpenKey(root, path, false);
  if (!key || !key->ValueExists(name)) return false;
  const int n = journal_.Begin(
      "REGVALUEDELETE", {KeyName(root, path), std::string(name), ValueText(key->ReadRaw(name))});
  bool ok = false;
  try {
    ok = key->DeleteValue(name);
  } catch (...) {
    journal_.Done(n, false);
    throw;
  }
  journal_.Done(n, ok);
  return ok;
}

void InstallOps::WriteRegString(platform::RootKey root, std::string_view path,
                                std::string_view name, std::string_view value) {
  // CP-1252 text, kept as UTF-16LE with its terminating NUL.
  WriteRegValue(root, path, name,
                {platform::RegType::String,
                 platform::reg::Utf16Bytes(platform::reg::AnsiToUtf16(value), true)});
}

void InstallOps::WriteRegInteger(platform::RootKey root, std::string_view path,
                                 std::string_view name, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  WriteRegValue(root, path, name,
                {platform::RegType::DWord,
                 {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                  static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)}});
}

bool InstallOps::DeleteRegKey(platform::RootKey root, std::string_view path) {
  platform::Registry& reg = machine_.Reg();
  if (!reg.KeyExists(root, path)) return false;
  const int n =
      journal_.Begin("REGDELETE", {KeyName(root, path), platform::ExportKey(reg, root, path)});
  bool ok = false;
  try {
    ok = reg.DeleteKey(root, path);
  } catch (...) {
    journal_.Done(n, false);
    throw;
  }
  journal_.Done(n, ok);
  return ok;
}

void InstallOps::SaveShortcut(platform::ShellLink& link, std::string_view linkPath) {
  const std::string before = FileState(linkPath);
  KeepOriginal(linkPath, before);
  const int n = journal_.Begin("LINK", {std::string(linkPath), link.GetPath(), link.GetArguments(),
                                        link.GetWorkingDirectory(), link.GetDescription(), before});
  try {
    link.Save(std::string(linkPath));
  } catch (...) {
    journal_.Done(n, false);
    throw;
  }
  journal_.Done(n, true);
  NoteWritten(linkPath);
}

void InstallOps::ImportReg(const std::vector<RegStep>& steps, std::string_view sourceName,
                           const std::function<void()>& onWarning) {
  const int n = journal_.Begin("REGIMPORT", {std::string(sourceName)});
  try {
    for (const RegStep& step : steps) {
      switch (step.kind) {
        case RegStep::Kind::RootWarning:
          onWarning();
          break;
        case RegStep::Kind::OpenKey:
          CreateRegKey(step.root, step.path);
          break;
        case RegStep::Kind::String:
          WriteRegString(step.root, step.path, step.name, step.text);
          break;
        case RegStep::Kind::Integer:
          WriteRegInteger(step.root, step.path, step.name, step.number);
          break;
      }
    }
  } catch (...) {
    journal_.Done(n, false);
    throw;
  }
  journal_.Done(n, true);
}

}  // namespace nimbra::setup
