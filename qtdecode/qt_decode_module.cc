// Qt's picture reader as a module that tvcpix-cli loads only when a file needs it, so the
// common JPEGs and BMPs convert without starting Qt at all.
#include <QCoreApplication>
#include <QImageReader>
#include <string>

#include "qtdecode/picture_file.h"

#define TVCPIX_EXPORT extern "C" __attribute__((visibility("default")))

// Must run on the main thread before the first decode: the image plugins are loaded here,
// under an application object, never first on a worker thread that ends before the program.
TVCPIX_EXPORT void TvcpixQtStart() {
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "tvcpix-cli";
    static char* argv[] = {name, nullptr};
    // Lives as long as the program, like the one a Qt program keeps in main.
    new QCoreApplication(argc, argv);
  }
  QImageReader::supportedImageFormats();
}

TVCPIX_EXPORT void TvcpixQtDecode(const std::string* path, int fd, long long size,
                                  tvcpix::Surface* picture, tvcpix::Result* result) {
  *result = tvcpix::DecodeWithQt(*path, fd, size, picture);
}
