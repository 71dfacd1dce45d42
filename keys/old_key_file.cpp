#include "keys/old_key_file.h"

#include <cstring>

#include "core/stream.h"

namespace nimbra::keys {

namespace {

class EntryReader {
 public:
  explicit EntryReader(const std::uint8_t* entry) : entry_(entry) {}
  std::string Text(std::size_t field) {
    const char* start = reinterpret_cast<const char*>(entry_ + offset_);
    const std::size_t length = strnlen(start, field - 1);
    offset_ += field;
    return std::string(start, length);
  }
  std::uint8_t Byte() { return entry_[offset_++]; }
  std::int32_t Int() {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | entry_[offset_ + std::size_t(i)];
    offset_ += 4;
    return static_cast<std::int32_t>(value);
  }
  std::vector<std::uint8_t> Bytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(entry_ + offset_, entry_ + offset_ + count);
    offset_ += count;
    return bytes;
  }
  std::size_t Offset() const { return offset_; }

 private:
  const std::uint8_t* entry_;
  std::size_t offset_ = 0;
};

OldKeyEntry ReadEntry(const std::uint8_t* data) {
  EntryReader in(data);
  OldKeyEntry entry;
  entry.name = in.Text(65);
  entry.keyClass = in.Byte();
  entry.label = in.Text(81);
  entry.keyId = in.Text(21);
  entry.version = in.Text(41);
  entry.encrypt = in.Byte() != 0;
  entry.deliver = in.Byte() != 0;
  entry.verified = in.Byte() != 0;
  entry.signatureId = in.Text(41);
  entry.signatureType = in.Text(41);
  entry.signingName = in.Text(101);
  entry.signingKey = in.Text(201);
  entry.source = in.Byte();
  entry.aliases = in.Text(8193);
  entry.block1Length = in.Int();
  entry.block1 = in.Bytes(kOldBlockSize);
  entry.block2Length = in.Int();
  entry.block2 = in.Bytes(kOldBlockSize);
  entry.dsaText = in.Text(2050);
  return entry;
}

std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

}  // namespace

std::vector<OldKeyEntry> ParseOldKeyFile(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 16 || std::memcmp(bytes.data(), kOldKeyFileMagic, 8) != 0)
    throw EOldKeyFile("Not an older key file");
  if (U32(bytes.data() + 8) != kOldKeyEntrySize)
    throw EOldKeyFile("Older key file has entries of an unknown size");
  const std::uint64_t count = U32(bytes.data() + 12);
  if (count > (bytes.size() - 16) / kOldKeyEntrySize)
    throw EOldKeyFile("Older key file is cut short");
  std::vector<OldKeyEntry> entries;
  entries.reserve(count);
  for (std::uint64_t i = 0; i < count; ++i)
    entries.push_back(ReadEntry(bytes.data() + 16 + i * kOldKeyEntrySize));
  return entries;
}

std::vector<OldKeyEntry> ReadOldKeyFile(const std::string& path) {
  FileStream file(path, FileMode::OpenRead);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
  file.ReadBuffer(bytes.data(), bytes.size());
  return ParseOldKeyFile(bytes);
}

}  // namespace nimbra::keys
