// Benchmarks of the conversion: every mode with every method, slider moves (with a 20-megapixel
// photograph loaded too) and opening big pictures beside Qt's bare decode.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "core/mode.h"
#include "engine/model.h"
#include "core/surface.h"
#include "dither/method.h"
#include "qtdecode/picture_file.h"

namespace tvcpix {
namespace {

// A smooth colour field with some fine detail, so that every method has work to do.
Surface Gradient(int width, int height) {
  Surface surface("Pic1", width, height, 0);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = surface.row(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x + 0] = static_cast<std::uint8_t>(255 * y / height);        // blue
      row[3 * x + 1] = static_cast<std::uint8_t>((x * 7 + y * 3) & 0xFF);  // green
      const int stripe = (x / 16) % 2 == 0 ? 0 : 40;
      row[3 * x + 2] = static_cast<std::uint8_t>((255 * x / width) ^ stripe);  // red
    }
  }
  return surface;
}

// The 512 x 480 sample photograph, or the gradient when it cannot be read.
Surface WorkPicture() {
  Surface picture;
  if (DecodePictureFile(TVCPIX_SAMPLES_DIR "/astronaut_512x480.bmp", &picture).ok) return picture;
  return Gradient(512, 480);
}

const char* ModeName(TvcMode mode) {
  switch (mode) {
    case TvcMode::kGraphics2:
      return "Graphics2";
    case TvcMode::kGraphics4:
      return "Graphics4";
    case TvcMode::kGraphics16:
      break;
  }
  return "Graphics16";
}

std::string Compact(const char* caption) {
  std::string name;
  for (const char* p = caption; *p != 0; ++p) {
    if (*p != ' ') name += *p;
  }
  return name;
}

void BM_Convert(benchmark::State& state, TvcMode mode, DitherMethod method) {
  Model model;
  model.SetMode(mode);
  model.SetMethod(method);
  model.LoadSourcePicture(WorkPicture());
  // Every run converts in full, as after a change of its inputs; repeating a conversion with
  // unchanged inputs would only reuse the last result.
  model.SetReuseConversions(false);
  for (auto _ : state) {
    model.Convert();
    benchmark::DoNotOptimize(model.pic2().data());
  }
}

// One slider move: rescale of the source into the work picture, the filter and a conversion
// (Graphics 16, "Pattern TVC", the start settings).
void BM_MoveSlider(benchmark::State& state, int width, int height) {
  Model model;
  model.LoadSourcePicture(width == 512 && height == 480 ? WorkPicture() : Gradient(width, height));
  int value = 40;
  for (auto _ : state) {
    model.MoveSlider(1, value);
    value = value == 40 ? 60 : 40;
    benchmark::DoNotOptimize(model.pic2().data());
  }
}

// A 20-megapixel photograph (5472 x 3648): a bundled photo scaled up smoothly, kept for the
// whole run.
const Surface& Photo20Mp() {
  static const Surface photo = [] {
    Surface s;
    if (!DecodePictureFile(TVCPIX_SAMPLES_DIR "/coffee_600x400.jpg", &s).ok)
      return Gradient(5472, 3648);
    QImage small(s.data(), s.width(), s.height(), static_cast<qsizetype>(s.stride()),
                 QImage::Format_BGR888);
    const QImage big = small.scaled(5472, 3648, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_BGR888);
    Surface out("Pic1", big.width(), big.height(), 0);
    for (int y = 0; y < big.height(); ++y)
      std::copy_n(big.constScanLine(y), out.stride(), out.row(y));
    return out;
  }();
  return photo;
}

// The same photograph as a JPEG file (quality 92) in the temporary folder.
const std::string& Photo20MpJpeg() {
  static const std::string path = [] {
    const Surface& s = Photo20Mp();
    const QImage image(s.data(), s.width(), s.height(), static_cast<qsizetype>(s.stride()),
                       QImage::Format_BGR888);
    const QString file = QDir::temp().filePath("tvcpix_bench_20mp.jpg");
    image.save(file, "JPEG", 92);
    return file.toStdString();
  }();
  return path;
}

// One slider move with the 20-megapixel photograph loaded, in a mode with a method: the
// copy of the cached scale of Pic1 into Pic5, the filter and the conversion.
void BM_MoveSlider20Mp(benchmark::State& state, TvcMode mode, DitherMethod method) {
  Model model;
  model.SetMode(mode);
  model.SetMethod(method);
  model.LoadSourcePicture(Surface(Photo20Mp()));
  int value = 40;
  for (auto _ : state) {
    model.MoveSlider(1, value);
    value = value == 40 ? 60 : 40;
    benchmark::DoNotOptimize(model.pic2().data());
  }
}

// Qt's bare decode of the 20-megapixel JPEG, the yardstick of opening it.
void BM_QtDecode20Mp(benchmark::State& state) {
  const QString file = QString::fromStdString(Photo20MpJpeg());
  for (auto _ : state) {
    QImageReader reader(file);
    QImage image = reader.read();
    benchmark::DoNotOptimize(image.constBits());
  }
}

// Opening the 20-megapixel JPEG: decode, colour count of Pic1 (counted when the window shows
// it, right after loading), scale into Pic5 and the load sequence's conversions (the window
// itself exists already).
void BM_Open20Mp(benchmark::State& state) {
  const std::string& file = Photo20MpJpeg();
  for (auto _ : state) {
    state.PauseTiming();
    Model model;
    state.ResumeTiming();
    Surface picture;
    if (!DecodePictureFile(file, &picture).ok) {
      state.SkipWithError("cannot decode the JPEG");
      break;
    }
    model.LoadSourcePicture(std::move(picture));
    benchmark::DoNotOptimize(model.source_colors_caption().data());
    benchmark::DoNotOptimize(model.pic2().data());
  }
}

// Loading a 24-megapixel photograph: the smooth scale down and the three conversions.
void BM_Load24Mp(benchmark::State& state) {
  const Surface big = Gradient(6000, 4000);
  for (auto _ : state) {
    Model model;
    model.LoadSourcePicture(Surface(big));
    benchmark::DoNotOptimize(model.pic2().data());
  }
}

void RegisterAll() {
  for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
    for (int m = 1; m <= kMethodCount; ++m) {
      const auto method = static_cast<DitherMethod>(m);
      const std::string name = std::string("Convert/") + ModeName(mode) + "/" + std::to_string(m) +
                               "_" + Compact(MethodCaption(method));
      benchmark::RegisterBenchmark(name.c_str(), BM_Convert, mode, method)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("MoveSlider/512x480", BM_MoveSlider, 512, 480)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("MoveSlider/6000x4000", BM_MoveSlider, 6000, 4000)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Load/6000x4000", BM_Load24Mp)->Unit(benchmark::kMillisecond);
  for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
    for (int m = 1; m <= kMethodCount; ++m) {
      const auto method = static_cast<DitherMethod>(m);
      const std::string name = std::string("MoveSlider20Mp/") + ModeName(mode) + "/" +
                               std::to_string(m) + "_" + Compact(MethodCaption(method));
      benchmark::RegisterBenchmark(name.c_str(), BM_MoveSlider20Mp, mode, method)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("Open20Mp/QtDecode", BM_QtDecode20Mp)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Open20Mp/Load", BM_Open20Mp)->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace tvcpix

int main(int argc, char** argv) {
  tvcpix::RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
