#include "core/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace nimbra {

void Stream::ReadBuffer(void* buffer, std::size_t count) {
  if (Read(buffer, count) != count) throw StreamError("Stream read error");
}

void Stream::WriteBuffer(const void* buffer, std::size_t count) {
  if (Write(buffer, count) != count) throw StreamError("Stream write error");
}

std::uint32_t Stream::ReadU32() {
  std::uint8_t b[4];
  ReadBuffer(b, 4);
  return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
         std::uint32_t(b[3]) << 24;
}

void Stream::WriteU32(std::uint32_t value) {
  const std::uint8_t b[4] = {std::uint8_t(value), std::uint8_t(value >> 8),
                             std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
  WriteBuffer(b, 4);
}

std::int64_t Stream::CopyFrom(Stream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<std::uint8_t> chunk(std::min<std::int64_t>(count, 1 << 16));
  std::int64_t left = count;
  while (left > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

MemoryStream::MemoryStream(const void* data, std::size_t size)
    : data_(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size) {
}

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= data_.size()) return 0;
  const std::size_t n = std::min(count, data_.size() - position_);
  if (n != 0) std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

std::size_t MemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ += count;
  return count;
}

std::int64_t MemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == SeekOrigin::Current) base = static_cast<std::int64_t>(position_);
  if (origin == SeekOrigin::End) base = static_cast<std::int64_t>(data_.size());
  const std::int64_t target = base + offset;
  if (target < 0) throw StreamError("Seek before the start of a stream");
  position_ = static_cast<std::size_t>(target);
  return target;
}

void MemoryStream::SetSize(std::int64_t size) {
  if (size < 0) throw StreamError("Negative stream size");
  data_.resize(static_cast<std::size_t>(size));
  position_ = std::min(position_, data_.size());
}

FileStream::FileStream(const std::string& path, FileMode mode) : path_(path) {
  int flags = O_RDONLY;
  if (mode == FileMode::Create) flags = O_RDWR | O_CREAT | O_TRUNC;
  if (mode == FileMode::OpenReadWrite) flags = O_RDWR;
  fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    throw StreamError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  }
}

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t FileStream::Read(void* buffer, std::size_t count) {
  std::size_t done = 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::read(fd_, out + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t FileStream::Write(const void* buffer, std::size_t count) {
  std::size_t done = 0;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::write(fd_, in + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::int64_t FileStream::Seek(std::int64_t offset, SeekOrigin origin) {
  int whence = SEEK_SET;
  if (origin == SeekOrigin::Current) whence = SEEK_CUR;
  if (origin == SeekOrigin::End) whence = SEEK_END;
  const off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (r < 0) throw StreamError("Seek error on \"" + path_ + "\"");
  return r;
}

std::int64_t FileStream::Size() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw StreamError("Cannot read the size of \"" + path_ + "\"");
  return st.st_size;
}

void FileStream::SetSize(std::int64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    throw StreamError("Cannot resize \"" + path_ + "\"");
  }
}

}  // namespace nimbra
