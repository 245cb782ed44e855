// Writes the 512 x 480 result views that bench/quality/run.py scores: for each photo, the
// work picture (source.ppm) and every mode with every method (the seventeen and the perceptual
// ones, through the model) and palette choice (start, the model's BestPalettes, exhaustive),
// and a few variants of the perceptual methods run directly. palettes.txt lists the chosen
// palettes and the searches' run times.
//
//   quality_driver OUTDIR PHOTO...        (OUTDIR/<photo name>/<mode>_<method>_<palette>.ppm)
//   quality_driver --exhaustive ...       also the exhaustive searches (slow)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/palette.h"
#include "core/surface.h"
#include "dither/aspect_ordered.h"
#include "dither/error_diffusion.h"
#include "dither/filtered_error.h"
#include "dither/filtered_search.h"
#include "dither/method.h"
#include "dither/palette_search.h"
#include "dither/perceptual.h"
#include "dither/perceptual_methods.h"
#include "engine/model.h"
#include "qtdecode/picture_file.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

bool WritePpm(const fs::path& path, const Surface& s) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << s.width() << ' ' << s.height() << "\n255\n";
  std::vector<char> row(static_cast<std::size_t>(3 * s.width()));
  for (int y = 0; y < s.height(); ++y) {
    const std::uint8_t* p = s.row(y);
    for (int x = 0; x < s.width(); ++x) {
      row[static_cast<std::size_t>(3 * x)] = static_cast<char>(p[3 * x + 2]);
      row[static_cast<std::size_t>(3 * x + 1)] = static_cast<char>(p[3 * x + 1]);
      row[static_cast<std::size_t>(3 * x + 2)] = static_cast<char>(p[3 * x]);
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  return static_cast<bool>(out);
}

const char* ModeTag(TvcMode mode) {
  return mode == TvcMode::kGraphics2 ? "g2" : mode == TvcMode::kGraphics4 ? "g4" : "g16";
}

std::string Tag(DitherMethod m) {
  std::string t;
  for (const char* p = MethodCaption(m); *p; ++p)
    if (std::isalnum(static_cast<unsigned char>(*p))) t += static_cast<char>(std::tolower(*p));
  return t;
}

std::string PaletteTag(const std::vector<int>& indices) {
  std::string t;
  for (int i : indices) t += (t.empty() ? "" : "-") + std::to_string(i);
  return t;
}

Surface ResultView(const Surface& preview) {
  Surface view("Pic2", 512, 480, 0);
  ScaleSurface(view, preview, 512, 480, 0);
  return view;
}

// The mode's preview of the work picture, as the engine scales it before a method runs.
Surface Preview(const Surface& pic5, TvcMode mode) {
  const ModeInfo& info = InfoOf(mode);
  Surface preview("TVC", info.preview_width, info.preview_height, 0);
  ScaleSurface(preview, pic5, info.preview_width, info.preview_height, 1);
  return preview;
}

std::vector<int> StartIndices(TvcMode mode) {
  if (mode == TvcMode::kGraphics2)
    return {kStartPalette2Indices.begin(), kStartPalette2Indices.end()};
  if (mode == TvcMode::kGraphics4)
    return {kStartPalette4Indices.begin(), kStartPalette4Indices.end()};
  return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
}

// A fresh model converting the photo with the given settings and swatch palette.
struct EngineRun {
  Model model;
  EngineRun(const Surface& photo, TvcMode mode, DitherMethod method) {
    model.SetMode(mode);
    model.SetMethod(method);
    model.LoadSourcePicture(photo);
  }
  void SetPalette(const Palette& palette) {
    for (int i = 0; i < palette.size(); ++i) {
      if (palette.size() == 4) model.SetSwatch4(i, ColorFromEntry(palette[i]));
      if (palette.size() == 2) model.SetSwatch2(i, ColorFromEntry(palette[i]));
    }
    model.Convert();
  }
};

struct NewMethod {
  const char* tag;
  std::function<void(Surface&, const Palette&, TvcMode)> run;
};

std::vector<NewMethod> NewMethods() {
  // Each variant changes one thing of the mode's measured options.
  const auto variant = [](void (*change)(PerceptualOptions&)) {
    return [change](Surface& s, const Palette& p, TvcMode m) {
      PerceptualOptions o = PerceptualOptionsFor(m);
      change(o);
      PerceptualDiffusion(s, p, o);
    };
  };
  return {
      {"perceptual-noserp", variant([](PerceptualOptions& o) { o.serpentine = false; })},
      {"perceptual-linear", variant([](PerceptualOptions& o) { o.linear = true; })},
      {"perceptual-srgb", variant([](PerceptualOptions& o) { o.linear = false; })},
      {"perceptual-luma", variant([](PerceptualOptions& o) { o.weights = kLumaWeighted; })},
      {"perceptual-rgbdist", variant([](PerceptualOptions& o) { o.weights = kPlainRgb; })},
      {"perceptual-full", variant([](PerceptualOptions& o) { o.strength = 100; })},
      {"perceptual-allon", variant([](PerceptualOptions& o) { o = PerceptualOptions{}; })},
      {"screen-square",
       [](Surface& s, const Palette& p, TvcMode) {
         AspectOrderedDither(s, p, {1, 1});
       }},
  };
}

// Each PHOTO of argv[4...] decoded, its work picture written as OUTDIR/<stem>/source.ppm,
// then fn(photo, the model holding its work picture, that folder); 1 when a photo fails.
template <typename Fn>
int ForEachPhoto(int argc, char** argv, Fn fn) {
  for (int a = 4; a < argc; ++a) {
    Surface photo;
    if (!DecodePictureFile(argv[a], &photo).ok) return 1;
    const fs::path dir = fs::path(argv[3]) / fs::path(argv[a]).stem();
    fs::create_directories(dir);
    Model loader;
    loader.AssignSourcePicture(photo);
    WritePpm(dir / "source.ppm", loader.pic5());
    fn(photo, loader, dir);
  }
  return 0;
}

// --perceptual r,g,b,luma,strength,serpentine,linear,encoded[,luma strength] OUTDIR PHOTO...:
// only that variant of the perceptual method, with the start palettes, as <mode>_tune_start.ppm.
int Tune(int argc, char** argv) {
  PerceptualOptions o;
  int serp = 1, linear = 1, encoded = 0;
  std::sscanf(argv[2], "%d,%d,%d,%d,%d,%d,%d,%d,%d", &o.weights.red, &o.weights.green,
              &o.weights.blue, &o.weights.luma, &o.strength, &serp, &linear, &encoded,
              &o.luma_strength);
  o.serpentine = serp != 0;
  o.linear = linear != 0;
  o.match_encoded = encoded != 0;
  return ForEachPhoto(argc, argv, [&](const Surface&, const Model& loader, const fs::path& dir) {
    for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
      Surface s = Preview(loader.pic5(), mode);
      PerceptualDiffusion(s, TvcPalette(StartIndices(mode)), o);
      WritePpm(dir / (std::string(ModeTag(mode)) + "_tune_start.ppm"), ResultView(s));
    }
  });
}

// --method N[,strength] OUTDIR PHOTO...: method N through the model with the start palettes,
// as <mode>_tune_start.ppm (for sweeps of one method without the whole table).
int OneMethod(int argc, char** argv) {
  int method = 0, strength = kDefaultStrength;
  std::sscanf(argv[2], "%d,%d", &method, &strength);
  return ForEachPhoto(argc, argv, [&](const Surface& photo, const Model&, const fs::path& dir) {
    for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
      Model model;
      model.SetMode(mode);
      model.SetMethod(static_cast<DitherMethod>(method));
      model.SetStrength(strength);
      model.LoadSourcePicture(photo);
      WritePpm(dir / (std::string(ModeTag(mode)) + "_tune_start.ppm"), model.pic2());
    }
  });
}

// --pairs N OUTDIR PHOTO...: method N in Graphics 2 with every pair of the 16-colour table
// (no contrast guard), as g2pair_<a>-<b>.ppm, to score every pair with the metric itself.
int EveryPair(int argc, char** argv) {
  const int method = std::atoi(argv[2]);
  return ForEachPhoto(argc, argv, [&](const Surface& photo, const Model&, const fs::path& dir) {
    EngineRun run(photo, TvcMode::kGraphics2, static_cast<DitherMethod>(method));
    for (const std::vector<int>& pair : CandidatePalettes(TvcMode::kGraphics2, 0)) {
      run.model.ApplyPalette(TvcMode::kGraphics2, pair);
      WritePpm(dir / ("g2pair_" + PaletteTag(pair) + ".ppm"), run.model.pic2());
    }
  });
}

int Run(int argc, char** argv) {
  if (argc > 3 && std::string(argv[1]) == "--pairs") return EveryPair(argc, argv);
  if (argc > 3 && std::string(argv[1]) == "--perceptual") return Tune(argc, argv);
  if (argc > 3 && std::string(argv[1]) == "--method") return OneMethod(argc, argv);
  bool exhaustive = false;
  int first = 1;
  if (argc > 1 && std::string(argv[1]) == "--exhaustive") {
    exhaustive = true;
    first = 2;
  }
  if (argc - first < 2) {
    std::fprintf(stderr, "usage: quality_driver [--exhaustive] OUTDIR PHOTO...\n");
    return 2;
  }
  const fs::path out_dir = argv[first];
  const std::vector<NewMethod> methods = NewMethods();
  for (int a = first + 1; a < argc; ++a) {
    Surface photo;
    if (!DecodePictureFile(argv[a], &photo).ok) {
      std::fprintf(stderr, "quality_driver: cannot read %s\n", argv[a]);
      return 1;
    }
    const fs::path dir = out_dir / fs::path(argv[a]).stem();
    fs::create_directories(dir);
    std::ofstream notes(dir / "palettes.txt");
    Model loader;
    loader.AssignSourcePicture(photo);
    const Surface pic5 = loader.pic5();
    WritePpm(dir / "source.ppm", pic5);

    for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
      const std::string mt = ModeTag(mode);
      for (int k = 1; k <= kAllMethodCount; ++k) {
        EngineRun run(photo, mode, static_cast<DitherMethod>(k));
        WritePpm(dir / (mt + "_" + Tag(static_cast<DitherMethod>(k)) + "_start.ppm"),
                 run.model.pic2());
      }
      const Surface preview = Preview(pic5, mode);
      for (const NewMethod& m : methods) {
        Surface s = preview;
        m.run(s, TvcPalette(StartIndices(mode)), mode);
        WritePpm(dir / (mt + "_" + m.tag + "_start.ppm"), ResultView(s));
      }
      if (mode == TvcMode::kGraphics16) continue;

      // The palette search through the model (BestPalettes, then ApplyPalette), and the
      // exhaustive search through the same conversion.
      for (DitherMethod method : {DitherMethod::kFloyd, DitherMethod::kPatternTvc,
                                  DitherMethod::kPerceptual, DitherMethod::kScreen}) {
        const std::string tag = Tag(method);
        EngineRun run(photo, mode, method);
        const auto t0 = std::chrono::steady_clock::now();
        const std::vector<RankedPalette> best = run.model.BestPalettes();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        notes << mt << ' ' << tag << " search " << ms << " ms:";
        for (const RankedPalette& r : best) notes << ' ' << PaletteTag(r.indices) << '=' << r.error;
        notes << '\n';
        if (!best.empty()) {
          run.model.ApplyPalette(mode, best[0].indices);
          WritePpm(dir / (mt + "_" + tag + "_searched.ppm"), run.model.pic2());
        }
        // The reference search for the default method and the plain diffusion (the slowest
        // part of a run: every palette converted and scored at full size).
        if (exhaustive && (method == DitherMethod::kFloyd || method == DitherMethod::kPatternTvc)) {
          // Every palette converted and scored on the 512 x 480 result view against the work
          // picture, where the meter follows the metric closely (the search itself scores
          // previews, which is faster and coarser).
          EngineRun scratch(photo, mode, method);
          const FilteredErrorMeter meter(pic5, PixelAspect{1, 1});
          std::vector<RankedPalette> all;
          for (const std::vector<int>& indices :
               CandidatePalettes(mode, PaletteSearchOptions{}.min_lightness_contrast)) {
            scratch.SetPalette(TvcPalette(indices));
            all.push_back({indices, meter.Measure(scratch.model.pic2())});
          }
          std::stable_sort(
              all.begin(), all.end(),
              [](const RankedPalette& a, const RankedPalette& b) { return a.error < b.error; });
          all.resize(std::min<std::size_t>(all.size(), 3));
          notes << mt << ' ' << tag << " exhaustive:";
          for (const RankedPalette& r : all)
            notes << ' ' << PaletteTag(r.indices) << '=' << r.error;
          notes << '\n';
          if (!all.empty()) {
            run.model.ApplyPalette(mode, all[0].indices);
            WritePpm(dir / (mt + "_" + tag + "_exhaustive.ppm"), run.model.pic2());
          }
        }
      }
    }
    std::printf("%s\n", dir.c_str());
  }
  return 0;
}

}  // namespace
}  // namespace tvcpix

int main(int argc, char** argv) { return tvcpix::Run(argc, argv); }
