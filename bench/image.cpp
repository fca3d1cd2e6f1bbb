// image.cpp — image loading and resizing speed, measured against stb_image.
//
// A set of PNG and JPEG files of several sizes is written once by the engine's own
// saver into a temporary game folder: RGBA game art with transparent areas, and
// photo-like pictures (smooth gradients with grain) as RGB PNG and as JPEG at quality
// 85. Each file is then loaded the way a bitmap is (the image loader's LoadImage on a
// res:// name: file layer, decoder, pixel buffer, and the buffer released again), and
// the same bytes, already in memory, are decoded by stb_image into four-byte pixels.
// Both report megapixels per second; at the end the engine/stb ratio of each file is
// printed (above 1: the engine is faster). The engine's decoder is also timed alone on
// the same in-memory bytes ("decoder"), which shows what the file layer adds. Before
// timing, both decoders' pixels are compared, so the figures describe the same work.
//
// Resizing is timed for bilinear (enlarging and mild reduction) and averaging (strong
// reduction) in megapixels of output per second.
//
// Run from the build folder: ./bench/bench_image
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "base/state.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "image/image_loader_codecs.h"
#include "image/resize.h"
#include "lifecycle/state.h"

#ifdef ZYLEM_HAVE_STB
#include <stb/stb_image.h>
#endif

namespace {

std::string game_folder;
ImageLoader *loader;

struct BenchFile {
  std::string name;        // res:// name
  std::string native;      // path on disk
  int32_t width, height;
  std::vector<uint8_t> bytes;  // the file's contents, for stb_image
};
std::vector<BenchFile> files;

// Cheap deterministic noise.
uint32_t Hash(uint32_t x, uint32_t y) {
  uint32_t h = x * 374761393u + y * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

// Game art: soft-edged discs of flat colour with a little shading on transparency.
void FillArt(ZY_Bitmap *bm) {
  uint8_t *p = (uint8_t *)bm->pixels;
  int32_t w = bm->width, h = bm->height;
  for (int32_t y = 0; y < h; y++) {
    for (int32_t x = 0; x < w; x++, p += 4) {
      int32_t cell = w / 8 > 0 ? w / 8 : 1;
      int32_t cx = (x / cell) * cell + cell / 2, cy = (y / cell) * cell + cell / 2;
      int32_t dx = x - cx, dy = y - cy;
      int32_t r2 = cell * cell / 5, d2 = dx * dx + dy * dy;
      uint32_t tint = Hash((uint32_t)(x / cell), (uint32_t)(y / cell));
      if (d2 > r2) {
        p[0] = p[1] = p[2] = p[3] = 0;
        continue;
      }
      int shade = 255 - (int)(d2 * 96 / (r2 + 1));
      p[0] = (uint8_t)(((tint & 0xff) * shade) >> 8);
      p[1] = (uint8_t)((((tint >> 8) & 0xff) * shade) >> 8);
      p[2] = (uint8_t)((((tint >> 16) & 0xff) * shade) >> 8);
      p[3] = d2 > r2 - cell ? 128 : 255;
    }
  }
  bm->flags |= ZY_BITMAP_HAS_ALPHA;
}

// A photo-like picture: broad gradients and a few percent of grain.
void FillPhoto(ZY_Bitmap *bm) {
  uint8_t *p = (uint8_t *)bm->pixels;
  int32_t w = bm->width, h = bm->height;
  for (int32_t y = 0; y < h; y++) {
    for (int32_t x = 0; x < w; x++, p += 4) {
      int grain = (int)(Hash((uint32_t)x, (uint32_t)y) & 15) - 8;
      int r = x * 200 / w + 30 + grain, g = y * 180 / h + 40 + grain;
      int b = ((x + y) * 120 / (w + h)) + 60 + grain;
      p[0] = (uint8_t)(r < 0 ? 0 : r > 255 ? 255 : r);
      p[1] = (uint8_t)(g < 0 ? 0 : g > 255 ? 255 : g);
      p[2] = (uint8_t)(b < 0 ? 0 : b > 255 ? 255 : b);
      p[3] = 255;
    }
  }
}

std::vector<uint8_t> ReadNative(const std::string &path) {
  std::vector<uint8_t> bytes;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) abort();
  uint8_t buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
  fclose(f);
  return bytes;
}

void MakeFile(const char *name, int32_t size, bool art, int quality) {
  ZY_Bitmap bm = {};
  loader->AllocateImagePixels(&bm, size, size);
  art ? FillArt(&bm) : FillPhoto(&bm);
  BenchFile file;
  file.name = std::string("res://") + name;
  file.native = game_folder + "/" + name;
  file.width = file.height = size;
  if (!loader->SaveImage(&bm, file.native.c_str(), quality)) abort();
  file.bytes = ReadNative(file.native);
  loader->FreeImagePixels(&bm);
  files.push_back(file);
}

void SetUpGame() {
  char tmpl[] = "/tmp/zybench-image-XXXXXX";
  if (!mkdtemp(tmpl)) abort();
  game_folder = tmpl;
  ZYI_ResetState();
  zy::log.verbose_level = 8;  // no log lines while measuring
  ZYH_SetGameFolder(game_folder.c_str());
  if (!ZYFS_Init()) abort();
  ZYI_InitImageLoader();
  loader = ZYI_GetImageLoader();

  MakeFile("art_64.png", 64, true, 0);
  MakeFile("art_256.png", 256, true, 0);
  MakeFile("art_1024.png", 1024, true, 0);
  MakeFile("photo_512.png", 512, false, 0);
  MakeFile("photo_1024.png", 1024, false, 0);
  MakeFile("photo_256.jpg", 256, false, 85);
  MakeFile("photo_1024.jpg", 1024, false, 85);
  MakeFile("photo_2048.jpg", 2048, false, 85);
}

void TearDownGame() {
  for (auto &f : files) unlink(f.native.c_str());
  rmdir(game_folder.c_str());
  ZYI_ShutdownImageLoader();
  ZYFS_Shutdown();
}

void SetMegapixels(benchmark::State &state, int64_t pixels_per_iteration) {
  state.counters["MP/s"] = benchmark::Counter((double)pixels_per_iteration * 1e-6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void LoadWithEngine(benchmark::State &state, const BenchFile *file) {
  ZY_Bitmap bm = {};
  for (auto _ : state) {
    if (!loader->LoadImage(&bm, file->name.c_str())) {
      state.SkipWithError("load failed");
      return;
    }
    benchmark::DoNotOptimize(bm.pixels);
    loader->FreeImagePixels(&bm);
  }
  SetMegapixels(state, (int64_t)file->width * file->height);
}

// The decoder alone, on the bytes already in memory, as stb_image gets them.
void DecodeFromMemory(benchmark::State &state, const BenchFile *file) {
  bool png = file->name.find(".png") != std::string::npos;
  const ZyiImageCodec &codec = png ? ZYI_PNG_CODEC : ZYI_JPEG_CODEC;
  ZY_Bitmap bm = {};
  for (auto _ : state) {
    codec.Decode(&bm, file->name.c_str(), file->bytes.data(), file->bytes.size(),
                 ZYI_DECODE_PIXELS, ZYI_BgraPixels());
    if (!bm.pixels) {
      state.SkipWithError("decode failed");
      return;
    }
    benchmark::DoNotOptimize(bm.pixels);
    loader->FreeImagePixels(&bm);
  }
  SetMegapixels(state, (int64_t)file->width * file->height);
}

#ifdef ZYLEM_HAVE_STB
void LoadWithStb(benchmark::State &state, const BenchFile *file) {
  for (auto _ : state) {
    int w = 0, h = 0, n = 0;
    stbi_uc *pixels = stbi_load_from_memory(file->bytes.data(), (int)file->bytes.size(), &w, &h, &n, 4);
    if (!pixels) {
      state.SkipWithError("stb_image failed");
      return;
    }
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  SetMegapixels(state, (int64_t)file->width * file->height);
}

// Both decoders must agree: PNG exactly, JPEG within what different IDCTs and
// upsamplers give. Prints the largest difference per file.
bool CheckAgainstStb(const BenchFile &file) {
  ZY_Bitmap bm = {};
  if (!loader->LoadImage(&bm, file.name.c_str())) return false;
  int w = 0, h = 0, n = 0;
  stbi_uc *ref = stbi_load_from_memory(file.bytes.data(), (int)file.bytes.size(), &w, &h, &n, 4);
  if (!ref || w != bm.width || h != bm.height) return false;
  int worst = 0;
  const uint8_t *ours = (const uint8_t *)bm.pixels;
  for (size_t i = 0; i < (size_t)w * h * 4; i++) {
    int d = abs((int)ours[i] - (int)ref[i]);
    if (d > worst) worst = d;
  }
  stbi_image_free(ref);
  loader->FreeImagePixels(&bm);
  bool png = file.name.find(".png") != std::string::npos;
  printf("check %-16s engine and stb_image differ by at most %d\n", file.name.c_str() + 6, worst);
  return png ? worst == 0 : worst <= 16;
}
#endif

// Resizing: the source is made once; the target keeps being replaced.
void Resize(benchmark::State &state, int32_t from, int32_t to) {
  ZY_Bitmap source = {}, target = {};
  loader->AllocateImagePixels(&source, from, from);
  FillArt(&source);
  for (auto _ : state) {
    if (!ZYI_CreateImageResized(&target, &source, to, to)) {
      state.SkipWithError("resize failed");
      return;
    }
    benchmark::DoNotOptimize(target.pixels);
  }
  SetMegapixels(state, (int64_t)to * to);
  loader->FreeImagePixels(&source);
  loader->FreeImagePixels(&target);
}

// Console output as usual, plus the engine/stb ratio of each file at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> rates;  // benchmark name -> MP/s
  void ReportRuns(const std::vector<Run> &runs) override {
    for (auto &run : runs) {
      auto it = run.counters.find("MP/s");
      if (!run.error_occurred && it != run.counters.end()) rates[run.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The rate of a benchmark: with --benchmark_repetitions its median, else its one run.
  double Rate(const std::string &name) const {
    auto it = rates.find(name + "_median");
    if (it == rates.end()) it = rates.find(name);
    return it == rates.end() ? 0 : it->second;
  }
  void PrintRatios() const {
    for (auto &f : files) {
      std::string base = "load/" + f.name.substr(6);
      double ours = Rate(base + "/engine"), decoder = Rate(base + "/decoder");
      double theirs = Rate(base + "/stb_image");
      if (ours <= 0 || decoder <= 0 || theirs <= 0) continue;
      printf("ratio %-16s engine %6.1f, decoder alone %6.1f, stb_image %6.1f MP/s: "
             "engine/stb %.2fx, decoder/stb %.2fx\n",
             f.name.c_str() + 6, ours, decoder, theirs, ours / theirs, decoder / theirs);
    }
  }
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  SetUpGame();
  for (const BenchFile &f : files) {
    std::string base = "load/" + f.name.substr(6);
    benchmark::RegisterBenchmark((base + "/engine").c_str(), LoadWithEngine, &f)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((base + "/decoder").c_str(), DecodeFromMemory, &f)
        ->Unit(benchmark::kMicrosecond);
#ifdef ZYLEM_HAVE_STB
    if (!CheckAgainstStb(f)) {
      fprintf(stderr, "bench_image: engine and stb_image disagree on %s\n", f.name.c_str());
      return 1;
    }
    benchmark::RegisterBenchmark((base + "/stb_image").c_str(), LoadWithStb, &f)
        ->Unit(benchmark::kMicrosecond);
#endif
  }
  struct ResizeCase { const char *name; int32_t from, to; };
  for (ResizeCase c : {ResizeCase{"resize/bilinear/1024_to_1280", 1024, 1280},
                       ResizeCase{"resize/bilinear/1024_to_768", 1024, 768},
                       ResizeCase{"resize/averaging/1024_to_512", 1024, 512},
                       ResizeCase{"resize/averaging/1024_to_256", 1024, 256}})
    benchmark::RegisterBenchmark(c.name, Resize, c.from, c.to)->Unit(benchmark::kMicrosecond);

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  TearDownGame();
  benchmark::Shutdown();
  return 0;
}
