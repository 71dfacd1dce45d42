#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"

namespace nimbra {

enum class SeekOrigin { Begin, Current, End };

// A byte stream with a position. Read and Write move as many bytes as they
// can and return that count; ReadBuffer and WriteBuffer demand the whole
// count and raise StreamError otherwise.
class Stream {
 public:
  virtual ~Stream() = default;

  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Returns the new position. Seeking before the start raises StreamError;
  // seeking past the end is allowed (a later write extends the stream).
  virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
  virtual std::int64_t Size() = 0;
  virtual void SetSize(std::int64_t size) = 0;

  std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Begin); }

  void ReadBuffer(void* buffer, std::size_t count);
  void WriteBuffer(const void* buffer, std::size_t count);
  void WriteBytes(std::span<const std::uint8_t> bytes) { WriteBuffer(bytes.data(), bytes.size()); }

  // Little-endian integers, as every binary format of the system stores them.
  std::uint32_t ReadU32();
  void WriteU32(std::uint32_t value);

  // Copies count bytes from source's current position; count 0 copies the
  // whole of source from its start. Returns the number of bytes copied.
  std::int64_t CopyFrom(Stream& source, std::int64_t count);
};

// A stream over a growable byte vector.
class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
  MemoryStream(const void* data, std::size_t size);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
  void SetSize(std::int64_t size) override;

  const std::vector<std::uint8_t>& Data() const { return data_; }
  std::vector<std::uint8_t>& Data() { return data_; }
  void Clear() {
    data_.clear();
    position_ = 0;
  }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t position_ = 0;
};

enum class FileMode {
  Create,         // create or truncate, read and write
  OpenRead,       // existing file, read only
  OpenReadWrite,  // existing file, read and write
};

// A stream over a host file. Opening failures raise StreamError naming the file.
class FileStream : public Stream {
 public:
  FileStream(const std::string& path, FileMode mode);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override;
  void SetSize(std::int64_t size) override;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace nimbra
