#include "engine/entropy/mouse_capture.h"

namespace nimbra::engine {

TfrmMouseCapture::TfrmMouseCapture(TMouseCaptureHost& host) : host_(host) {
  on_mouse_move_ = [this](int shift, int x, int y) { FormMouseMove(shift, x, y); };
}

TModalResult TfrmMouseCapture::Run(int required) {
  moves_required_ = required;
  moves_seen_ = 0;
  progress_position_ = 0;
  modal_result_ = mrNone;
  host_.ShowModal(*this);
  return modal_result_;
}

void TfrmMouseCapture::MouseMove(int shift, int x, int y) {
  if (on_mouse_move_) on_mouse_move_(shift, x, y);
}

void TfrmMouseCapture::FormMouseMove(int /*shift*/, int x, int y) {
  if (modal_result_ != mrNone) return;
  host_.DrawCircle(*this, x, y, kCircleRadius);
  ++moves_seen_;
  if (progress_position_ < moves_required_) ++progress_position_;
  host_.ProgressChanged(*this);
  if (moves_seen_ >= moves_required_) Close(mrOk);
}

void TfrmMouseCapture::Close(TModalResult result) {
  if (modal_result_ != mrNone) return;
  modal_result_ = result;
  host_.CloseModal(*this);
}

}  // namespace nimbra::engine
