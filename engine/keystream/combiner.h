#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/stream.h"
#include "engine/crc32.h"
#include "engine/keystream/pair_transpose.h"
#include "engine/keystream/swap_table.h"

namespace nimbra::engine {

class TS3MixtureGenerator;

// The engine's stream cipher on a keyed generator: data goes in 256-byte
// blocks, each XORed with the keystream, its byte pairs transposed with a
// keyed permutation, and the keystream then advanced by the low bits of the
// running CRC-32 of the plaintext. The cipher adds no bytes; the operations
// return the plaintext's CRC-32.
class TCombiner {
 public:
  static constexpr int kBlock = 256;

  explicit TCombiner(TS3MixtureGenerator& generator);
  TCombiner(const TCombiner&) = delete;
  TCombiner& operator=(const TCombiner&) = delete;
  virtual ~TCombiner();

  // One block of 1..256 bytes, in place; crc is the running (uncomplemented)
  // CRC of the plaintext.
  virtual void EncryptBlock(std::uint32_t& crc, int count, std::uint8_t* bytes);
  virtual void DecryptBlock(std::uint32_t& crc, int count, std::uint8_t* bytes);
  // Rounded up to a multiple of 256 (at least 256).
  virtual void SetBlockSize(int bytes);
  // 0 is taken as 15.
  virtual void SetSkipMask(std::uint8_t mask);

  virtual std::uint32_t EncryptBuffer(std::size_t count, std::uint8_t* bytes);
  virtual std::uint32_t EncryptStream(Stream& output, Stream& input);
  virtual std::uint32_t EncryptString(std::string& result, const std::string& text);
  virtual std::uint32_t DecryptBuffer(std::size_t count, std::uint8_t* bytes);
  virtual std::uint32_t DecryptStream(Stream& output, Stream& input);
  virtual std::uint32_t DecryptString(std::string& result, const std::string& text);

  // Overwrites the keyed state the combiner holds besides its generator (the
  // shared table and its prepared transposition, a skip put off); the
  // generator wipes its own.
  void Wipe();

  int BlockSize() const { return block_size_; }
  std::uint8_t SkipMask() const { return skip_mask_; }
  bool ByteMode() const { return byte_mode_; }
  void SetByteMode(bool byte_mode) { byte_mode_ = byte_mode; }
  TS3MixtureGenerator& Generator() { return *generator_; }
  const TSwapTable& SharedTable() const { return *swap_table_; }

  std::function<void(TCombiner& sender)> OnProgress;

 private:
  using BlockFn = void (TCombiner::*)(std::uint32_t&, int, std::uint8_t*);
  std::uint32_t ProcessBuffer(std::uint32_t crc, std::size_t count, std::uint8_t* bytes,
                              BlockFn block);
  std::uint32_t ProcessStream(Stream& output, Stream& input, BlockFn block);
  void XorKeystream(int count, std::uint8_t* bytes);
  void Transpose(const TSwapTable& table, int count, std::uint8_t* bytes);
  void ShuffleSharedTable();
  void Skip(std::uint32_t crc);
  // Draws a skip that was put off; before any draw but the next block's
  // byte-mode keystream, which takes it along.
  void FlushSkip();

  int block_size_ = 0;
  TCRC32 crc_;
  TS3MixtureGenerator* generator_;
  bool byte_mode_ = true;
  std::unique_ptr<TSwapTable> swap_table_;
  std::uint8_t skip_mask_ = 15;
  // The shared table's transposition as vector shuffles, where the
  // processor has them; prepared on first use after each reshuffle.
  std::unique_ptr<transpose::BlockShuffle> block_shuffle_;
  bool block_shuffle_ready_ = false;
  // Inside a buffer the skip after a block is drawn with the next block's
  // keystream: one run for both.
  bool defer_skip_ = false;
  std::size_t pending_skip_ = 0;
};

}  // namespace nimbra::engine
