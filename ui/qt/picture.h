#pragma once

#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace nimbra::uiqt {

// An image control: the loaded picture, or the built-in drawing named after
// the control (the logos, the time-out illustration, the searching
// animation of the preparation box). With a mouse handler it is a scribble
// area: each move is forwarded with its shift state and position and leaves
// a small circle where the pointer went.
class PictureView : public QWidget {
  Q_OBJECT
 public:
  PictureView(std::string name, QWidget* parent);

  void SetPicture(const QPixmap& picture);
  using MouseHandler = std::function<void(int shift, int x, int y)>;
  void SetMouseHandler(MouseHandler handler);
  std::function<void()> onClick;
  QSize sizeHint() const override;
  const std::vector<QPoint>& Trail() const { return trail_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void PaintBuiltIn(class QPainter& painter);

  std::string name_;
  QPixmap picture_;
  MouseHandler mouse_;
  std::vector<QPoint> trail_;
  QTimer animation_;
  int frame_ = 0;
};

// The Delphi shift state of a mouse event: 1 Shift, 2 Alt, 4 Ctrl, 8 left,
// 16 right, 32 middle button.
int ShiftState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

}  // namespace nimbra::uiqt
