// tvcpix-cli's optional exports: the screen image as assembler and C source, the result as PNG.
#include <cstddef>
#include <filesystem>
#include <system_error>
#include <utility>

#include "cli/extras.h"
#include "core/mode.h"
#include "output/file_write.h"
#include "output/png.h"
#include "output/screen_file.h"
#include "output/source_export.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

struct Export {
  const char* option;
  const std::string* path;
};

std::vector<Export> AskedExports(const CliOptions& options) {
  std::vector<Export> exports;
  for (const Export& e :
       {Export{"--asm", &options.asm_path}, Export{"--c-header", &options.c_header_path},
        Export{"--png", &options.png_path}}) {
    if (!e.path->empty()) exports.push_back(e);
  }
  return exports;
}

std::string Normal(const std::string& path) { return fs::path(path).lexically_normal().string(); }

bool WriteOne(const std::string& input, const std::string& path, const std::uint8_t* data,
              std::size_t size, std::ostream& err) {
  const Result written = WriteFileAtomically(path, data, size);
  if (written.ok) return true;
  err << kCliName << ": " << input << ": cannot write " << path << ": " << written.message << "\n";
  return false;
}

}  // namespace

bool CheckExportOptions(const CliOptions& options, std::string* error) {
  const std::vector<Export> exports = AskedExports(options);
  if (exports.empty()) return true;
  if (options.inputs.size() > 1) {
    *error = std::string(exports.front().option) + " takes a single INPUT";
    return false;
  }
  // Two outputs under one name would leave only the last of them.
  std::vector<std::pair<std::string, std::string>> names;  // normalised path, what writes it
  if (!options.inputs.empty()) {
    const std::string base = OutputBases(options).front();
    for (const char* ext : {".bmp", ".bin", ".tim"}) names.emplace_back(Normal(base + ext), ext);
  }
  for (const Export& e : exports) {
    for (const auto& [name, writer] : names) {
      if (name == Normal(*e.path)) {
        *error = std::string(e.option) + " " + *e.path + " is also the file of " + writer;
        return false;
      }
    }
    names.emplace_back(Normal(*e.path), e.option);
  }
  return true;
}

bool CheckExportsAgainstInput(const CliOptions& options, const std::string& input,
                              std::ostream& err) {
  for (const Export& e : AskedExports(options)) {
    std::error_code ec;
    if (fs::equivalent(fs::path(input), fs::path(*e.path), ec) && !ec) {
      err << kCliName << ": " << input << ": the output " << *e.path
          << " would replace the input picture; not converted\n";
      return false;
    }
  }
  return true;
}

bool WriteExports(const CliOptions& options, const Model& model, const std::string& input,
                  std::ostream& err) {
  const TvcMode mode = model.mode();
  if (!options.asm_path.empty() || !options.c_header_path.empty()) {
    // The same bytes the .bin file received.
    const std::vector<std::uint8_t> image =
        BuildScreenImage(model.preview(mode), mode, model.palette());
    const auto header = TimHeader(mode, model.palette());
    ScreenSourceInfo info;
    info.mode = mode;
    for (std::size_t i = 0; i < 4; ++i) info.codes[i] = header[4 + i];
    if (!options.asm_path.empty()) {
      info.name = options.asm_path;
      const std::string text = AssemblerSource(image, info);
      if (!WriteOne(input, options.asm_path, reinterpret_cast<const std::uint8_t*>(text.data()),
                    text.size(), err)) {
        return false;
      }
    }
    if (!options.c_header_path.empty()) {
      info.name = options.c_header_path;
      const std::string text = CHeaderSource(image, info);
      if (!WriteOne(input, options.c_header_path,
                    reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), err)) {
        return false;
      }
    }
  }
  if (!options.png_path.empty()) {
    const std::vector<std::uint8_t> png = EncodePng(model.pic2());
    if (png.empty()) {
      err << kCliName << ": " << input << ": cannot encode " << options.png_path << " as PNG\n";
      return false;
    }
    if (!WriteOne(input, options.png_path, png.data(), png.size(), err)) return false;
  }
  return true;
}

}  // namespace tvcpix
