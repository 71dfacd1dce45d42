#include "engine/bit_queue.h"

#include <algorithm>
#include <string>

#include "engine/errors.h"

namespace nimbra::engine {

namespace {
int RoundedCapacity(int capacity) {
  return ((capacity - 1) / 32 + 1) * 32;
}
}  // namespace

TCustomBitQueue::TCustomBitQueue(int capacity) : TBitArray(RoundedCapacity(capacity)) {
  SetLowWaterMark(-1);
}

void TCustomBitQueue::SetLowWaterMark(int m) {
  if (m == 0) m = 1;
  low_water_mark_ = std::min(m, Capacity() - 1);
}

void TCustomBitQueue::ShiftIn(std::uint32_t v, int k) {
  std::uint32_t* w = Words();
  const int last = std::min((count_ + k - 1) / 32, WordCount() - 1);
  for (int i = last; i > 0; --i) w[i] = (w[i] >> k) | (w[i - 1] << (32 - k));
  const std::uint32_t field = v & ((1u << k) - 1);
  w[0] = (w[0] >> k) | (field << (32 - k));
}

void TCustomBitQueue::AfterInsert() {
  if (count_ == Capacity() && OnFull) OnFull(*this);
}

void TCustomBitQueue::Insert(std::uint32_t v, int k) {
  if (k >= 32 || k < 0) throw EBitQueueInvalidInsert(std::to_string(k) + msg::kQueueInsertionBits);
  if (count_ + k > Capacity()) throw EBitQueueOverflow(msg::kQueueOverflow);
  if (k > 0) ShiftIn(v, k);
  count_ += k;
  AfterInsert();
}

void TCustomBitQueue::Insert32(std::uint32_t v) {
  if (count_ + 32 > Capacity()) throw EBitQueueOverflow(msg::kQueueOverflow);
  std::uint32_t* w = Words();
  const int last = std::min(count_ / 32 + 1, WordCount() - 1);
  for (int i = last; i > 0; --i) w[i] = w[i - 1];
  w[0] = v;
  count_ += 32;
  AfterInsert();
}

std::uint32_t TCustomBitQueue::Peek(int k) const {
  if (k > count_) throw EBitQueueInvalidPeek(msg::kQueuePeekShort);
  if (k > 32)
    throw EBitQueueInvalidPeek(std::to_string(k) + msg::kQueueExceedsMax + "32" +
                               msg::kQueuePeekBits);
  if (k <= 0) return 0;
  const std::uint32_t* w = Words();
  const int start = count_ - 32;  // first array bit of the 32-bit window
  std::uint32_t x;
  if (start < 0) {
    x = w[0] >> (32 - count_);
  } else {
    const int off = start & 31;
    x = w[start >> 5] << off;
    if (off) x |= w[(start >> 5) + 1] >> (32 - off);
  }
  return k == 32 ? x : x & ((1u << k) - 1);
}

void TCustomBitQueue::Discard(int k) {
  if (k > count_) throw EBitQueueUnderflow(msg::kQueueUnderflow);
  if (k < 0) return;
  count_ -= k;
  if (low_water_mark_ >= count_ && OnLow) OnLow(*this);
  if (count_ == 0 && OnEmpty) OnEmpty(*this);
}

std::uint32_t TCustomBitQueue::Extract(int k) {
  if (k > count_) throw EBitQueueUnderflow(msg::kQueueUnderflow);
  if (k > 32)
    throw EBitQueueInvalidExtract(std::to_string(k) + msg::kQueueExceedsMax + "32" +
                                  msg::kQueueExtractionBits);
  const std::uint32_t v = Peek(k);
  Discard(k);
  return v;
}

}  // namespace nimbra::engine
