#pragma once

// A Windows profile (INI) file on a host path. Reading and editing follow
// the rules of ProfileText (platform/profile/profile_text.h).
//
// Every read sees the file as it is on disk now: the text is loaded on first
// use and loaded again whenever the file's identity, size or modification
// time changed. A missing file reads as empty (every key gives its default).
// Each write loads, edits and saves the whole file atomically: a temporary
// file in the same folder is written, flushed to disk and renamed over the
// file, so a killed writer leaves either the old or the new file. The folder
// must exist (Windows does not create it); a new file gets CR LF line ends.
// Writers serialise on an advisory lock of the folder for the moment of
// their load-edit-save, so that two processes writing different keys of one
// file do not lose each other's changes; readers take no lock.
//
// Batch mode (ProfileBatch) keeps several writes in memory (reads see them)
// and saves once at the end: the writes are applied again to the file as it
// is then, under the folder lock, so changes others made meanwhile survive.
//
// ProfileError is raised when an existing file cannot be read (other than
// missing) or the file cannot be saved; the message names the file.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/file_stamp.h"
#include "platform/profile/profile_text.h"

namespace nimbra::platform {

class ProfileFile {
 public:
  explicit ProfileFile(std::filesystem::path host_path);

  const std::filesystem::path& Path() const { return path_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value);
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t default_value);
  bool ReadBool(std::string_view section, std::string_view key, bool default_value);
  bool SectionExists(std::string_view section);
  bool ValueExists(std::string_view section, std::string_view key);
  std::vector<std::string> SectionNames();
  std::vector<std::string> KeyNames(std::string_view section);
  std::vector<std::string> SectionValues(std::string_view section);

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int64_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);

  // The current text (loaded as reads load it).
  const ProfileText& Text();

  // Batch mode; nested calls count. EndBatch saves when the outermost batch
  // ends and anything changed.
  void BeginBatch();
  void EndBatch();

 private:
  using Edit = std::function<void(ProfileText&)>;

  void Refresh();
  // Applies edit now; saves it at once, or journals it in batch mode. The
  // edit must own its arguments (it may run again at the end of a batch).
  void Modify(Edit edit);
  void Save();
  void SaveOrForget();

  std::filesystem::path path_;
  ProfileText text_;
  FileStamp stamp_;
  bool loaded_ = false;
  int batch_depth_ = 0;
  std::vector<Edit> journal_;  // writes of the running batch
};

// Scoped batch: writes through the file between construction and Commit (or
// destruction) are saved once. The destructor saves what Commit did not,
// swallowing errors (a destructor cannot report them); call Commit to see
// them.
class ProfileBatch {
 public:
  explicit ProfileBatch(ProfileFile& file) : file_(&file) { file_->BeginBatch(); }
  ~ProfileBatch();
  ProfileBatch(const ProfileBatch&) = delete;
  ProfileBatch& operator=(const ProfileBatch&) = delete;

  void Commit();

 private:
  ProfileFile* file_;
};

}  // namespace nimbra::platform
