#include "engine/entropy/random_gen.h"

#include <algorithm>
#include <cstring>

#include "engine/errors.h"
#include "engine/keys/key.h"
#include "engine/keystream/mixture_generator.h"

namespace nimbra::engine {

namespace {

// {127, 521, 607}.
constexpr TGeneratorSizes kSeedSizes = SizeBit(gs127_97) | SizeBit(gs521_158) | SizeBit(gs607_273);

}  // namespace

TRandomGen::TRandomGen() = default;
TRandomGen::~TRandomGen() = default;

void TRandomGen::SetSeedLength(int length) {
  seed_length_ = std::clamp(length, 0, kMaxSeedLength);
}

void TRandomGen::Seed() {
  seed_buffer_.fill(0xAA);
  if (seed_length_ > 0) {
    if (seed_data_ == nullptr) throw ERGIllegalSeedBufferAccess(msg::kSeedBufferAccess);
    std::memcpy(seed_buffer_.data() + 1, seed_data_, static_cast<std::size_t>(seed_length_));
  }
  seed_buffer_[0] = 0x81;
  seed_buffer_[151] = 0x81;

  generator_.reset();
  generator_ = std::make_unique<TS3MixtureGenerator>(3, kSeedSizes);
  TKey key(kSeedSizes);
  key.MakeFromBytesSpread(seed_buffer_.data(), 8 * static_cast<int>(seed_buffer_.size()));
  generator_->LoadKey(key);
  for (int i = 0; i < kPrimingBytes; ++i) generator_->OutputByte();
  seeded_ = true;
}

std::uint8_t TRandomGen::RandomByte() {
  if (!seeded_) throw ERGNotSeeded(msg::kNotSeeded);
  auto a = static_cast<std::uint8_t>(generator_->Output(8) & 0xFF);
  if (a < 16) generator_->Clock((a & 15) + 1);
  if (OnOutputRequest) OnOutputRequest(*this, a);
  return a;
}

}  // namespace nimbra::engine
