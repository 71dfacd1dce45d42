#include "platform/files/file_stamp.h"

#include <sys/stat.h>

namespace nimbra::platform {

namespace {

std::int64_t Ns(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

FileStamp FileStamp::Of(const char* path) {
  struct stat st {};
  if (::stat(path, &st) != 0) return FileStamp{};
  FileStamp stamp;
  stamp.exists = true;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.mtime_ns = Ns(st.st_mtim);
  stamp.ctime_ns = Ns(st.st_ctim);
  return stamp;
}

}  // namespace nimbra::platform
