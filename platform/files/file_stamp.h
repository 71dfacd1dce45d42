#pragma once

// What tells one version of a file from another, for callers that keep what
// they read from a file and must know when to read it again: any rewrite of
// the file, in place or by rename, by this process or another, changes at
// least one of these.

#include <cstdint>
#include <filesystem>

namespace nimbra::platform {

struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t mtime_ns = 0;  // last change of the content
  std::int64_t ctime_ns = 0;  // last change of the content or the file's status

  // The stamp of the file as it is now (a link: of the file it names); a
  // missing file gives the stamp with exists false.
  static FileStamp Of(const char* path);
  static FileStamp Of(const std::filesystem::path& path) { return Of(path.c_str()); }

  // Whether both stamps are of one existing file (one device and inode),
  // whatever its content.
  bool SameFile(const FileStamp& other) const {
    return exists && other.exists && device == other.device && inode == other.inode;
  }
  // The later of the two change times.
  std::int64_t LastChangeNs() const { return mtime_ns > ctime_ns ? mtime_ns : ctime_ns; }

  bool operator==(const FileStamp&) const = default;
};

}  // namespace nimbra::platform
