// libFuzzer target: any bytes as a picture file, through the decoder and, when it loads, the
// whole load sequence and conversions of the model.
#include <stdlib.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QMessageLogContext>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "core/mode.h"
#include "engine/model.h"
#include "core/palette.h"
#include "core/surface.h"
#include "dither/method.h"
#include "qtdecode/picture_file.h"

namespace {

using tvcpix::DitherMethod;
using tvcpix::TvcMode;

// Larger pictures only make runs slow; the limit itself is checked by the tests.
constexpr long long kFuzzMaxPixels = 4'000'000;

// A failed check: libFuzzer records the input as a crash.
void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

// One file name per process, in a folder of its own, removed at exit.
const std::string& InputPath() {
  static const std::string path = [] {
    char name[] = "/tmp/tvcpix-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    static const std::string folder = name;
    std::atexit([] { std::filesystem::remove_all(folder); });
    return folder + "/input.jpg";
  }();
  return path;
}

bool WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// The size Qt reads from the header, or an invalid size when it cannot tell.
QSize ClaimedSize(const std::uint8_t* data, std::size_t size) {
  QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  return reader.size();
}

void CheckModel(const tvcpix::Model& m) {
  const int n = m.palette().size();
  Check(n == 2 || n == 4 || n == 16 || n == tvcpix::kPatternCount, "palette size");
  for (int k = 0; k < tvcpix::kPatternCount; ++k) {
    const auto e = m.pattern_flags().excluded[static_cast<std::size_t>(k)];
    const auto s = m.pattern_flags().swapped[static_cast<std::size_t>(k)];
    Check((e == 0 || e == 1) && (s == 0 || s == 1), "pattern flags");
  }
  Check(m.pic5().width() == 512 && m.pic5().height() == 480, "Pic5 size");
  Check(m.pic2().width() == 512 && m.pic2().height() == 480, "Pic2 size");
}

// Qt's readers warn about every damaged input; printing thousands of lines only slows the run.
// (The decoder still sees the warnings it acts on: its own handler sits in front of this one.)
void Silent(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qInstallMessageHandler(Silent);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QSize claimed = ClaimedSize(data, size);
  if (claimed.isValid() &&
      static_cast<long long>(claimed.width()) * claimed.height() > kFuzzMaxPixels) {
    return 0;
  }
  const std::string& path = InputPath();
  if (!WriteInput(path, data, size)) std::abort();

  tvcpix::Surface picture("Pic1", 3, 2, tvcpix::MakeColor(1, 2, 3));
  const tvcpix::Surface before = picture;
  const tvcpix::Result r = tvcpix::DecodePictureFile(path, &picture);
  if (!r.ok) {
    Check(r.message.rfind(path + ": ", 0) == 0 && r.message.size() > path.size() + 2,
          "refusal names the file and a reason");
    Check(picture == before, "a refused file leaves the picture untouched");
    return 0;
  }
  Check(r.message.empty(), "no message on success");
  Check(picture.width() > 0 && picture.height() > 0, "decoded size");
  Check(static_cast<long long>(picture.width()) * picture.height() <= tvcpix::kMaxPicturePixels,
        "decoded within the pixel limit");
  Check(picture.size_bytes() == picture.stride() * static_cast<std::size_t>(picture.height()),
        "decoded storage");

  // Two mode and method combinations, chosen by the input: the load sequence in the first,
  // then a conversion in the second.
  const std::uint8_t a = size > 0 ? data[size - 1] : 0;
  const std::uint8_t b = size > 1 ? data[size / 2] : 0;
  tvcpix::Model model;
  model.SetMode(static_cast<TvcMode>(a % 3));
  model.SetMethod(static_cast<DitherMethod>(1 + (a / 3) % tvcpix::kMethodCount));
  model.SetResize((b & 0x80) == 0);
  model.LoadSourcePicture(std::move(picture));
  CheckModel(model);
  model.SetMethod(static_cast<DitherMethod>(1 + b % tvcpix::kMethodCount));
  model.SelectMode(static_cast<TvcMode>((a + 1 + b / 128) % 3));
  CheckModel(model);
  model.ProbeMove(b * 2, a * 2);
  CheckModel(model);
  return 0;
}
