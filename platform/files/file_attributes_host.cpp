#include "platform/files/file_attributes_host.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files/file_attributes.h"

namespace nimbra::platform {

namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr std::uint32_t kStoredBits = attr::Hidden | attr::System | attr::Archive;

// The bits of "user.DOSATTRIB" when it holds hex text ("0x22"); nullopt when
// the attribute is absent or in another form.
std::optional<std::uint32_t> ReadDosAttrib(const std::filesystem::path& path) {
  char buffer[64];
  const ssize_t length = ::getxattr(path.c_str(), kDosAttrib, buffer, sizeof buffer - 1);
  if (length <= 2) return std::nullopt;
  buffer[length] = '\0';
  if (buffer[0] != '0' || (buffer[1] != 'x' && buffer[1] != 'X')) return std::nullopt;
  char* end = nullptr;
  const unsigned long value = std::strtoul(buffer + 2, &end, 16);
  if (end == buffer + 2) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::uint32_t> HostStoredDosBits(const std::filesystem::path& path) {
  const std::optional<std::uint32_t> bits = ReadDosAttrib(path);
  if (!bits) return std::nullopt;
  return *bits & kStoredBits;
}

std::optional<std::uint32_t> HostFileAttributes(const std::filesystem::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  const bool directory = S_ISDIR(st.st_mode);
  std::uint32_t bits = directory ? attr::Directory : 0;
  if ((st.st_mode & 0222) == 0) bits |= attr::ReadOnly;
  if (const std::optional<std::uint32_t> stored = ReadDosAttrib(path)) {
    bits |= *stored & kStoredBits;
  } else if (!directory) {
    bits |= attr::Archive;  // what a file written by a program carries
  }
  const std::string name = path.filename().string();
  if (name.size() > 1 && name[0] == '.' && name != "..") bits |= attr::Hidden;
  return bits == 0 ? attr::Normal : bits;
}

bool SetHostFileAttributes(const std::filesystem::path& path, std::uint32_t attributes) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (attributes & attr::ReadOnly) {
    mode &= ~static_cast<mode_t>(0222);
  } else if ((mode & 0222) == 0) {
    mode |= S_IWUSR;
  }
  if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0) return false;
  char text[16];
  const int length = std::snprintf(text, sizeof text, "0x%x", attributes & kStoredBits);
  return ::setxattr(path.c_str(), kDosAttrib, text, static_cast<std::size_t>(length), 0) == 0;
}

void CopyHostDosAttributes(const std::filesystem::path& from, const std::filesystem::path& to) {
  char buffer[256];
  const ssize_t length = ::getxattr(from.c_str(), kDosAttrib, buffer, sizeof buffer);
  if (length >= 0) {
    ::setxattr(to.c_str(), kDosAttrib, buffer, static_cast<std::size_t>(length), 0);
  }
}

}  // namespace nimbra::platform
