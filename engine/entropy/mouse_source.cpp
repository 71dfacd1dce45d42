#include "engine/entropy/mouse_source.h"

#include <algorithm>

#include "engine/errors.h"

namespace nimbra::engine {

void TRandomSource::TakeNewest(int k, TBitArray& out) {
  if (k > Count()) throw EBitQueueUnderflow(msg::kQueueUnderflow);
  out.Assign(*this);
  // Move the remaining bits k places toward the front (bit p := bit p + k).
  std::uint32_t* w = Words();
  const int words = WordCount(), q = k / 32, r = k % 32;
  for (int i = 0; i < words; ++i) {
    const std::uint32_t hi = i + q < words ? w[i + q] : 0;
    const std::uint32_t lo = i + q + 1 < words ? w[i + q + 1] : 0;
    w[i] = r == 0 ? hi : (hi << r) | (lo >> (32 - r));
  }
  Discard(k);
}

TMouseRandomSource::~TMouseRandomSource() {
  if (control_ != nullptr) control_->SetOnMouseMove(previous_);
}

void TMouseRandomSource::Insert(std::uint32_t v, int k) {
  if (k >= 0 && k < 32 && Count() + k > Capacity()) Discard(Count() + k - Capacity());
  TCustomBitQueue::Insert(v, k);
}

void TMouseRandomSource::AddMouseSample(int /*shift*/, int x, int y) {
  Insert(static_cast<std::uint32_t>(x) & 0xF, 4);
  Insert(static_cast<std::uint32_t>(y) & 0xF, 4);
}

void TMouseRandomSource::AttachTo(TMouseEventTarget* control) {
  if (control_ != nullptr) {
    control_->SetOnMouseMove(previous_);
    previous_ = nullptr;
  }
  if (control != nullptr) {
    previous_ = control->GetOnMouseMove();
    control->SetOnMouseMove([this](int shift, int x, int y) { Hook(shift, x, y); });
  }
  control_ = control;
}

void TMouseRandomSource::Hook(int shift, int x, int y) {
  if (Enabled()) AddMouseSample(shift, x, y);
  if (previous_) previous_(shift, x, y);
}

}  // namespace nimbra::engine
