// A widget that shows one model surface 1:1 (no smoothing) and reports mouse presses.
#ifndef TVCPIX_UI_FORM2_SURFACE_VIEW_H_
#define TVCPIX_UI_FORM2_SURFACE_VIEW_H_

#include <QImage>
#include <QWidget>
#include <functional>

#include "core/surface.h"

namespace tvcpix {

// Wraps the surface's pixels without copying; valid until the surface changes size.
QImage ImageOfSurface(const Surface& surface);

// The handlers number buttons 1 left, 2 right, 4 middle; 0 for any other button.
int HandlerButton(Qt::MouseButton button);

class SurfaceView : public QWidget {
 public:
  // Called with the handler's button number and the pixel under the pointer.
  using PressHandler = std::function<void(int button, int x, int y)>;

  SurfaceView(const Surface* surface, QWidget* parent);

  void set_press_handler(PressHandler handler) { on_press_ = std::move(handler); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  const Surface* surface_;
  PressHandler on_press_;
};

}  // namespace tvcpix

#endif  // TVCPIX_UI_FORM2_SURFACE_VIEW_H_
