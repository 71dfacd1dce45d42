#include "keys/ui_entropy.h"

#include <algorithm>
#include <cstring>

#include "engine/keys/vrx_crypto.h"

namespace nimbra::keys {

void UiEntropyPlatform::StartTimer(int interval_ms, std::function<void()> tick) {
  StopTimer();
  timer_ = ui_.StartTimer(interval_ms, std::move(tick));
}

void UiEntropyPlatform::StopTimer() {
  if (timer_ == 0) return;
  ui_.StopTimer(timer_);
  timer_ = 0;
}

bool UiEntropyPlatform::GetCursorPos(int& x, int& y) {
  const ui::Point at = ui_.CursorPos();
  x = at.x;
  y = at.y;
  return true;
}

void UiMouseCaptureHost::ShowModal(engine::TfrmMouseCapture& form) {
  using K = ui::ControlKind;
  using engine::TfrmMouseCapture;
  ui::Form dialog("TfrmMouseCapture", TfrmMouseCapture::kCaption);
  dialog.width = TfrmMouseCapture::kWidth;
  dialog.height = TfrmMouseCapture::kHeight;
  dialog.Add("Label1", K::Label, "", TfrmMouseCapture::kLabel);
  dialog.Add("Cancel", K::Button, "", TfrmMouseCapture::kCancelCaption).onClick = [&form] {
    form.CancelClick();
  };
  ui::Control& progress = dialog.Add("ProgressBar1", K::ProgressBar, "");
  progress.minimum = form.ProgressMin();
  progress.maximum = form.ProgressMax();
  progress.position = form.ProgressPosition();
  dialog.onMouseMove = [&form](int shift, int x, int y) { form.MouseMove(shift, x, y); };

  shown_ = &dialog;
  try {
    ui_.ShowModal(dialog);
  } catch (...) {
    shown_ = nullptr;
    throw;
  }
  shown_ = nullptr;
  // Closing the window by other means than the dialog's own rules cancels it.
  if (form.ModalResult() == engine::mrNone) form.Close(engine::mrCancel);
}

void UiMouseCaptureHost::CloseModal(engine::TfrmMouseCapture& form) {
  if (shown_) {
    shown_->Close(form.ModalResult() == engine::mrOk ? ui::ModalResult::Ok
                                                     : ui::ModalResult::Cancel);
  }
}

void UiMouseCaptureHost::ProgressChanged(engine::TfrmMouseCapture& form) {
  if (shown_) shown_->At("ProgressBar1").position = form.ProgressPosition();
}

UiCryptoBinding::UiCryptoBinding(engine::TVRXCrypto& crypto, ui::Ui& ui) : host_(ui) {
  crypto.CaptureHost = &host_;
  crypto.OnProcessMessages = [&ui] { ui.ProcessMessages(); };
}

ComponentRandom::ComponentRandom(ui::Ui& ui) : platform_(ui), gatherer_(platform_) {}

void ComponentRandom::Fill(std::uint8_t* bytes, std::size_t count) {
  if (!generator_.Seeded()) {
    const std::uint8_t* pool = gatherer_.TakeOutput();
    const int size = gatherer_.Outputsize();
    std::memcpy(seed_.data(), pool, static_cast<std::size_t>(size));
    generator_.SetSeedData(seed_.data());
    generator_.SetSeedLength(size);
    generator_.Seed();
  }
  std::generate_n(bytes, count, [this] { return generator_.RandomByte(); });
}

}  // namespace nimbra::keys
