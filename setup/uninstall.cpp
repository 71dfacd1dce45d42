#include "setup/uninstall.h"

#include <algorithm>

#include "core/strings.h"
#include "detect/account_sections.h"
#include "detect/client_protection.h"
#include "detect/client_restore.h"
#include "platform/files/path.h"
#include "setup/install_ops.h"

namespace nimbra::setup {

namespace {

constexpr const char* kProductKey = "\\Software\\NimbraPost\\Current Version";
constexpr const char* kUninstallKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\NimbraPost";
constexpr const char* kDefaultProgram = "C:\\Program Files\\NimbraPost";

std::optional<std::string> ProductValue(platform::Machine& machine, const char* key,
                                        const char* name) {
  try {
    const auto k = machine.Reg().OpenKey(platform::RootKey::LocalMachine, key, false);
    if (k && k->ValueExists(name)) return k->ReadString(name);
  } catch (const platform::PlatformError&) {
  }
  return std::nullopt;
}

}  // namespace

Uninstaller::Uninstaller(platform::Machine& machine, ui::Ui& ui, detect::MailboxReader* mailboxes)
    : machine_(machine), ui_(ui), mailboxes_(mailboxes) {}

std::optional<std::string> Uninstaller::FindInstallation() {
  std::vector<std::string> candidates;
  if (auto dir = ProductValue(machine_, kProductKey, "InstallDir")) candidates.push_back(*dir);
  if (auto command = ProductValue(machine_, kUninstallKey, "UninstallString")) {
    // "<short program location>NimbraMGR.EXE DIS"
    const std::string program = command->substr(0, command->find(' '));
    std::string folder = platform::ExtractFilePath(program);
    if (const auto longPath = machine_.LongPath(folder)) folder = *longPath;
    if (!folder.empty()) candidates.push_back(folder);
  }
  candidates.emplace_back(kDefaultProgram);
  for (const std::string& candidate : candidates) {
    // A wizard stopped before its journal reached the disk leaves WS.INI
    // (its search's accounts) alone.
    const std::string folder = platform::WithTrailingBackslash(candidate);
    if (machine_.FileExists(folder + std::string(InstallJournal::kFileName)) ||
        machine_.FileExists(folder + "WS.INI"))
      return folder;
  }
  return std::nullopt;
}

bool Uninstaller::AlreadyUninstalled() {
  const auto found = FindInstallation();
  if (!found) return true;
  bool uninstalled = false;
  try {
    const std::string journal = *found + std::string(InstallJournal::kFileName);
    if (!machine_.FileExists(journal)) return false;
    const auto records = ReadJournalRecords(machine_.ReadFile(journal), &uninstalled);
    return records && uninstalled;
  } catch (const platform::FileError&) {
    return false;
  }
}

void Uninstaller::Report(const std::string& what, const std::string& path, const std::string& why) {
  std::string line = what + " " + path;
  if (!why.empty()) line += ": " + why;
  summary_.push_back(line);
  ui_.LogLine("UNINSTALL " + line);
}

void Uninstaller::Mark(const JournalRecord& record, const std::string& outcome) {
  journalText_ += "U\t" + std::to_string(record.number) + "\t" + outcome + "\r\n";
  machine_.WriteFile(program_ + std::string(InstallJournal::kFileName), journalText_);
}

bool Uninstaller::InDataLocation(const std::string& path) const {
  return !data_.empty() && StartsText(platform::WithTrailingBackslash(path), data_);
}

int Uninstaller::Run(const std::string& programLocation, bool keepData) {
  program_ = platform::WithTrailingBackslash(programLocation);
  keepData_ = keepData;
  const std::string journalPath = program_ + std::string(InstallJournal::kFileName);
  std::optional<std::vector<JournalRecord>> records;
  bool uninstalled = false;
  try {
    journalText_ = machine_.FileExists(journalPath) ? machine_.ReadFile(journalPath)
                                                    : std::string(InstallJournal::kHeader) + "\r\n";
    records = ReadJournalRecords(journalText_, &uninstalled);
  } catch (const platform::FileError&) {
  }
  if (!records) {
    Report("failed", journalPath, "not an installation journal");
    return 1;
  }
  if (uninstalled) {
    // A run stopped after its last record leaves only its folders to go.
    records_ = std::move(*records);
    keepData_ = true;
    data_ = platform::WithTrailingBackslash(JournalDataLocation());
    RemoveFolders();
    return 0;
  }
  if (!journalText_.empty() && journalText_.back() != '\n') journalText_ += "\r\n";
  records_ = std::move(*records);
  if (auto dir = JournalDataLocation(); !dir.empty()) {
    data_ = platform::WithTrailingBackslash(dir);
  } else if (auto dir = ProductValue(machine_, kProductKey, "DataDir")) {
    data_ = platform::WithTrailingBackslash(*dir);
  } else if (machine_.FileExists(program_ + "WS.INI")) {
    // The users file of WS.INI lies in the data location.
    auto ws = detect::WsIniFile(machine_, program_);
    const std::string users = ws.ReadString("WORKSTATION", "UsersFile", "");
    if (!users.empty()) data_ = platform::ExtractFilePath(users);
  }
  CollectTargets();
  ClearStaleWrites();
  for (std::size_t i = records_.size(); i-- > 0;) UndoRecord(i);
  RemoveRightsCheckValues();
  machine_.Save();
  // Accounts kept in the registry are marked inactive only now that their
  // programs' settings reached the disk.
  for (const int section : deactivate_) {
    auto ws = detect::WsIniFile(machine_, program_);
    ws.WriteBool(detect::AccountSectionName(section), "Active", false);
  }
  RemoveHostsLines();
  RemoveData();
  RemoveEmptyIniFiles();
  machine_.Save();  // the removals left for the next start
  journalText_ += "U\t0\tEND\r\n";
  machine_.WriteFile(journalPath, journalText_);
  RemoveFolders();
  if (iniRestored_ > 0 || regRestored_ > 0) {
    Report("restored",
           std::to_string(iniRestored_) + " INI key(s) and " + std::to_string(regRestored_) +
               " registry value(s)",
           "back to their values before the installation");
  }
  return 0;
}

}  // namespace nimbra::setup
