#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"
#include "setup/journal_records.h"
#include "setup/update_reg.h"

namespace nimbra::platform {
class Machine;
class ShellLink;
}  // namespace nimbra::platform
namespace nimbra::ui {
class Ui;
}

namespace nimbra::setup {

// The installation journal "Install.jnl" in the program location: one line
// per operation, written before the operation acts, and one line marking it
// done after (the format is described in docs/install-journal.md). Lines of
// operations that run before the program location exists are kept and
// written as soon as it does. Every line also goes to the event log as
// "INSTALL <line>", its TABs shown as blanks.
class InstallJournal {
 public:
  static constexpr std::string_view kFileName = "Install.jnl";
  static constexpr std::string_view kHeader = "NimbraPost installation journal 1";

  // A journal left in the program location by an installation that did not
  // reach its end (no END record) is taken up: its records stay at the top
  // and new ones follow, so that this run knows what the earlier one did.
  // Any other journal there gives way to a new one.
  InstallJournal(platform::Machine& machine, std::string programLocation, ui::Ui* ui = nullptr);

  // Whether the journal continues an interrupted installation.
  bool Resumed() const { return resumed_; }
  // The fields of the records of `op` the interrupted installation began
  // and marked done (OK), in order.
  std::vector<std::vector<std::string>> DoneBefore(std::string_view op) const;
  // Whether it began a record of `op` with these fields and never marked it.
  bool UnfinishedBefore(std::string_view op, const std::vector<std::string>& fields) const;
  // Whether it began any record of `op` and never marked it.
  bool UnfinishedBefore(std::string_view op) const;
  // Whether it wrote `file` (an INI key, or the whole file), or began to
  // and was stopped; names are compared as Windows compares them.
  bool WroteBefore(std::string_view file) const;
  // Whether a record of this journal (of the interrupted installation or of
  // this run) made or replaced `file`, or kept a copy of it: what it holds
  // then is the installation's own, or kept already.
  bool Produced(std::string_view file) const;
  // The closing record: the installation reached its end.
  void End();
  // Every field of the interrupted installation's records.
  std::vector<std::string> FieldsBefore() const;

  // Appends "B <n> <op> <fields...>" and returns n.
  int Begin(std::string_view op, const std::vector<std::string>& fields);
  // Appends "D <n> OK" or "D <n> FAILED".
  void Done(int number, bool ok);

  // Every line so far, the header first.
  const std::vector<std::string>& Lines() const { return lines_; }
  // Windows path of the journal file.
  std::string FilePath() const;

  // A field as written: "%", TAB, CR and LF as "%25", "%09", "%0D", "%0A".
  static std::string EscapeField(std::string_view text);
  static std::string UnescapeField(std::string_view text);

 private:
  void Append(std::string line);

  void TakeUp(const std::string& text);

  platform::Machine& machine_;
  std::string programLocation_;
  ui::Ui* ui_;
  std::vector<std::string> lines_;
  int next_ = 1;
  bool resumed_ = false;
  std::vector<JournalRecord> earlier_;  // the interrupted installation's records
  std::map<int, std::string> pending_;  // records of this run not marked yet: the file they make
  std::set<std::string> produced_;      // files this run's records made (folded)
};

// The operations through which an installation changes the machine. Each
// records what it is about to do and what was there before (so that an
// installation can be taken back, and a run stopped half-way can tell what
// it had done), acts, and marks the record done.
class InstallOps {
 public:
  InstallOps(platform::Machine& machine, InstallJournal& journal)
      : machine_(machine), journal_(journal) {}

  // Creates one directory when it is missing; true when it exists afterwards.
  bool CreateFolder(std::string_view path);
  // Every missing directory of path, walking from the left ("C:\",
  // "C:\Program Files\", ...); a failure ends the walk and gives false.
  bool CreateFolderTree(std::string_view path);
  // Copies source over destination (overwriting); false when the copy fails.
  // What the destination held is kept (KeepOriginal) unless the caller
  // knows it for the installation's own (keepOriginal false).
  bool CopyFile(std::string_view source, std::string_view destination, bool keepOriginal = true);
  // Writes a whole file atomically, replacing any file of that name (its
  // folder is created when missing); false when it cannot be written.
  bool WriteFile(std::string_view path, std::string_view content);
  // Deletes one file; false when it is missing or cannot be deleted.
  bool DeleteFile(std::string_view path);
  // Renames a file, replacing one of the new name; false when it fails.
  bool Rename(std::string_view from, std::string_view to);
  // Renames path to path + ".REMOVE" (an older ".REMOVE" gives way).
  bool MoveAside(std::string_view path);
  // The installer's copy of one file: source_dir + name to dest_dir + name.
  // A missing source gives false; a missing destination tree is created; a
  // copy that fails (a file in use) moves the target aside and copies again,
  // whose result is the result.
  bool CopyInto(std::string_view sourceDir, std::string_view name, std::string_view destDir);
  // One INI key (file: Windows path; its folder must exist). Failures are
  // recorded, not raised.
  bool WriteIni(std::string_view file, std::string_view section, std::string_view key,
                std::string_view value);
  // Deletes one INI key; false when it was not there.
  bool DeleteIni(std::string_view file, std::string_view section, std::string_view key);
  // One registry value (the key is created when missing). ERegistryException
  // is recorded as a failure and raised again.
  void WriteRegValue(platform::RootKey root, std::string_view path, std::string_view name,
                     const platform::RegValue& value);
  // Creates a key when it is missing.
  void CreateRegKey(platform::RootKey root, std::string_view path);
  // Deletes one value; false when it was not there.
  bool DeleteRegValue(platform::RootKey root, std::string_view path, std::string_view name);
  void WriteRegString(platform::RootKey root, std::string_view path, std::string_view name,
                      std::string_view value);
  void WriteRegInteger(platform::RootKey root, std::string_view path, std::string_view name,
                       std::int32_t value);
  // Deletes a key with its subkeys; false when it did not exist.
  bool DeleteRegKey(platform::RootKey root, std::string_view path);
  // Saves the link to link_path (ShellLinkError is recorded and raised again).
  void SaveShortcut(platform::ShellLink& link, std::string_view linkPath);
  // Applies the steps of a ".reg" file (setup/update_reg.h) as one recorded
  // import; on_warning is called for each root warning step.
  // ERegistryException is recorded and raised again (what was written stays).
  void ImportReg(const std::vector<RegStep>& steps, std::string_view sourceName,
                 const std::function<void()>& onWarning);

  // A record of something the installation did besides changing the
  // machine (the keys it made, with what a later step needs of them).
  void Note(std::string_view op, const std::vector<std::string>& fields);

  InstallJournal& Journal() { return journal_; }

 private:
  // "absent", or "size=<n> sha1=<hex>" of an existing file.
  std::string FileState(std::string_view path) const;
  // Records what a file holds after the installation wrote it, so that an
  // uninstall can tell a file the user changed since.
  void NoteWritten(std::string_view path);
  // Before an existing file (`before`, its FileState) is replaced, a copy of
  // it goes to kReplacedFolder of the program location, named by the SHA-1
  // of its content, and a KEPT record names it, so that an uninstall can put
  // it back. A file this journal produced is not kept.
  void KeepOriginal(std::string_view path, const std::string& before);

 public:
  // "absent", or "size=<n> sha1=<hex>" of an existing file.
  static std::string FileState(platform::Machine& machine, std::string_view path);
  // The SHA-1 (hex) in a FileState of an existing file; empty for any other
  // text.
  static std::string StateSha1(std::string_view state);
  // A registry value as the journal writes it: "<type>:<hex of the data>".
  static std::string ValueText(const platform::RegValue& value);
  // The program location's folder of the copies KeepOriginal keeps.
  static constexpr std::string_view kReplacedFolder = "Replaced";

 private:
  platform::Machine& machine_;
  InstallJournal& journal_;
};

}  // namespace nimbra::setup
