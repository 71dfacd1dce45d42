#pragma once

#include <cstdint>
#include <functional>

#include "engine/bit_queue.h"

namespace nimbra::engine {

// A mouse-move handler: (Shift, X, Y).
using TMouseMoveEvent = std::function<void(int shift, int x, int y)>;

// A control of the user interface whose mouse-move handler can be read and
// replaced. The engine includes no interface code: the user-interface layer
// adapts its controls (and the capture dialog) to this.
class TMouseEventTarget {
 public:
  virtual ~TMouseEventTarget() = default;
  virtual TMouseMoveEvent GetOnMouseMove() const = 0;
  virtual void SetOnMouseMove(TMouseMoveEvent handler) = 0;
};

// A bit queue that collects random bits and can be switched on and off.
class TRandomSource : public TCustomBitQueue {
 public:
  explicit TRandomSource(int capacity) : TCustomBitQueue(capacity) {}

  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled) = 0;

  // Copies the k newest bits (array bits 0 .. k-1) into out (an array of k
  // bits) and removes exactly those bits; the older bits stay, in order.
  void TakeNewest(int k, TBitArray& out);

 protected:
  bool enabled_ = false;
};

// A random source fed with the low nibbles of the pointer position on every
// mouse move over the control it is attached to. When full it drops the
// oldest bits, so it always holds the newest ones.
class TMouseRandomSource : public TRandomSource {
 public:
  explicit TMouseRandomSource(int capacity) : TRandomSource(capacity) {}
  ~TMouseRandomSource() override;

  // Never overflows: the oldest bits make room first.
  void Insert(std::uint32_t v, int k) override;
  void SetEnabled(bool enabled) override { enabled_ = enabled; }

  // 8 bits per move: X and 0xF, then Y and 0xF, 4 bits each.
  virtual void AddMouseSample(int shift, int x, int y);
  // Gives the previous control its handler back, then hooks the new one
  // (null detaches). An attached control must outlive the attachment: the
  // source gives the handler back when it is destroyed.
  virtual void AttachTo(TMouseEventTarget* control);
  TMouseEventTarget* AttachedControl() const { return control_; }

 private:
  void Hook(int shift, int x, int y);

  TMouseMoveEvent previous_;
  TMouseEventTarget* control_ = nullptr;
};

}  // namespace nimbra::engine
