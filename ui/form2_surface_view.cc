// A widget that shows one model surface 1:1 (no smoothing) and reports mouse presses.
#include "ui/form2_surface_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace tvcpix {

QImage ImageOfSurface(const Surface& surface) {
  return QImage(surface.data(), surface.width(), surface.height(),
                static_cast<qsizetype>(surface.stride()), QImage::Format_BGR888);
}

int HandlerButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

SurfaceView::SurfaceView(const Surface* surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
  // The surface covers every pixel we show; skip Qt's background fill.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void SurfaceView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  // Beyond the surface (if the widget is larger) show the surface's background.
  const ColorValue bg = surface_->background();
  painter.fillRect(event->rect(), QColor(RedOf(bg), GreenOf(bg), BlueOf(bg)));
  if (surface_->width() > 0 && surface_->height() > 0) {
    painter.drawImage(QPoint(0, 0), ImageOfSurface(*surface_));
  }
}

void SurfaceView::mousePressEvent(QMouseEvent* event) {
  const int button = HandlerButton(event->button());
  // Only the three buttons the handlers know about raise the press.
  if (button == 0 || !on_press_) {
    event->ignore();
    return;
  }
  const QPointF p = event->position();
  on_press_(button, static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
  event->accept();
}

}  // namespace tvcpix
