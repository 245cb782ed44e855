// Writing the three output files (.bmp, .bin, .tim) from one base path.
#include "output/save.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "output/bmp.h"
#include "output/file_write.h"
#include "output/screen_file.h"

namespace tvcpix {

namespace {

std::string ReplacedSoFar(const std::vector<std::string>& replaced) {
  if (replaced.empty()) return "no file was replaced";
  std::string text = "already replaced: ";
  for (std::size_t i = 0; i < replaced.size(); ++i) {
    if (i > 0) text += ", ";
    text += replaced[i];
  }
  return text;
}

Result Failed(const std::vector<std::string>& replaced, const std::string& file, int errnum,
              const std::string& reason) {
  return Result::Failure(file + ": " + reason + " (" + ReplacedSoFar(replaced) + ")", errnum);
}

}  // namespace

Result SaveAll(const std::string& base, const Surface& result_view, const Surface& preview,
               TvcMode mode, const Palette& palette) {
  // The files that already hold their new version, for the message of a later failure.
  std::vector<std::string> replaced;
  const std::string bmp_path = base + ".bmp";
  const std::string bin_path = base + ".bin";
  const std::string tim_path = base + ".tim";

  // Refused before anything is written: a palette that does not fit would give wrong indices
  // or header codes read from entries that do not exist.
  std::string reason;
  if (!PaletteFitsMode(palette, mode, &reason)) {
    return Failed(replaced, bin_path, Result::kNoErrno, reason);
  }

  const PixelBytes bmp = EncodeBmp24Pixels(result_view);
  if (bmp.empty()) {
    return Failed(replaced, bmp_path, Result::kNoErrno,
                  "the result view (" + std::to_string(result_view.width()) + " x " +
                      std::to_string(result_view.height()) +
                      " pixels) cannot be stored as a BMP picture");
  }

  std::vector<std::uint8_t> tim(kTimHeaderBytes + kScreenBytes);
  const std::vector<std::uint8_t> screen = BuildScreenImage(preview, mode, palette);
  const auto header = TimHeader(mode, palette);
  std::memcpy(tim.data(), header.data(), header.size());
  std::memcpy(tim.data() + kTimHeaderBytes, screen.data(), screen.size());

  struct Item {
    const std::string* path;
    const std::uint8_t* data;
    std::size_t size;
  };
  const Item items[] = {{&bmp_path, bmp.data(), bmp.size()},
                        {&bin_path, screen.data(), screen.size()},
                        {&tim_path, tim.data(), tim.size()}};
  // The three renames are flushed together: one sync of their folder after the last one.
  const auto sync_renames = [&] {
    if (!replaced.empty()) SyncFolderOf(bmp_path);
  };
  for (const Item& item : items) {
    const Result written =
        WriteFileAtomically(*item.path, item.data, item.size, /*sync_folder=*/false);
    if (!written.ok) {
      sync_renames();
      return Failed(replaced, *item.path, written.errnum, written.message);
    }
    replaced.push_back(*item.path);
  }
  sync_renames();
  return {};
}

}  // namespace tvcpix
