#include "ui/qt/picture.h"

#include <QMouseEvent>
#include <QPainter>

namespace nimbra::uiqt {

namespace {
constexpr int kTrailLimit = 400;  // circles kept on a scribble area
}

int ShiftState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  int shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= 1;
  if (modifiers & Qt::AltModifier) shift |= 2;
  if (modifiers & Qt::ControlModifier) shift |= 4;
  if (buttons & Qt::LeftButton) shift |= 8;
  if (buttons & Qt::RightButton) shift |= 16;
  if (buttons & Qt::MiddleButton) shift |= 32;
  return shift;
}

PictureView::PictureView(std::string name, QWidget* parent)
    : QWidget(parent), name_(std::move(name)) {
  // The logos keep their size; the other pictures take the room they get.
  if (name_ == "HeadLogo" || name_ == "BackLogo" || name_ == "BackImage2")
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  if (name_ == "Animation") {
    // The searching animation turns while the box is shown.
    connect(&animation_, &QTimer::timeout, this, [this] {
      ++frame_;
      update();
    });
    animation_.start(120);
  }
}

void PictureView::SetPicture(const QPixmap& picture) {
  picture_ = picture;
  updateGeometry();
  update();
}

void PictureView::SetMouseHandler(MouseHandler handler) {
  mouse_ = std::move(handler);
  setMouseTracking(static_cast<bool>(mouse_));
  setCursor(mouse_ ? Qt::CrossCursor : Qt::ArrowCursor);
}

QSize PictureView::sizeHint() const {
  if (!picture_.isNull()) return picture_.deviceIndependentSize().toSize();
  if (name_ == "HeadLogo") return {132, 30};
  if (name_ == "BackLogo") return {240, 60};
  if (name_ == "BackImage2") return {240, 30};
  if (name_ == "MouseScribble") return {300, 140};
  if (name_ == "Illustration") return {260, 110};
  if (name_ == "Animation") return {200, 40};
  return {120, 60};
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (!picture_.isNull()) {
    painter.drawPixmap(rect(), picture_);
  } else {
    PaintBuiltIn(painter);
  }
  painter.setPen(QPen(QColor(0, 64, 160), 1));
  for (const QPoint& p : trail_) painter.drawEllipse(p, 4, 4);
}

void PictureView::PaintBuiltIn(QPainter& painter) {
  const QRect r = rect().adjusted(0, 0, -1, -1);
  if (name_ == "MouseScribble") {
    painter.fillRect(r, Qt::white);
    painter.setPen(Qt::gray);
    painter.drawRect(r);
  } else if (name_ == "Animation") {
    // A magnifier passing over a row of folders.
    painter.setPen(Qt::darkGray);
    for (int i = 0; i < 5; ++i) {
      painter.setBrush(QColor(240, 200, 80));
      painter.drawRect(10 + i * 36, r.height() / 2 - 8, 26, 18);
    }
    const int x = 10 + (frame_ % 5) * 36 + 13;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(QPoint(x, r.height() / 2), 9, 9);
    painter.drawLine(x + 6, r.height() / 2 + 6, x + 13, r.height() / 2 + 13);
  } else if (name_ == "Illustration") {
    // The property sheet of the e-mail program, with the time-out box.
    painter.fillRect(r, QColor(212, 208, 200));
    painter.setPen(Qt::black);
    painter.drawRect(r);
    painter.drawText(QRect(8, 8, r.width() - 16, 20), Qt::AlignLeft, "Properties");
    const QString caption = "Server timeout (seconds):";
    const int width = painter.fontMetrics().horizontalAdvance(caption);
    painter.drawText(QRect(8, 40, width, 20), Qt::AlignVCenter, caption);
    const QRect box(16 + width, 40, 60, 20);
    painter.fillRect(box, Qt::white);
    painter.drawRect(box);
    painter.drawText(box.adjusted(4, 0, 0, 0), Qt::AlignVCenter, "7200");
  } else {
    // The product's logo in the header, the backdrop and the pages.
    QLinearGradient gradient(r.topLeft(), r.topRight());
    gradient.setColorAt(0, QColor(0, 40, 120));
    gradient.setColorAt(1, QColor(40, 110, 200));
    painter.fillRect(r, gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(r, Qt::AlignCenter, "NimbraPost");
  }
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
  if (!mouse_) return QWidget::mouseMoveEvent(event);
  const QPoint p = event->position().toPoint();
  trail_.push_back(p);
  if (trail_.size() > kTrailLimit) trail_.erase(trail_.begin());
  update();
  mouse_(ShiftState(event->modifiers(), event->buttons()), p.x(), p.y());
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
  if (onClick && event->button() == Qt::LeftButton) onClick();
  QWidget::mouseReleaseEvent(event);
}

}  // namespace nimbra::uiqt
