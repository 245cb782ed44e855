// A fast stand-in for the S-CIELAB error at preview resolution: both pictures go to the
// opponent colour space, each plane is blurred by its pair of Gaussians (each as three box
// passes, scaled to the displayed pixel shape at a viewing distance of four picture heights),
// and the mean CIELAB difference of the blurred pictures is returned. Plain arithmetic in a
// fixed order, so the value is the same on every machine.
#ifndef TVCPIX_DITHER_FILTERED_ERROR_H_
#define TVCPIX_DITHER_FILTERED_ERROR_H_

#include <vector>

#include "core/surface.h"
#include "dither/aspect_ordered.h"

namespace tvcpix {

class FilteredErrorMeter {
 public:
  // The reference is blurred once here; every Measure compares against it.
  FilteredErrorMeter(const Surface& reference, PixelAspect aspect);
  // Mean CIELAB difference (about 0..100) of a picture of the reference's size.
  double Measure(const Surface& picture) const;

 private:
  using Planes = std::array<std::vector<float>, 3>;
  Planes Filtered(const Surface& picture) const;

  int width_, height_;
  PixelAspect aspect_;
  std::vector<float> ref_l_, ref_a_, ref_b_;
};

// CIELAB lightness (0..100) of an sRGB colour.
double Lightness(int red, int green, int blue);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_FILTERED_ERROR_H_
