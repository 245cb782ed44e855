// Surfaces (persistent rasters) and ScaleSurface.
#ifndef TVCPIX_CORE_SURFACE_H_
#define TVCPIX_CORE_SURFACE_H_

#include <cstdint>
#include <string>

#include "core/color.h"
#include "core/pixel_memory.h"

namespace tvcpix {

// A picture area: width x height pixels, stored top-down, 3 bytes each (blue, green, red),
// rows packed without padding (stride 3 * width).
class Surface {
 public:
  Surface() = default;
  Surface(std::string name, int width, int height, ColorValue background);

  const std::string& name() const { return name_; }
  int width() const { return width_; }
  int height() const { return height_; }
  ColorValue background() const { return background_; }
  std::size_t stride() const { return static_cast<std::size_t>(width_) * 3; }

  std::uint8_t* row(int y) { return pixels_.data() + stride() * static_cast<std::size_t>(y); }
  const std::uint8_t* row(int y) const {
    return pixels_.data() + stride() * static_cast<std::size_t>(y);
  }
  std::uint8_t* data() { return pixels_.data(); }
  const std::uint8_t* data() const { return pixels_.data(); }
  std::size_t size_bytes() const { return pixels_.size(); }

  // Fills every pixel with the background colour.
  void Clear();
  // Fills every pixel with one colour.
  void Fill(ColorValue color);
  // Gives the surface a new size and pixels (the assignment of a picture to Pic1).
  // The new pixels are filled with the background colour.
  void Reshape(int width, int height);
  // Swaps in already decoded pixels (top-down BGR, 3 * width * height bytes).
  void Assign(int width, int height, PixelBytes bgr);
  // Takes over another surface's size and pixels, keeping this surface's name and background.
  void AdoptPixels(Surface&& other);

  void SetPixel(int x, int y, ColorValue color);
  void FillRect(int x0, int y0, int x1, int y1, ColorValue color);  // corners inclusive, clipped
  void DrawBox(int x0, int y0, int x1, int y1, ColorValue color);   // outline, inclusive, clipped

  friend bool operator==(const Surface& a, const Surface& b) {
    return a.width_ == b.width_ && a.height_ == b.height_ && a.pixels_ == b.pixels_;
  }

 private:
  std::string name_;
  int width_ = 0;
  int height_ = 0;
  ColorValue background_ = 0;
  PixelBytes pixels_;
};

// One pixel, (0, 0) at the top left. Positions outside the surface read as its background.
ColorValue PixelAt(const Surface& surface, int x, int y);

// Filler pixels that round a row of the dithering buffers up to a multiple of 4: (4 - W mod 4)
// mod 4.
constexpr int PadFor(int width) { return (4 - (width % 4)) % 4; }

// Copies the whole source into the rectangle (0, 0, width, height) of the destination.
// smooth == 1 asks for area averaging, anything else for plain replication; equal sizes copy.
// Destination and source may be the same surface.
void ScaleSurface(Surface& destination, const Surface& source, int width, int height, int smooth);

}  // namespace tvcpix

#endif  // TVCPIX_CORE_SURFACE_H_
