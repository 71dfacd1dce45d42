#pragma once

#include <cstdint>
#include <functional>

#include "engine/bit_array.h"

namespace nimbra::engine {

// A FIFO of bits on a bit array. The newest bit is array bit 0, the oldest
// array bit Count - 1; bits enter least significant first and leave in the
// same order, so Extract calls of the sizes of earlier Insert calls return
// the inserted values. The capacity is the requested one rounded up to whole
// words.
class TCustomBitQueue : public TBitArray {
 public:
  using TNotifyEvent = std::function<void(TCustomBitQueue& sender)>;

  explicit TCustomBitQueue(int capacity);

  int Capacity() const { return BitCount(); }
  int Count() const { return count_; }
  int LowWaterMark() const { return low_water_mark_; }
  // 0 is taken as 1; the stored value is at most Capacity - 1.
  void SetLowWaterMark(int m);

  TNotifyEvent OnEmpty;
  TNotifyEvent OnFull;
  TNotifyEvent OnLow;

  virtual void Discard(int k);
  virtual std::uint32_t Extract(int k);         // k <= 32
  virtual void Insert(std::uint32_t v, int k);  // k <= 31
  virtual void Insert32(std::uint32_t v);
  virtual std::uint32_t Peek(int k) const;  // k <= 32, the oldest bit as bit 0

 protected:
  // Moves the content k (1..31) places toward the end and puts the low k
  // bits of v in front; no checks, no events.
  void ShiftIn(std::uint32_t v, int k);

 private:
  void AfterInsert();

  int low_water_mark_ = -1;
  int count_ = 0;
};

}  // namespace nimbra::engine
