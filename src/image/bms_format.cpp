// bms_format.cpp — reading and writing bitmap sequence files.
//
// The reader walks the file with a cursor that refuses to step past the end: every field
// is taken through Take(), which fails once the bytes run out, and every array is sized
// only after the bytes it needs are known to be there. The atlas PNG goes through the
// image loader's own PNG decoder, which bounds its allocations by the data it is given.
#include "image/bms_format.h"

#include <math.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "fs/fs.h"
#include "image/image_loader_codecs.h"

namespace {

const char MAGIC[13] = "ZY_Bm_Seq_v1";  // with its zero byte
const char ATLAS_TAG[8] = {'A', 'T', 'L', 'A', 'S', 0, 0, 0};
const int32_t RLE_RUN_BYTES = 5;  // count byte + B, G, R, A
const int32_t RLE_MAX_RUN = 255;

struct Cursor {
  const uint8_t *data;
  size_t size, at;
  size_t Left() const { return size - at; }
  const uint8_t *Take(size_t n) {
    if (n > Left()) return nullptr;
    const uint8_t *p = data + at;
    at += n;
    return p;
  }
  bool Int(int32_t *v) {
    const uint8_t *p = Take(4);
    if (!p) return false;
    *v = (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 |
                   (uint32_t)p[3] << 24);
    return true;
  }
  bool Float(float *v) {
    int32_t bits;
    if (!Int(&bits)) return false;
    memcpy(v, &bits, 4);
    return true;
  }
};

void Say(char *why, size_t size, const char *format, ...) ZY_PRINTF_FORMAT(3, 4);
void Say(char *why, size_t size, const char *format, ...) {
  if (!why || !size) return;
  va_list args;
  va_start(args, format);
  vsnprintf(why, size, format, args);
  va_end(args);
}

// A tag or encoding as text for a message: at most n bytes, up to a zero, with bytes that
// are not printable shown as '?'.
void Printable(const uint8_t *bytes, size_t n, char *out) {
  size_t i = 0;
  for (; i < n && bytes[i]; i++) out[i] = bytes[i] >= 32 && bytes[i] < 127 ? (char)bytes[i] : '?';
  out[i] = 0;
}

bool SideOk(int32_t v) { return v > 0 && v <= ZYI_BMS_MAX_SIDE; }

// The RLE image: width, height, then runs until width x height pixels are covered (a run
// that would pass the end is cut there). The buffer is allocated only when the runs left
// in the file could cover it.
bool ReadRle(Cursor &c, bool bgra, ZY_Bitmap *atlas, const char **problem) {
  int32_t w, h;
  if (!c.Int(&w) || !c.Int(&h)) return *problem = "its RLE image has no size", false;
  if (!SideOk(w) || !SideOk(h)) return *problem = "its RLE image has an impossible size", false;
  uint64_t pixels = (uint64_t)w * (uint64_t)h;
  if (pixels > (uint64_t)(c.Left() / RLE_RUN_BYTES) * RLE_MAX_RUN)
    return *problem = "its RLE image is larger than the file", false;
  uint8_t *out = (uint8_t *)ZYI_AllocPixelBuffer((uint32_t)w, (uint32_t)h);
  if (!out) return *problem = "its RLE image does not fit in memory", false;
  uint64_t done = 0;
  while (done < pixels) {
    const uint8_t *run = c.Take(RLE_RUN_BYTES);
    if (!run || run[0] == 0) {
      free(out);
      *problem = run ? "its RLE image has an empty run" : "its RLE image ends early";
      return false;
    }
    uint64_t n = run[0] < pixels - done ? run[0] : pixels - done;
    uint8_t px[4] = {run[3], run[2], run[1], run[4]};  // file B, G, R, A to R, G, B, A
    if (bgra) px[0] = run[1], px[2] = run[3];
    for (uint64_t i = 0; i < n; i++) memcpy(out + (done + i) * 4, px, 4);
    done += n;
  }
  atlas->pixels = (uint32_t *)out;
  atlas->width = atlas->alloc_width = w;
  atlas->height = atlas->alloc_height = h;
  atlas->flags |= ZY_BITMAP_HAS_ALPHA;
  return true;
}

// Whether the file's PNG is the one just written from `written`'s pixels.
bool IsWritten(const ZyBmsWrittenAtlas *written, const uint8_t *png, size_t size, bool bgra) {
  return written && written->atlas.pixels && written->png && written->png_size == size &&
         written->bgra_pixels == bgra && memcmp(written->png, png, size) == 0;
}

bool ReadPng(Cursor &c, const char *name, bool bgra, ZyBmsWrittenAtlas *written,
             ZY_Bitmap *atlas, const char **problem) {
  int32_t size;
  if (!c.Int(&size)) return *problem = "its PNG image has no size", false;
  const uint8_t *png = size > 0 ? c.Take((size_t)size) : nullptr;
  if (!png) return *problem = "its PNG image is missing or larger than the file", false;
  if (IsWritten(written, png, (size_t)size, bgra)) {
    // Decoding would give back exactly the pixels these bytes were encoded from.
    const ZY_Bitmap &w = written->atlas;
    atlas->pixels = w.pixels;
    atlas->width = atlas->alloc_width = w.width;
    atlas->height = atlas->alloc_height = w.height;
    atlas->flags |= ZY_BITMAP_HAS_ALPHA;  // the atlas PNG is always RGBA
    written->atlas.pixels = nullptr;
    return true;
  }
  ZYI_PNG_CODEC.Decode(atlas, name, png, (size_t)size, ZYI_DECODE_PIXELS, bgra);
  if (!atlas->pixels) return *problem = "its PNG image cannot be decoded", false;
  atlas->alloc_width = atlas->width;
  atlas->alloc_height = atlas->height;
  return true;
}

bool Finite(float v) { return isfinite(v) != 0; }

// The ATLAS chunk after its tag: the ignored word, the entries, the encoded image.
bool ReadAtlasChunk(Cursor &c, const char *name, bool bgra, ZyBmsWrittenAtlas *written,
                    ZyBmsContents *out, char *why, size_t why_size) {
  const char *problem = nullptr;
  int32_t ignored;
  if (!c.Int(&ignored) || c.Left() / ZYI_BMS_ENTRY_SIZE < (size_t)out->frame_count) {
    Say(why, why_size, "Bitmap sequence '%s' is damaged: its frame table is cut short.", name);
    return false;
  }
  out->frames = (ZyBmsFrame *)calloc((size_t)out->frame_count, sizeof(ZyBmsFrame));
  if (!out->frames) {
    Say(why, why_size, "Bitmap sequence '%s': no memory for %d frames.", name, out->frame_count);
    return false;
  }
  for (int32_t i = 0; i < out->frame_count; i++) {
    ZyBmsFrame &f = out->frames[i];
    c.Int(&f.width), c.Int(&f.height), c.Int(&f.frame_number), c.Float(&f.frame_rate);
    c.Float(&f.left), c.Float(&f.top), c.Float(&f.right), c.Float(&f.bottom);
    bool sane = f.width >= 0 && f.height >= 0 && f.width <= ZYI_BMS_MAX_SIDE &&
                f.height <= ZYI_BMS_MAX_SIDE && Finite(f.frame_rate) && Finite(f.left) &&
                Finite(f.top) && Finite(f.right) && Finite(f.bottom);
    if (!sane) {
      Say(why, why_size, "Bitmap sequence '%s' is damaged: frame %d has an impossible entry.",
          name, i);
      return false;
    }
  }
  const uint8_t *encoding = c.Take(4);
  if (!encoding) {
    Say(why, why_size, "Bitmap sequence '%s' is damaged: it ends before its atlas image.", name);
    return false;
  }
  bool read;
  if (memcmp(encoding, "RLE", 4) == 0) {
    read = ReadRle(c, bgra, &out->atlas, &problem);
  } else if (memcmp(encoding, "PNG", 4) == 0) {
    read = ReadPng(c, name, bgra, written, &out->atlas, &problem);
  } else {
    char text[5];
    Printable(encoding, 4, text);
    Say(why, why_size, "encoding: '%s'", text);
    return false;
  }
  if (!read) Say(why, why_size, "Bitmap sequence '%s' is damaged: %s.", name, problem);
  return read;
}

// Little-endian writing; failures show in the stream's error flag.
void PutInt(FILE *f, int32_t v) {
  uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
  fwrite(b, 1, 4, f);
}
void PutFloat(FILE *f, float v) {
  int32_t bits;
  memcpy(&bits, &v, 4);
  PutInt(f, bits);
}

}  // namespace

bool ZYI_BmsParse(const char *name, const uint8_t *data, size_t size, bool bgra_pixels,
                  ZyBmsContents *out, char *why, size_t why_size) {
  return ZYI_BmsParseReusing(name, data, size, bgra_pixels, nullptr, out, why, why_size);
}

bool ZYI_BmsParseReusing(const char *name, const uint8_t *data, size_t size, bool bgra_pixels,
                         ZyBmsWrittenAtlas *written, ZyBmsContents *out, char *why,
                         size_t why_size) {
  memset(out, 0, sizeof *out);
  Say(why, why_size, "%s", "");
  if (!name) name = "";
  Cursor c = {data, data ? size : 0, 0};
  const uint8_t *magic = c.Take(sizeof MAGIC);
  if (!magic || memcmp(magic, MAGIC, sizeof MAGIC) != 0) {
    Say(why, why_size, "Bad header in bitmap sequence '%s'", name);
    return false;
  }
  int32_t count;
  const uint8_t *tag = nullptr;
  if (!c.Int(&count) || !c.Take(4) || !(tag = c.Take(8))) {
    Say(why, why_size, "Bitmap sequence '%s' is damaged: it ends inside its header.", name);
    return false;
  }
  if (count < 1 || count > ZYI_BMS_MAX_FRAMES) {
    Say(why, why_size, "Bitmap sequence '%s' is damaged: it claims %d frames.", name, count);
    return false;
  }
  if (memcmp(tag, ATLAS_TAG, sizeof ATLAS_TAG) != 0) {
    char text[9];
    Printable(tag, 8, text);
    Say(why, why_size, "unimplemented chunk: '%s'", text);
    return false;
  }
  out->frame_count = count;
  if (!ReadAtlasChunk(c, name, bgra_pixels, written, out, why, why_size)) {
    ZYI_BmsFree(out);
    return false;
  }
  return true;
}

bool ZYI_BmsRead(const char *name, bool bgra_pixels, ZyBmsWrittenAtlas *written,
                 ZyBmsContents *out, char *why, size_t why_size) {
  memset(out, 0, sizeof *out);
  Say(why, why_size, "%s", "");
  ZY_File *file = name ? ZYFS_OpenFileInternal(name, "rb") : nullptr;
  if (!file) return false;
  int64_t size = ZYFS_FileSize(file);
  uint8_t *data = size >= 0 && (uint64_t)size < (uint64_t)INT32_MAX
                      ? (uint8_t *)malloc((size_t)size + 1)
                      : nullptr;
  size_t got = 0;
  while (data && got < (size_t)size) {
    int32_t n = ZY_ReadFile(data + got, (int32_t)((size_t)size - got), file);
    if (n <= 0) break;
    got += (size_t)n;
  }
  ZYFS_CloseFileInternal(file);
  if (!data) {
    Say(why, why_size, "Bitmap sequence '%s' is too large to read.", name);
    return false;
  }
  bool parsed = ZYI_BmsParseReusing(name, data, got, bgra_pixels, written, out, why, why_size);
  free(data);
  return parsed;
}

void ZYI_BmsFreeWritten(ZyBmsWrittenAtlas *w) {
  if (!w) return;
  free(w->png);
  free(w->atlas.pixels);
  memset(w, 0, sizeof *w);
}

void ZYI_BmsFree(ZyBmsContents *c) {
  if (!c) return;
  free(c->frames);
  free(c->atlas.pixels);
  memset(c, 0, sizeof *c);
}

bool ZYI_BmsWrite(FILE *f, const ZyBmsFrame *frames, int32_t count, const ZY_Bitmap *atlas,
                  bool bgra_pixels, ZyBmsWrittenAtlas *written) {
  if (!f || !frames || count < 1 || !atlas || !atlas->pixels) return false;
  fwrite(MAGIC, 1, sizeof MAGIC, f);
  PutInt(f, count);
  fwrite("RGBA", 1, 4, f);
  ZY_Print("Writing bitmap sequence atlas.");
  fwrite(ATLAS_TAG, 1, sizeof ATLAS_TAG, f);
  PutInt(f, 0);
  for (int32_t i = 0; i < count; i++) {
    const ZyBmsFrame &e = frames[i];
    ZY_Print("Writing frame num %d - %d", i, e.frame_number);
    PutInt(f, e.width), PutInt(f, e.height), PutInt(f, e.frame_number);
    PutFloat(f, e.frame_rate);
    PutFloat(f, e.left), PutFloat(f, e.top), PutFloat(f, e.right), PutFloat(f, e.bottom);
  }
  // The PNG goes to memory first: its byte size comes before it in the file.
  char *png = nullptr;
  size_t png_size = 0;
  FILE *memory = open_memstream(&png, &png_size);
  bool encoded = memory && ZYI_EncodePngFast(memory, atlas, bgra_pixels);
  if (memory) fclose(memory);
  encoded = encoded && png_size <= (size_t)INT32_MAX;
  if (encoded) {
    fwrite("PNG", 1, 4, f);
    PutInt(f, (int32_t)png_size);
    fwrite(png, 1, png_size, f);
  }
  bool ok = encoded && !ferror(f);
  if (ok && written) {
    free(written->png);
    written->png = (uint8_t *)png, written->png_size = png_size;
    written->bgra_pixels = bgra_pixels;
    png = nullptr;
  }
  free(png);
  return ok;
}
