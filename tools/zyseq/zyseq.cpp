// zyseq.cpp — the command-line tool for bitmap sequence files (.bms).
//
//   zyseq build PATTERN OUT.bms   numbered images in (PATTERN has one "*" in its file
//                                 name: frames/walk_*.png), repeated frames removed, the
//                                 rest packed into one atlas, written whole to OUT.bms
//   zyseq info FILE.bms           frames, sizes, numbers, rates, repeats, atlas size
//   zyseq extract FILE.bms DIR    one PNG per frame, named after its frame number
//
// The tool runs the engine's own sequence code over a file system whose game folder is
// the pattern's folder, so it counts, loads, compares and packs frames exactly as the
// engine does when it builds a sequence itself. Engine warnings are shown on stderr.
// Exit status: 0 success, 1 failure, 2 usage.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "base/threads.h"
#include "engine/bitmaps_internal.h"
#include "engine/bitmaps_sequence.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/bms_format.h"
#include "image/image_loader.h"
#include "lifecycle/state.h"

namespace {

int Usage() {
  fprintf(stderr,
          "usage: zyseq build PATTERN OUT.bms\n"
          "       zyseq info FILE.bms\n"
          "       zyseq extract FILE.bms DIR\n");
  return 2;
}

void ToStderr(const char *, const char *line, size_t length) { fwrite(line, 1, length, stderr); }

// The parts of the engine the sequence code needs: locks, the log (warnings and worse, to
// stderr), the file system over `game_folder` and the image loader.
bool StartEngine(const std::string &game_folder) {
  ZYI_ResetState();
  if (!ZYI_ThreadsInit()) return false;
  zy::core.main_thread_id = ZYH_ThreadId();
  ZYI_CreateLocks();
  ZyLogSettings settings = {};
  settings.verbose_level = ZY_LOG_WARNING;
  ZYI_LogConfigure(&settings);
  ZYI_InitImageLoader();  // before the log starts: its greeting is no warning
  ZYI_LogStart("stderr", ToStderr);
  ZYH_SetGameFolder(game_folder.c_str());
  if (!ZYFS_Init()) {
    fprintf(stderr, "zyseq: cannot use folder '%s'\n", game_folder.c_str());
    return false;
  }
  ZY_AddSearchPath(ZY_GetPath(ZY_ROOT_RES, "%s", ""), true);
  return true;
}

bool ReadNative(const char *path, ZyBmsContents *contents) {
  FILE *f = fopen(path, "rb");
  if (!f) {
    fprintf(stderr, "zyseq: cannot open '%s'\n", path);
    return false;
  }
  std::vector<uint8_t> data;
  uint8_t chunk[1 << 16];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) data.insert(data.end(), chunk, chunk + n);
  fclose(f);
  char why[512];
  if (!ZYI_BmsParse(path, data.data(), data.size(), false, contents, why, sizeof why)) {
    fprintf(stderr, "zyseq: %s\n", why);
    return false;
  }
  return true;
}

// A frame's place in the atlas in pixels; false when it does not lie inside the atlas.
bool Place(const ZyBmsFrame &f, const ZY_Bitmap &atlas, int32_t *x, int32_t *y) {
  double fx = (double)f.left * atlas.width + 0.5, fy = (double)f.top * atlas.height + 0.5;
  if (!(fx >= 0 && fy >= 0 && fx < INT_MAX && fy < INT_MAX)) return false;
  *x = (int32_t)fx, *y = (int32_t)fy;
  return (int64_t)*x + f.width <= atlas.width && (int64_t)*y + f.height <= atlas.height;
}

void Progress(int32_t loaded, int32_t total, void *) {
  printf("zyseq: loaded %d of %d frames\n", loaded, total);
  fflush(stdout);
}

std::string Absolute(const std::string &path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  return std::string(getcwd(cwd, sizeof cwd) ? cwd : ".") + "/" + path;
}

int Build(const char *pattern_arg, const char *out_arg) {
  std::string pattern = pattern_arg;
  size_t slash = pattern.rfind('/');
  std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
  std::string file_pattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  if (std::count(file_pattern.begin(), file_pattern.end(), '*') != 1 ||
      folder.find('*') != std::string::npos) {
    fprintf(stderr, "zyseq: the pattern '%s' needs one '*' in its file name\n", pattern_arg);
    return 2;
  }
  char *real = realpath(folder.c_str(), nullptr);
  if (!real) {
    fprintf(stderr, "zyseq: no folder '%s'\n", folder.c_str());
    return 1;
  }
  std::string game = real;
  free(real);
  std::string out = Absolute(out_arg);
  if (!StartEngine(game)) return 1;

  ZY_Bitmap seq = {};
  seq.name = strdup(out_arg);
  int status = 1;
  if (!ZYI_LoadNumberedFramesEx(&seq, file_pattern.c_str(), Progress, nullptr)) {
    fprintf(stderr, "zyseq: no usable numbered frames for '%s'\n", pattern_arg);
  } else {
    OptimizeSequence(&seq);
    int32_t repeats = 0;
    for (int32_t i = 0; i < seq.frame_count; i++) repeats += seq.frames[i].duplicate_of != nullptr;
    ZyBmsContents written;
    if (!ZYI_SaveBitmapSequence(&seq, out.c_str())) {
      fprintf(stderr, "zyseq: cannot write '%s' (frames larger than the biggest atlas, or the "
                      "folder is missing)\n", out_arg);
    } else if (ReadNative(out.c_str(), &written)) {
      printf("zyseq: wrote '%s': %d frames (%d repeated), atlas %dx%d\n", out_arg, seq.frame_count,
             repeats, written.atlas.width, written.atlas.height);
      ZYI_BmsFree(&written);
      status = 0;
    }
  }
  ZYI_BitmapDropFrames(&seq);
  free(seq.name);
  return status;
}

int Info(const char *path) {
  ZyBmsContents c;
  if (!StartEngine(Absolute(".")) || !ReadNative(path, &c)) return 1;
  int32_t repeats = 0;
  printf("%s: %d frames, atlas %dx%d\n", path, c.frame_count, c.atlas.width, c.atlas.height);
  printf(" frame number   size       rate   atlas x,y\n");
  for (int32_t i = 0; i < c.frame_count; i++) {
    const ZyBmsFrame &f = c.frames[i];
    int32_t x = 0, y = 0;
    bool inside = Place(f, c.atlas, &x, &y);
    int32_t first = i;  // the first frame drawn from the same place repeats the picture
    for (int32_t j = 0; j < i && first == i; j++)
      if (c.frames[j].left == f.left && c.frames[j].top == f.top && c.frames[j].width == f.width &&
          c.frames[j].height == f.height)
        first = j;
    repeats += first != i;
    char size[32], place[48];
    snprintf(size, sizeof size, "%dx%d", f.width, f.height);
    if (inside)
      snprintf(place, sizeof place, "%d,%d", x, y);
    else
      snprintf(place, sizeof place, "outside the atlas");
    printf("%6d %6d   %-10s %6.2f  %s", i, f.frame_number, size, f.frame_rate, place);
    if (first != i) printf("  repeats frame %d", first);
    printf("\n");
  }
  printf("%d repeated frames\n", repeats);
  ZYI_BmsFree(&c);
  return 0;
}

int Extract(const char *path, const char *dir_arg) {
  ZyBmsContents c;
  std::string dir = Absolute(dir_arg);
  if (!ZYH_MakeDir(dir.c_str())) {
    fprintf(stderr, "zyseq: cannot create folder '%s'\n", dir_arg);
    return 1;
  }
  if (!StartEngine(dir) || !ReadNative(path, &c)) return 1;
  int status = 0;
  std::set<int32_t> used;
  for (int32_t i = 0; i < c.frame_count; i++) {
    const ZyBmsFrame &f = c.frames[i];
    int32_t x, y;
    if (f.width < 1 || f.height < 1 || !Place(f, c.atlas, &x, &y)) {
      fprintf(stderr, "zyseq: frame %d does not lie inside the atlas; skipped\n", i);
      status = 1;
      continue;
    }
    if (f.frame_number < 0 || f.frame_number > 9999 || !used.insert(f.frame_number).second) {
      fprintf(stderr, "zyseq: frame %d has number %d, out of range or used before; skipped\n", i,
              f.frame_number);
      status = 1;
      continue;
    }
    std::vector<uint32_t> pixels((size_t)f.width * (size_t)f.height);
    for (int32_t row = 0; row < f.height; row++)
      memcpy(&pixels[(size_t)row * f.width],
             c.atlas.pixels + (size_t)(y + row) * c.atlas.width + (size_t)x, (size_t)f.width * 4);
    ZY_Bitmap frame = {};
    frame.width = frame.alloc_width = f.width;
    frame.height = frame.alloc_height = f.height;
    frame.pixels = pixels.data();
    frame.flags = ZY_BITMAP_HAS_ALPHA;
    char name[64];
    snprintf(name, sizeof name, "/frame_%.4d.png", f.frame_number);
    if (!ZYI_GetImageLoader()->SaveImage(&frame, (dir + name).c_str(), 0)) {
      fprintf(stderr, "zyseq: cannot write '%s%s'\n", dir.c_str(), name);
      status = 1;
    }
  }
  if (status == 0) printf("zyseq: wrote %d frames to '%s'\n", c.frame_count, dir_arg);
  ZYI_BmsFree(&c);
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "build" && argc == 4) return Build(argv[2], argv[3]);
  if (command == "info" && argc == 3) return Info(argv[2]);
  if (command == "extract" && argc == 4) return Extract(argv[2], argv[3]);
  if (command == "--help" || command == "-h") {
    Usage();
    return 0;
  }
  return Usage();
}
