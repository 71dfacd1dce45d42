#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nimbra::engine {

// A digest over data attached to the object.
class TMessageDigest {
 public:
  virtual ~TMessageDigest() = default;
  virtual std::uint32_t Digest() = 0;
  virtual void Update(std::uint32_t& crc, std::size_t count, const void* data) = 0;
};

// The standard reflected CRC-32 (polynomial 0xEDB88320, initial value and
// final XOR 0xFFFFFFFF). Update is the bare table step without initial or
// final XOR, so callers that run a CRC over pieces start with 0xFFFFFFFF and
// complement at the end.
class TCRC32 : public TMessageDigest {
 public:
  TCRC32() = default;
  TCRC32(std::size_t length, const void* data) : length_(length), data_(data) {}

  void Attach(std::size_t length, const void* data) {
    length_ = length;
    data_ = data;
  }

  std::uint32_t Digest() override;
  void Update(std::uint32_t& crc, std::size_t count, const void* data) override {
    crc = UpdateCRC(crc, count, data);
  }

  static std::uint32_t UpdateCRC(std::uint32_t crc, std::size_t count, const void* data);
  // The CRC-32 of a whole buffer.
  static std::uint32_t Of(std::size_t count, const void* data) {
    return UpdateCRC(0xFFFFFFFFu, count, data) ^ 0xFFFFFFFFu;
  }

 private:
  std::size_t length_ = 0;
  const void* data_ = nullptr;
};

// The process-wide 256-entry table (entry 1 = 0x77073096).
const std::array<std::uint32_t, 256>& CRCTable();

}  // namespace nimbra::engine
