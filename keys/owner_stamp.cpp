#include "keys/owner_stamp.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>

#include "core/datetime.h"
#include "keys/clock.h"
#include "platform/profile/profile_text.h"

namespace nimbra::keys {

namespace {

constexpr const char* kSection = "Cache";
constexpr const char* kKey = "Owner";

std::string ReadAll(int fd) {
  std::string content;
  char buffer[4096];
  ssize_t got;
  off_t offset = 0;
  while ((got = pread(fd, buffer, sizeof buffer, offset)) > 0) {
    content.append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
  return content;
}

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t put =
        pwrite(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return ftruncate(fd, static_cast<off_t>(content.size())) == 0;
}

}  // namespace

std::string OwnerStamp::Read(const std::string& stampPath) {
  const int fd = open(stampPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const std::string content = ReadAll(fd);
  close(fd);
  return platform::ProfileText(content).ReadString(kSection, kKey, "");
}

std::string OwnerStamp::Replace(const std::string& stampPath, const std::string& newStamp,
                                bool* ok) {
  *ok = false;
  const int fd = open(stampPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return {};
  std::string previous;
  if (flock(fd, LOCK_EX) == 0) {
    platform::ProfileText text(ReadAll(fd));
    previous = text.ReadString(kSection, kKey, "");
    text.WriteString(kSection, kKey, newStamp);
    *ok = WriteAll(fd, text.Content());
    flock(fd, LOCK_UN);
  }
  close(fd);
  return previous;
}

std::string OwnerStamp::Make() {
  static std::atomic<unsigned long> counter{0};
  return FormatDateTime("yyyymmddhhnnss", Now()) + "-" + std::to_string(getpid()) + "-" +
         std::to_string(++counter);
}

}  // namespace nimbra::keys
