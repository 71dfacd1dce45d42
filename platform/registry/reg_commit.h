#pragma once

// Saving the two hive files of a machine as one.
//
// A commit of one file is one atomic replacement. A commit of both writes
// and flushes both temporary files, then the commit record
// "registry.commit" in the machine folder naming them, then renames them over
// their hives and removes the record. A writer killed before its record is in
// place leaves both old hives; one killed after leaves a record that the next
// reader or writer completes (CompletePendingCommit) before it reads a hive.
// Callers hold the registry's folder lock (platform/files/folder_lock.h),
// exclusively for both functions.

#include <filesystem>
#include <string>
#include <vector>

namespace nimbra::platform::reg {

// The hive files, HKEY_LOCAL_MACHINE's and HKEY_CURRENT_USER's, and the
// commit record, in the machine folder.
inline constexpr const char* kHiveFiles[2] = {"system.reg", "user.reg"};
inline constexpr char kCommitRecord[] = "registry.commit";

struct HiveSave {
  std::filesystem::path file;  // a hive file in the machine folder
  std::string text;
};

// Replaces the files with the texts, all or none. ERegistryException on
// failure: no file is replaced, unless the failure came after the first
// rename (then the commit is completed by the next CompletePendingCommit).
void CommitHives(const std::filesystem::path& root, const std::vector<HiveSave>& saves);

// Removes what writers killed before their commit record was in place left
// of the hives' and the record's temporary files.
void RemoveStaleFiles(const std::filesystem::path& root,
                      const std::vector<std::filesystem::path>& hives);

// Whether a commit record is waiting in the machine folder.
bool CommitPending(const std::filesystem::path& root);

// Completes the commit a killed writer left: renames the temporary files its
// record names that are still there over their hives, and removes the
// record. A record naming other files than hives and their temporary files is
// not this system's: it is removed unused. ERegistryException when a
// temporary file cannot be renamed.
void CompletePendingCommit(const std::filesystem::path& root);

}  // namespace nimbra::platform::reg
