#pragma once

// An advisory lock on a folder, for writers that read, change and save
// files in it and must not lose each other's changes (profile files, the
// registry's hives). Held from construction until destruction; a folder
// that cannot be opened or a file system that cannot lock is not locked.

#include <filesystem>

namespace nimbra::platform {

class FolderLock {
 public:
  enum class Mode { kShared, kExclusive };

  explicit FolderLock(const std::filesystem::path& folder, Mode mode = Mode::kExclusive);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

}  // namespace nimbra::platform
