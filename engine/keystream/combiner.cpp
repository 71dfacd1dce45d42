#include "engine/keystream/combiner.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/secret_buffer.h"
#include "engine/errors.h"
#include "engine/keystream/mixture_generator.h"

namespace nimbra::engine {

namespace {
// Keeps a block size allocatable and its arithmetic within int.
constexpr std::int64_t kMaxBlockSize = std::int64_t{1} << 30;
}  // namespace

TCombiner::TCombiner(TS3MixtureGenerator& generator)
    : generator_(&generator), swap_table_(std::make_unique<TSwapTable>(kBlock, generator)) {
  if (transpose::BlockShuffle::Available())
    block_shuffle_ = std::make_unique<transpose::BlockShuffle>();
  SetBlockSize(4096);
  byte_mode_ = true;
  SetSkipMask(15);
}

TCombiner::~TCombiner() = default;

void TCombiner::SetBlockSize(int bytes) {
  // Division truncates toward zero, so 0 gives 256; sizes that would come
  // out at zero or below are taken as one block.
  const std::int64_t rounded = ((std::int64_t{bytes} - 1) / kBlock + 1) * kBlock;
  block_size_ = static_cast<int>(std::clamp<std::int64_t>(rounded, kBlock, kMaxBlockSize));
}

void TCombiner::SetSkipMask(std::uint8_t mask) {
  skip_mask_ = mask == 0 ? 15 : mask;
}

void TCombiner::XorKeystream(int count, std::uint8_t* bytes) {
  if (byte_mode_) {
    generator_->DropThenXorOutputBytes(pending_skip_, bytes, static_cast<std::size_t>(count));
    pending_skip_ = 0;
  } else {
    FlushSkip();
    generator_->XorOutputBits8(bytes, static_cast<std::size_t>(count));
  }
}

void TCombiner::Transpose(const TSwapTable& table, int count, std::uint8_t* bytes) {
  // The shared table serves many blocks, so preparing its shuffles pays;
  // a partial block's own table serves one.
  if (block_shuffle_ && &table == swap_table_.get()) {
    if (!block_shuffle_ready_) {
      block_shuffle_->Prepare(table.Table().data());
      block_shuffle_ready_ = true;
    }
    block_shuffle_->Apply(bytes);
    return;
  }
  transpose::SwapPairs(table.Table().data(), count, bytes);
}

void TCombiner::Wipe() {
  swap_table_->Wipe();
  if (block_shuffle_) block_shuffle_->Wipe();
  block_shuffle_ready_ = false;
  pending_skip_ = 0;
}

void TCombiner::ShuffleSharedTable() {
  FlushSkip();
  swap_table_->Shuffle();
  block_shuffle_ready_ = false;
}

void TCombiner::Skip(std::uint32_t crc) {
  // OutputByte whatever the byte mode: the byte-mode keystream, dropped.
  FlushSkip();
  pending_skip_ = crc & skip_mask_;
  if (!defer_skip_) FlushSkip();
}

void TCombiner::FlushSkip() {
  if (pending_skip_ == 0) return;
  generator_->DropThenXorOutputBytes(pending_skip_, nullptr, 0);
  pending_skip_ = 0;
}

void TCombiner::EncryptBlock(std::uint32_t& crc, int count, std::uint8_t* bytes) {
  crc_.Update(crc, static_cast<std::size_t>(count), bytes);
  std::unique_ptr<TSwapTable> own;
  if (count < kBlock) {
    FlushSkip();
    own = std::make_unique<TSwapTable>(count, *generator_);
  }
  const TSwapTable& table = own ? *own : *swap_table_;
  XorKeystream(count, bytes);
  Transpose(table, count, bytes);
  Skip(crc);
}

void TCombiner::DecryptBlock(std::uint32_t& crc, int count, std::uint8_t* bytes) {
  std::unique_ptr<TSwapTable> own;
  if (count < kBlock) {
    FlushSkip();
    own = std::make_unique<TSwapTable>(count, *generator_);
  }
  const TSwapTable& table = own ? *own : *swap_table_;
  Transpose(table, count, bytes);
  XorKeystream(count, bytes);
  crc_.Update(crc, static_cast<std::size_t>(count), bytes);
  Skip(crc);
}

std::uint32_t TCombiner::ProcessBuffer(std::uint32_t crc, std::size_t count, std::uint8_t* bytes,
                                       BlockFn block) {
  // Whatever leaves, the generator is left where the last skip puts it.
  struct DeferSkips {
    TCombiner& c;
    explicit DeferSkips(TCombiner& combiner) : c(combiner) { c.defer_skip_ = true; }
    ~DeferSkips() {
      c.defer_skip_ = false;
      c.FlushSkip();
    }
  } defer(*this);
  std::size_t p = 0;
  for (; p + kBlock <= count; p += kBlock) {
    if (p % static_cast<std::size_t>(block_size_) == 0) ShuffleSharedTable();
    (this->*block)(crc, kBlock, bytes + p);
  }
  if (p < count) (this->*block)(crc, static_cast<int>(count - p), bytes + p);
  return crc;
}

std::uint32_t TCombiner::EncryptBuffer(std::size_t count, std::uint8_t* bytes) {
  return ProcessBuffer(0xFFFFFFFFu, count, bytes, &TCombiner::EncryptBlock) ^ 0xFFFFFFFFu;
}

std::uint32_t TCombiner::DecryptBuffer(std::size_t count, std::uint8_t* bytes) {
  return ProcessBuffer(0xFFFFFFFFu, count, bytes, &TCombiner::DecryptBlock) ^ 0xFFFFFFFFu;
}

std::uint32_t TCombiner::EncryptString(std::string& result, const std::string& text) {
  result = text;
  return EncryptBuffer(result.size(), reinterpret_cast<std::uint8_t*>(result.data()));
}

std::uint32_t TCombiner::DecryptString(std::string& result, const std::string& text) {
  result = text;
  return DecryptBuffer(result.size(), reinterpret_cast<std::uint8_t*>(result.data()));
}

std::uint32_t TCombiner::ProcessStream(Stream& output, Stream& input, BlockFn block) {
  std::uint32_t crc = 0xFFFFFFFFu;
  // Plain text passes through here: it is wiped when the call ends.
  SecretBuffer buffer;
  try {
    buffer.Resize(static_cast<std::size_t>(block_size_));
  } catch (const std::bad_alloc&) {
    throw ECombinerNoMemory(msg::kCombinerNoMemory);
  }
  try {
    for (;;) {
      const std::size_t r = input.Read(buffer.data(), buffer.size());
      crc = ProcessBuffer(crc, r, buffer.data(), block);
      if (r > 0) {
        output.WriteBuffer(buffer.data(), r);
        if (OnProgress) OnProgress(*this);
      }
      if (r < buffer.size()) break;
    }
  } catch (const std::exception&) {
    throw ECombinerStreamFault(msg::kCombinerStreamFault);
  }
  return crc ^ 0xFFFFFFFFu;
}

std::uint32_t TCombiner::EncryptStream(Stream& output, Stream& input) {
  return ProcessStream(output, input, &TCombiner::EncryptBlock);
}

std::uint32_t TCombiner::DecryptStream(Stream& output, Stream& input) {
  return ProcessStream(output, input, &TCombiner::DecryptBlock);
}

}  // namespace nimbra::engine
