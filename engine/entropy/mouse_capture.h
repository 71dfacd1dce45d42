#pragma once

#include "engine/entropy/mouse_source.h"

namespace nimbra::engine {

class TfrmMouseCapture;

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

// The user interface's side of the capture dialog: it draws the dialog,
// forwards every pointer move over it to TfrmMouseCapture::MouseMove and the
// Cancel button to CancelClick, and keeps it modal until CloseModal.
class TMouseCaptureHost {
 public:
  virtual ~TMouseCaptureHost() = default;
  // Shows the form modally; returns once the form has closed.
  virtual void ShowModal(TfrmMouseCapture& form) = 0;
  virtual void CloseModal(TfrmMouseCapture& form) = 0;
  // A circle centred on (x, y) on the form's canvas.
  virtual void DrawCircle(TfrmMouseCapture& form, int x, int y, int radius) = 0;
  // The progress bar's position changed.
  virtual void ProgressChanged(TfrmMouseCapture& form) = 0;
};

// The modal dialog that asks for mouse scribbles until enough moves are seen:
// its texts, progress and closing rules.
class TfrmMouseCapture : public TMouseEventTarget {
 public:
  static constexpr const char* kCaption = "Now recording random mouse movements...";
  static constexpr const char* kLabel =
      "Please use the mouse to scribble randomly on this form for a few seconds...";
  static constexpr const char* kCancelCaption = "&Cancel";
  static constexpr int kWidth = 435;
  static constexpr int kHeight = 300;
  static constexpr int kCircleRadius = 3;

  explicit TfrmMouseCapture(TMouseCaptureHost& host);

  // Shows the dialog until `required` moves are seen or it is cancelled.
  TModalResult Run(int required);

  // A pointer move over the form: runs the form's current handler.
  void MouseMove(int shift, int x, int y);
  void CancelClick() { Close(mrCancel); }
  // The form's own handler: draw, count, step the progress, close when done.
  void FormMouseMove(int shift, int x, int y);
  void Close(TModalResult result);

  TMouseMoveEvent GetOnMouseMove() const override { return on_mouse_move_; }
  void SetOnMouseMove(TMouseMoveEvent handler) override { on_mouse_move_ = std::move(handler); }

  int MovesSeen() const { return moves_seen_; }
  int MovesRequired() const { return moves_required_; }
  int ProgressMin() const { return 0; }
  int ProgressMax() const { return moves_required_; }
  int ProgressPosition() const { return progress_position_; }
  TModalResult ModalResult() const { return modal_result_; }

 private:
  TMouseCaptureHost& host_;
  TMouseMoveEvent on_mouse_move_;
  int moves_seen_ = 0;
  int moves_required_ = 0;
  int progress_position_ = 0;
  TModalResult modal_result_ = mrNone;
};

}  // namespace nimbra::engine
