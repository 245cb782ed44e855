// PictureView: a widget that shows one model surface pixel for pixel and reports the mouse.
#include "ui/surface_view.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace tvcpix {
namespace {

// Wraps the surface's bytes (top-down BGR, packed rows) without copying.
QImage WrapSurface(const Surface& surface) {
  return QImage(surface.data(), surface.width(), surface.height(),
                static_cast<qsizetype>(surface.stride()), QImage::Format_BGR888);
}

int Floor(qreal v) { return static_cast<int>(std::floor(v)); }

}  // namespace

PictureView::PictureView(const Surface* surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
  // Every pixel is painted below; Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage PictureView::ToImage() const {
  if (surface_->width() <= 0 || surface_->height() <= 0) return QImage();
  return WrapSurface(*surface_).copy();
}

int PictureView::HandlerButton(Qt::MouseButton button) {
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

void PictureView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  // Outside a smaller surface the view shows the surface's background colour.
  const ColorValue bg = surface_->background();
  painter.fillRect(event->rect(), QColor(RedOf(bg), GreenOf(bg), BlueOf(bg)));
  if (surface_->width() > 0 && surface_->height() > 0) {
    painter.drawImage(QPoint(0, 0), WrapSurface(*surface_));
  }
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
  const QPointF p = event->position();
  emit MouseMoved(Floor(p.x()), Floor(p.y()));
  event->accept();
}

void PictureView::mousePressEvent(QMouseEvent* event) {
  const int button = HandlerButton(event->button());
  if (button == 0) {
    event->ignore();
    return;
  }
  const QPointF p = event->position();
  emit MousePressed(button, Floor(p.x()), Floor(p.y()));
  event->accept();
}

}  // namespace tvcpix
