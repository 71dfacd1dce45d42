#include "platform/profile/profile_file.h"

#include <sys/stat.h>

#include <cstring>

#include "platform/files/atomic_file.h"
#include "platform/files/folder_lock.h"

namespace nimbra::platform {
namespace {

namespace fs = std::filesystem;

std::string Describe(const fs::path& path, const std::string& what, int error) {
  return "profile file " + path.string() + ": " + what + " (" + std::strerror(error) + ")";
}

fs::path FolderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

}  // namespace

ProfileFile::ProfileFile(fs::path host_path) : path_(std::move(host_path)) {
  // Writers lock the folder that holds the file itself: follow a link to the
  // file it names.
  std::error_code ec;
  if (fs::is_symlink(path_, ec)) {
    const fs::path target = fs::read_symlink(path_, ec);
    if (!ec) path_ = target.is_absolute() ? target : path_.parent_path() / target;
  }
}

void ProfileFile::Refresh() {
  if (loaded_ && batch_depth_ > 0) return;
  const FileStamp now = FileStamp::Of(path_);
  if (loaded_ && now == stamp_) return;
  if (!now.exists) {
    text_ = ProfileText();
    stamp_ = now;
    loaded_ = true;
    return;
  }
  std::optional<std::string> content;
  try {
    content = ReadFileIfExists(path_);
  } catch (const AtomicFileError& error) {
    throw ProfileError(Describe(path_, "cannot " + error.Step(), error.Code()));
  }
  if (!content) {  // removed between stat and open
    text_ = ProfileText();
    stamp_ = FileStamp{};
    loaded_ = true;
    return;
  }
  text_ = ProfileText(*content);
  stamp_ = now;
  loaded_ = true;
}

void ProfileFile::Save() {
  const fs::path folder = FolderOf(path_);
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    throw ProfileError("profile file " + path_.string() +
                       ": cannot write, the folder does not exist");
  }
  struct stat old;
  const bool exists = ::stat(path_.c_str(), &old) == 0;
  if (exists && (old.st_mode & 0222) == 0) {
    throw ProfileError("profile file " + path_.string() + ": cannot write a read-only file");
  }

  try {
    ReplaceFile(path_, text_.Content());
  } catch (const AtomicFileError& error) {
    throw ProfileError(Describe(path_, "cannot " + error.Step(), error.Code()));
  }
  stamp_ = FileStamp::Of(path_);
}

void ProfileFile::Modify(Edit edit) {
  if (batch_depth_ > 0) {
    edit(text_);
    journal_.push_back(std::move(edit));
    return;
  }
  FolderLock lock(FolderOf(path_));
  Refresh();
  edit(text_);
  SaveOrForget();
}

void ProfileFile::SaveOrForget() {
  try {
    Save();
  } catch (...) {
    // The edit did not reach the disk: the next access reads the file again
    // rather than showing it.
    loaded_ = false;
    throw;
  }
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view default_value) {
  Refresh();
  return text_.ReadString(section, key, default_value);
}

std::int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t default_value) {
  Refresh();
  return text_.ReadInteger(section, key, default_value);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool default_value) {
  Refresh();
  return text_.ReadBool(section, key, default_value);
}

bool ProfileFile::SectionExists(std::string_view section) {
  Refresh();
  return text_.SectionExists(section);
}

bool ProfileFile::ValueExists(std::string_view section, std::string_view key) {
  Refresh();
  return text_.ValueExists(section, key);
}

std::vector<std::string> ProfileFile::SectionNames() {
  Refresh();
  return text_.SectionNames();
}

std::vector<std::string> ProfileFile::KeyNames(std::string_view section) {
  Refresh();
  return text_.KeyNames(section);
}

std::vector<std::string> ProfileFile::SectionValues(std::string_view section) {
  Refresh();
  return text_.SectionValues(section);
}

const ProfileText& ProfileFile::Text() {
  Refresh();
  return text_;
}

void ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  Modify([s = std::string(section), k = std::string(key), v = std::string(value)](ProfileText& t) {
    t.WriteString(s, k, v);
  });
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, std::int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
  Refresh();
  if (!text_.ValueExists(section, key)) return;  // nothing to change, nothing to save
  Modify([s = std::string(section), k = std::string(key)](ProfileText& t) { t.DeleteKey(s, k); });
}

void ProfileFile::DeleteSection(std::string_view section) {
  Refresh();
  if (!text_.SectionExists(section)) return;
  Modify([s = std::string(section)](ProfileText& t) { t.DeleteSection(s); });
}

void ProfileFile::BeginBatch() {
  if (batch_depth_ == 0) Refresh();
  ++batch_depth_;
}

void ProfileFile::EndBatch() {
  if (batch_depth_ == 0 || --batch_depth_ > 0 || journal_.empty()) return;
  std::vector<Edit> journal = std::move(journal_);
  journal_.clear();
  FolderLock lock(FolderOf(path_));
  if (FileStamp::Of(path_) != stamp_) {
    // Changed by someone else during the batch: replay onto the new text.
    loaded_ = false;
    Refresh();
    for (Edit& edit : journal) edit(text_);
  }
  SaveOrForget();
}

ProfileBatch::~ProfileBatch() {
  if (file_ == nullptr) return;
  try {
    file_->EndBatch();
  } catch (...) {
    // Reported only through Commit.
  }
}

void ProfileBatch::Commit() {
  ProfileFile* file = file_;
  file_ = nullptr;
  if (file != nullptr) file->EndBatch();
}

}  // namespace nimbra::platform
