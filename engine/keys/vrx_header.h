#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/stream.h"
#include "engine/keystream/generator_sizes.h"

namespace nimbra::engine {

// The 24-byte prefix every binary header of the engine starts with:
// header length, the values 3 and 1, a code, and the name "VRX_____" as a
// length byte and eight characters. Derived headers append their own bytes.
class TVRXHeader {
 public:
  static constexpr std::uint32_t kPrefixSize = 24;
  enum Code : std::uint8_t { kPlain = 0, kPowerTable = 1, kKey = 2, kCiphertext = 3 };

  TVRXHeader();
  virtual ~TVRXHeader() = default;

  virtual const char* ClassName() const { return "TVRXHeader"; }
  virtual void LoadFromStream(Stream& s);
  virtual void SaveToStream(Stream& s) const;

  std::uint32_t HeaderLength() const { return header_length_; }
  std::uint8_t HeaderCode() const { return code_; }
  // The stored name (at most eight characters).
  std::string PrefixName() const;

 protected:
  TVRXHeader(std::uint32_t length, Code code);
  // Reads the 24 prefix bytes; a short read raises EVRXHeaderBadPrefix.
  void ReadPrefix(Stream& s);
  // For derived headers: the prefix, the code check, the class's own bytes
  // and the skip over any bytes a longer header declares.
  void LoadDerived(Stream& s, Code code, const char* wrong_code, std::uint8_t* own,
                   std::size_t own_size);
  void SaveWith(Stream& s, const std::uint8_t* own, std::size_t own_size) const;

 private:
  void LoadPrefixChecked(Stream& s);

  std::uint32_t header_length_;
  std::uint32_t value3_ = 3;
  std::uint32_t value1_ = 1;
  std::uint8_t code_;
  std::uint8_t name_length_ = 8;
  std::array<char, 8> name_{'V', 'R', 'X', '_', '_', '_', '_', '_'};
};

// Prefix (length 28, code 1) and the byte size of the power table after it.
class TVRXPowerTableHeader : public TVRXHeader {
 public:
  static constexpr std::uint32_t kSize = 28;
  TVRXPowerTableHeader() : TVRXHeader(kSize, kPowerTable) {}
  const char* ClassName() const override { return "TVRXPowerTableHeader"; }
  void LoadFromStream(Stream& s) override;
  void SaveToStream(Stream& s) const override;

  std::uint32_t TableByteSize = 0;
};

// Prefix (length 40, code 2), subkey count, size set, block size, granularity.
class TKeyHeader : public TVRXHeader {
 public:
  static constexpr std::uint32_t kSize = 40;
  TKeyHeader() : TVRXHeader(kSize, kKey) {}
  const char* ClassName() const override { return "TKeyHeader"; }
  void LoadFromStream(Stream& s) override;
  void SaveToStream(Stream& s) const override;

  std::uint32_t SubkeyCount = 0;
  TGeneratorSizes Sizes = 0;
  std::uint32_t BlockSize = 0;
  std::uint8_t Granularity = 0;
};

// Prefix (length 52, code 3) and 28 bytes holding the optional recipient key
// identifier (a length byte at offset 29, eight characters at 30).
class TCiphertextHeader : public TVRXHeader {
 public:
  static constexpr std::uint32_t kSize = 52;
  TCiphertextHeader() : TVRXHeader(kSize, kCiphertext) {}
  const char* ClassName() const override { return "TCiphertextHeader"; }
  void LoadFromStream(Stream& s) override;
  void SaveToStream(Stream& s) const override;

  // Empty when absent; otherwise at most 8 characters are stored.
  std::string RecipientKeyId() const;
  void SetRecipientKeyId(const std::string& id);
  // The 28 bytes after the prefix, as stored.
  std::array<std::uint8_t, 28>& Body() { return body_; }
  const std::array<std::uint8_t, 28>& Body() const { return body_; }

 private:
  std::array<std::uint8_t, 28> body_{};
};

}  // namespace nimbra::engine
