// zyfont.cpp — the command-line tool for engine fonts (.mft files).
//
//   zyfont build SOURCE.mft.xml [OUT.mft]       generate a font from its source description
//   zyfont info FONT.mft                        version, encoding, metrics, glyphs, kerning, atlas
//   zyfont render FONT.mft TEXT OUT.png [--width W]   draw a text as the engine draws it
//   zyfont upgrade OLD.mft NEW.mft              rewrite a font of any version as version 6
//
// `build` runs the engine's own generator on the source, exactly as the engine does when
// a font's .mft is missing, and writes the result (by default beside the source, named
// without ".xml"). Problems with the source are the engine's own messages, echoed to
// stderr as "[popup] ...". Fonts are read with the engine's reader, so the tool refuses
// exactly the files the engine refuses. Exit status: 0 success, 1 failure, 2 usage.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "font/font.h"
#include "font/generate.h"
#include "font/generate_progress.h"
#include "image/atlas.h"
#include "render.h"
#include "tool_core.h"

namespace {

int Usage() {
  fprintf(stderr,
          "usage: zyfont build SOURCE.mft.xml [OUT.mft]\n"
          "       zyfont info FONT.mft\n"
          "       zyfont render FONT.mft TEXT OUT.png [--width W]\n"
          "       zyfont upgrade OLD.mft NEW.mft\n");
  return 2;
}

bool EndsWith(const std::string &s, const char *end) {
  size_t n = strlen(end);
  return s.size() >= n && s.compare(s.size() - n, n, end) == 0;
}

// The absolute form of a path (the tool changes no folder, the engine roots need one).
std::string Absolute(const std::string &path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  return std::string(getcwd(cwd, sizeof cwd) ? cwd : ".") + "/" + path;
}

// A font record of the tool's own, freed when it goes.
struct ToolFont {
  ZY_Font font = {};
  explicit ToolFont(const std::string &name) {
    font.name = strdup(name.c_str());
    font.scale = 1.0f;
  }
  ~ToolFont() {
    ZYI_FontFreeData(&font);
    free(font.name);
  }
};

// Reads a font file of any version; false with a message.
bool ReadFont(const char *path, ToolFont &font, int32_t *version) {
  FILE *file = fopen(path, "rb");
  if (!file) {
    fprintf(stderr, "zyfont: cannot open '%s'\n", path);
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + got);
  fclose(file);
  if (!ZYI_FontSetGlyphCount(&font.font, ZYI_FONT_DEFAULT_GLYPHS)) return false;
  static const char *const why[] = {"", "it is not a font file (unknown header)", "it is truncated",
                                    "it holds impossible counts or sizes", "out of memory"};
  ZyFontReadResult result = ZYI_ReadFontBytes(&font.font, bytes.data(), bytes.size(), version);
  if (result != ZYI_FONT_READ_OK) {
    fprintf(stderr, "zyfont: cannot read '%s': %s\n", path, why[result]);
    return false;
  }
  return true;
}

bool Save(ToolFont &font, const std::string &out) {
  if (!ZY_SaveFont(&font.font, out.c_str())) {
    fprintf(stderr, "zyfont: cannot write '%s'\n", out.c_str());
    return false;
  }
  return true;
}

void ShowProgress(int32_t done, int32_t total) {
  if (done % 500 == 0 || done == total)
    fprintf(stderr, "\rzyfont: rasterising glyph %d of %d%s", done, total, done == total ? "\n" : "");
}

int Build(const std::string &source_arg, std::string out) {
  if (!EndsWith(source_arg, ".xml")) {
    fprintf(stderr, "zyfont: the source '%s' must be named FONT.mft.xml\n", source_arg.c_str());
    return 2;
  }
  std::string source = Absolute(source_arg);
  size_t slash = source.rfind('/');
  std::string folder = source.substr(0, slash), name = source.substr(slash + 1, source.size() - slash - 5);
  if (out.empty()) out = source.substr(0, source.size() - 4);
  if (access(source.c_str(), R_OK) != 0) {
    fprintf(stderr, "zyfont: cannot open '%s'\n", source_arg.c_str());
    return 1;
  }
  if (!ToolCoreStart(folder.c_str())) return 1;
  int status = 1;
  {
    ToolFont font(name);
    ZYI_SetFontProgress(ShowProgress);
    bool made = ZYI_FontSetGlyphCount(&font.font, ZYI_FONT_DEFAULT_GLYPHS) &&
                ZYI_GenerateFontFromSource(&font.font, 1.0f);
    ZYI_SetFontProgress(nullptr);
    if (!made) {
      fprintf(stderr, "zyfont: generating '%s' failed\n", source_arg.c_str());
    } else if (Save(font, Absolute(out))) {
      printf("zyfont: wrote '%s': %s, %d glyphs, height %d\n", out.c_str(),
             font.font.utf8 ? "UTF-8" : "LATIN-1", font.font.glyph_count, font.font.height);
      status = 0;
    }
  }
  ToolCoreStop();
  return status;
}

int Info(const char *path) {
  ToolFont font(path);
  int32_t version = 0;
  if (!ReadFont(path, font, &version)) return 1;
  const ZY_Font &f = font.font;
  std::vector<ZY_Bitmap *> pictures;
  int64_t pairs = 0;
  for (int32_t i = 0; i < f.glyph_count; i++) {
    if (f.glyphs[i].picture.pixels) pictures.push_back(&f.glyphs[i].picture);
    for (int32_t p = 0; f.glyphs[i].kern && p < f.glyph_count; p++) pairs += f.glyphs[i].kern[p] != 0;
  }
  printf("version: %d\nencoding: %s\nbaseline: %d\nheight: %d\nline height: %d\n", version,
         f.utf8 ? "UTF-8" : "LATIN-1", f.baseline, f.height, f.line_height);
  printf("glyphs: %d (%zu with pictures)\nkerning pairs: %lld\n", f.glyph_count, pictures.size(),
         (long long)pairs);
  ZyAtlasCandidate atlas = {};
  if (pictures.empty())
    printf("atlas: none\n");
  else if (pictures.size() > 4096 || !ZYI_AtlasChooseSize(pictures.data(), (int32_t)pictures.size(), &atlas))
    printf("atlas: does not fit\n");
  else
    printf("atlas: %dx%d\n", atlas.width, atlas.height);
  return 0;
}

int Upgrade(const char *from, const char *to) {
  ToolFont font(from);
  int32_t version = 0;
  if (!ReadFont(from, font, &version) || !Save(font, Absolute(to))) return 1;
  printf("zyfont: wrote '%s' (version %d to %d)\n", to, version, ZYI_FONT_FILE_VERSION);
  return 0;
}

int Render(const char *path, const char *text, const char *out, int argc, char **argv) {
  float width = 0;
  for (int i = 0; i < argc; i++) {
    char *end = nullptr;
    if (strcmp(argv[i], "--width") == 0 && i + 1 < argc && (width = strtof(argv[i + 1], &end)) > 0 && !*end) {
      i++;
      continue;
    }
    fprintf(stderr, "zyfont: render takes only --width W (a positive number), not '%s'\n", argv[i]);
    return 2;
  }
  ToolFont font(path);
  if (!ReadFont(path, font, nullptr)) return 1;
  return RenderText(&font.font, text, width, out) ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "build" && (argc == 3 || argc == 4)) return Build(argv[2], argc == 4 ? argv[3] : "");
  if (command == "info" && argc == 3) return Info(argv[2]);
  if (command == "upgrade" && argc == 4) return Upgrade(argv[2], argv[3]);
  if (command == "render" && argc >= 5) return Render(argv[2], argv[3], argv[4], argc - 5, argv + 5);
  if (command == "--help" || command == "-h") {
    Usage();
    return 0;
  }
  return Usage();
}
