#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "detect/detect_context.h"
#include "platform/machine.h"
#include "setup/journal_records.h"
#include "ui/ui.h"

namespace nimbra::setup {

// Takes an installation back from its journal (docs/install-journal.md,
// "Uninstalling"): the journal's operations are undone in reverse order,
// every protected account gets its real servers back, the hosts lines
// Quickroute added go, and the data location goes too unless it is kept.
// Each record undone is marked in the journal as it is, so that a run that
// is stopped can be started again and goes on where it was.
class Uninstaller {
 public:
  Uninstaller(platform::Machine& machine, ui::Ui& ui, detect::MailboxReader* mailboxes = nullptr);

  // The program location of the installation, from the product's registry
  // keys, its uninstall entry or the default location; nullopt when none of
  // them holds an installation journal.
  std::optional<std::string> FindInstallation();

  // Whether the installation found was taken back already.
  bool AlreadyUninstalled();

  // Runs the uninstall of the installation in `programLocation`. The data
  // location (key databases, users file, WS.INI) stays with keepData.
  // Returns 0, or 1 when the journal cannot be read.
  int Run(const std::string& programLocation, bool keepData);

  // What was removed, restored and kept, and why; one line each.
  const std::vector<std::string>& Summary() const { return summary_; }

 private:
  // One file, INI key or registry value the journal names, with what it
  // held before the installation first changed it and what the
  // installation last left there.
  struct Target {
    std::size_t first = 0;  // index of its first record
    std::string before;
    std::string after;  // empty when the journal does not say
    bool created = false;
    std::string createdFrom;  // registry: the outermost key created with it
  };

  void Report(const std::string& what, const std::string& path, const std::string& why = {});
  void Mark(const JournalRecord& record, const std::string& outcome);
  void CollectTargets();
  std::string JournalDataLocation() const;
  bool InDataLocation(const std::string& path) const;

  void ClearStaleWrites();
  void UndoRecord(std::size_t index);
  void UndoFile(const std::string& path);
  void UndoMove(const std::string& from, const std::string& to);
  bool KeptInPlace(const std::vector<std::string>& fields) const;
  void PutBack(const std::string& path);
  void UndoKept(std::size_t index);
  void UndoIni(std::size_t index);
  void UndoRegValue(std::size_t index);
  void UndoRegKey(const std::string& key, const std::string& top);
  void UndoClient(const std::string& name, bool finished);
  void RemoveHostsLines();
  void RemoveData();
  void RemoveTree(const std::string& folder);
  void RemoveRightsCheckValues();
  void RemoveEmptyIniFiles();
  void RemoveFolders();
  bool RemoveFile(const std::string& path);
  void ScheduleRemoval(const std::string& path);

  platform::Machine& machine_;
  ui::Ui& ui_;
  detect::MailboxReader* mailboxes_;
  std::string program_;  // ends in "\"
  std::string data_;     // ends in "\"; empty when unknown
  bool keepData_ = false;
  std::string journalText_;
  std::vector<JournalRecord> records_;
  std::map<std::string, Target> targets_;  // by kind and folded name
  std::set<std::string> iniCreated_;       // INI files the installation created (folded)
  struct Kept {
    std::string copy;    // the copy of what the file held
    std::string before;  // its FileState
  };
  std::map<std::string, Kept> kept_;  // by folded file name, from the first KEPT of each
  int iniRestored_ = 0;
  int regRestored_ = 0;
  std::vector<int> deactivate_;  // account sections of programs kept in the registry
  std::vector<std::string> summary_;
};

}  // namespace nimbra::setup
