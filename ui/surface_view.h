// PictureView: a widget that shows one model surface pixel for pixel and reports the mouse.
#ifndef TVCPIX_UI_SURFACE_VIEW_H_
#define TVCPIX_UI_SURFACE_VIEW_H_

#include <QWidget>

#include "core/surface.h"

namespace tvcpix {

// Draws the surface at its logical size from the top-left corner, never smoothed (a high-DPI
// screen scales the whole window, not the picture). Mouse positions are reported in surface
// pixels: the logical position rounded down.
class PictureView : public QWidget {
  Q_OBJECT

 public:
  // The surface is owned by the model and outlives the view.
  PictureView(const Surface* surface, QWidget* parent);

  const Surface& surface() const { return *surface_; }
  // The surface as a detached image, for checks and screenshots.
  QImage ToImage() const;

  // The handlers number the buttons 1 left, 2 right, 4 middle; 0 for any other button.
  static int HandlerButton(Qt::MouseButton button);

 signals:
  // Every pointer movement over the view (with mouse tracking on) or while a button is held.
  void MouseMoved(int x, int y);
  // A press of the left, right or middle button.
  void MousePressed(int button, int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  const Surface* surface_;
};

}  // namespace tvcpix

#endif  // TVCPIX_UI_SURFACE_VIEW_H_
