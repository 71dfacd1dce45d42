#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/entropy/entropy.h"
#include "engine/entropy/mouse_capture.h"
#include "engine/entropy/random_gen.h"
#include "ui/form.h"
#include "ui/ui.h"

namespace nimbra::engine {
class TVRXCrypto;
}

namespace nimbra::keys {

// The entropy sampler's timer and cursor, taken from the user interface.
class UiEntropyPlatform : public engine::TEntropyPlatform {
 public:
  explicit UiEntropyPlatform(ui::Ui& ui) : ui_(ui) {}
  ~UiEntropyPlatform() override { StopTimer(); }
  UiEntropyPlatform(const UiEntropyPlatform&) = delete;
  UiEntropyPlatform& operator=(const UiEntropyPlatform&) = delete;

  void StartTimer(int interval_ms, std::function<void()> tick) override;
  void StopTimer() override;
  bool GetCursorPos(int& x, int& y) override;

 private:
  ui::Ui& ui_;
  int timer_ = 0;
};

// A control or window of the form model as a mouse-move target, so that a
// random source can hook the moves over it.
template <typename Window>
class UiMouseTarget : public engine::TMouseEventTarget {
 public:
  explicit UiMouseTarget(Window& window) : window_(window) {}
  engine::TMouseMoveEvent GetOnMouseMove() const override { return window_.onMouseMove; }
  void SetOnMouseMove(engine::TMouseMoveEvent handler) override {
    window_.onMouseMove = std::move(handler);
  }

 private:
  Window& window_;
};

// The mouse-capture dialog as a form of the user interface: its caption,
// text, Cancel button and progress bar; pointer moves over the form go to
// the dialog's logic.
class UiMouseCaptureHost : public engine::TMouseCaptureHost {
 public:
  explicit UiMouseCaptureHost(ui::Ui& ui) : ui_(ui) {}

  void ShowModal(engine::TfrmMouseCapture& form) override;
  void CloseModal(engine::TfrmMouseCapture& form) override;
  // The form model keeps no canvas: the window draws the pointer's trail.
  void DrawCircle(engine::TfrmMouseCapture&, int, int, int) override {}
  void ProgressChanged(engine::TfrmMouseCapture& form) override;

  // The form while the dialog is shown (for renderers and tests).
  ui::Form* Shown() { return shown_; }

 private:
  ui::Ui& ui_;
  ui::Form* shown_ = nullptr;
};

// Lets a crypto component ask the person for mouse movements through the
// user interface and keep the window alive during long steps. The binding
// must outlive the component's use of it.
class UiCryptoBinding {
 public:
  UiCryptoBinding(engine::TVRXCrypto& crypto, ui::Ui& ui);

 private:
  UiMouseCaptureHost host_;
};

// The key component's random generator: a cursor-fed entropy pool sampled
// every 100 ms through the user interface, whose output seeds a keystream
// random generator on first use.
class ComponentRandom {
 public:
  explicit ComponentRandom(ui::Ui& ui);

  void Fill(std::uint8_t* bytes, std::size_t count);
  engine::TGatherEntropy& Gatherer() { return gatherer_; }

 private:
  UiEntropyPlatform platform_;
  engine::TGatherEntropy gatherer_;
  engine::TRandomGen generator_;
  std::array<std::uint8_t, engine::TGatherEntropy::kOutputLimit> seed_{};
};

}  // namespace nimbra::keys
