// png_codec.cpp — PNG reading from memory and writing to a stream, through libpng.
//
// Reading asks libpng for 8-bit samples (palettes and transparency expanded, 16-bit
// samples stripped, low-depth grey widened), with the file's gamma (or the usual 1/2.2)
// against a screen gamma of 2.2, and turns what comes out into pixels by channel count:
//
//   4 channels  as decoded                         has alpha
//   3           c0, c1, c2, 255                    no alpha
//   2           g, g, g, a                         has alpha
//   1           255, 255, 255, g (grey as alpha)   has alpha
//
// libpng reports errors by longjmp. Each libpng session lives in one function that owns
// no C++ objects (PngReadSession, PngWriteSession); everything it must release after a
// jump sits in a plain job record, so an error anywhere becomes a failed load or save.
// The read callback never goes past the end of the file's bytes: running out is an error.
#include <png.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "image/image_loader_codecs.h"

namespace {

const double SCREEN_GAMMA = 2.2;
const double DEFAULT_FILE_GAMMA = 0.45455;  // 1/2.2, for files without a gAMA chunk

// Deflate cannot expand data more than 1032 times (a 258-byte match in two bits), so a
// file claiming more raw image bytes than this is damaged: it is refused before the
// pixel buffer is allocated rather than after a huge allocation.
const uint64_t DEFLATE_MAX_RATIO = 1032;
const uint64_t DEFLATE_SLACK = 1 << 16;

// libpng allocates a chunk's buffer from the length in its header before reading a byte
// of it (a too-large length is only a warning), so a hundred damaged bytes could ask for
// gigabytes. Its allocations go through PngAlloc, which refuses anything larger than the
// file plus this room: enough for the widest row libpng accepts (a million 16-bit RGBA
// pixels) and for inflated text or colour profiles. A refused chunk then fails to read.
const size_t LIBPNG_ALLOC_ROOM = 16 << 20;

// Everything one libpng session reads, makes or must free, kept outside the session
// function's frame so a longjmp loses nothing.
struct PngJob {
  // Input
  const uint8_t *data;
  size_t size;
  size_t offset;          // read position of the callback
  bool dimensions_only;
  bool bgra_pixels;
  // libpng objects
  png_structp png;
  png_infop info;
  png_infop end_info;
  // Output and temporaries
  uint32_t width, height;
  uint32_t *pixels;       // the pixel buffer, until handed to the bitmap
  uint8_t *decoded;       // rows of fewer than 4 channels (null when decoding in place)
  png_bytep *rows;        // row pointers
  int channels;           // channels of the decoded rows, as the table above counts them
  bool created;           // libpng's structures could be made
  char error[200];        // libpng's last error message
};

png_voidp PngAlloc(png_structp png, png_alloc_size_t size) {
  const PngJob *job = (const PngJob *)png_get_mem_ptr(png);
  if (size > job->size + LIBPNG_ALLOC_ROOM) return NULL;
  return malloc(size);
}

void PngFree(png_structp, png_voidp p) { free(p); }

void PngError(png_structp png, png_const_charp message) {
  PngJob *job = (PngJob *)png_get_error_ptr(png);
  snprintf(job->error, sizeof job->error, "%s", message ? message : "unknown error");
  png_longjmp(png, 1);
}

// Warnings (a bad ancillary chunk, an odd profile) do not stop a load; libpng's default
// would print them to stderr.
void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, png_size_t length) {
  PngJob *job = (PngJob *)png_get_io_ptr(png);
  if (length > job->size - job->offset) png_error(png, "Read beyond end of data");
  memcpy(out, job->data + job->offset, length);
  job->offset += length;
}

// Channels libpng will deliver once the expansions are set: palette and RGB give 3,
// grey 1, each plus one for a tRNS chunk; the alpha types keep theirs.
int ExpectedChannels(int color_type, bool has_trns) {
  switch (color_type) {
    case PNG_COLOR_TYPE_PALETTE:
    case PNG_COLOR_TYPE_RGB: return 3 + has_trns;
    case PNG_COLOR_TYPE_GRAY: return 1 + has_trns;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
  }
  return 0;
}

// The libpng part of reading. No C++ objects live here: libpng leaves by longjmp. True
// on success; on false, job->error says why (empty when the structures could not be made).
bool PngReadSession(PngJob *job) {
  job->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, job, PngError, PngWarning, job,
                                      PngAlloc, PngFree);
  if (!job->png) return false;
  job->info = png_create_info_struct(job->png);
  job->end_info = png_create_info_struct(job->png);
  if (!job->info || !job->end_info) return false;
  job->created = true;
  if (setjmp(png_jmpbuf(job->png))) return false;

  png_set_read_fn(job->png, job, PngRead);
#ifdef PNG_IGNORE_ADLER32
  // Every chunk's CRC already guards the compressed bytes; the zlib stream's own
  // checksum over the inflated data would only cost time (about a tenth of a load).
  png_set_option(job->png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  png_read_info(job->png, job->info);
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, color_type = 0;
  png_get_IHDR(job->png, job->info, &width, &height, &bit_depth, &color_type, NULL, NULL, NULL);
  job->width = width;
  job->height = height;
  if (job->dimensions_only) return true;

  uint64_t raw_bytes = (uint64_t)height * (png_get_rowbytes(job->png, job->info) + 1);
  if (raw_bytes > (uint64_t)job->size * DEFLATE_MAX_RATIO + DEFLATE_SLACK)
    png_error(job->png, "Image data cannot fit in the file");
  job->pixels = ZYI_AllocPixelBuffer(width, height);
  if (!job->pixels) png_error(job->png, "Out of memory for the pixel buffer");

  double file_gamma = 0;
  if (!png_get_gAMA(job->png, job->info, &file_gamma)) file_gamma = DEFAULT_FILE_GAMMA;
  png_set_gamma(job->png, SCREEN_GAMMA, file_gamma);

  bool has_trns = png_get_valid(job->png, job->info, PNG_INFO_tRNS) != 0;
  png_set_expand(job->png);
  png_set_strip_16(job->png);
  if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(job->png);
  png_set_expand_gray_1_2_4_to_8(job->png);
  if (job->bgra_pixels && (color_type & PNG_COLOR_MASK_COLOR)) png_set_bgr(job->png);
  if (has_trns) png_set_tRNS_to_alpha(job->png);
  // Three channels become c0, c1, c2, 255: libpng's filler writes exactly that, straight
  // into the pixel buffer, which saves a pass over a temporary copy.
  bool filled = ExpectedChannels(color_type, has_trns) == 3;
  if (filled) png_set_filler(job->png, 0xff, PNG_FILLER_AFTER);
  png_set_interlace_handling(job->png);
  png_read_update_info(job->png, job->info);

  png_size_t row_bytes = png_get_rowbytes(job->png, job->info);
  job->channels = (int)(row_bytes / width);
  uint8_t *target = (uint8_t *)job->pixels;
  if (job->channels != 4) {
    job->decoded = (uint8_t *)malloc((size_t)row_bytes * height);
    if (!job->decoded) png_error(job->png, "Out of memory for the decoded rows");
    target = job->decoded;
  } else if (filled) {
    job->channels = 3;  // four bytes a pixel, but the file had no alpha
  }
  job->rows = (png_bytep *)malloc(sizeof(png_bytep) * height);
  if (!job->rows) png_error(job->png, "Out of memory for the row table");
  for (png_uint_32 y = 0; y < height; y++) job->rows[y] = target + (size_t)y * row_bytes;
  png_read_image(job->png, job->rows);
  return true;
}

// Turns decoded rows of 1 to 3 channels into pixels (4 channels, and 3 when libpng
// added the filler, were decoded in place).
void ExpandRows(const PngJob *job) {
  size_t count = (size_t)job->width * job->height;
  const uint8_t *in = job->decoded;
  uint8_t *out = (uint8_t *)job->pixels;
  if (job->channels == 3) {
    for (size_t i = 0; i < count; i++, in += 3, out += 4) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      out[3] = 255;
    }
  } else if (job->channels == 2) {
    for (size_t i = 0; i < count; i++, in += 2, out += 4) {
      out[0] = out[1] = out[2] = in[0];
      out[3] = in[1];
    }
  } else {
    for (size_t i = 0; i < count; i++, in++, out += 4) {
      out[0] = out[1] = out[2] = 255;
      out[3] = in[0];
    }
  }
}

bool DecodePng(ZY_Bitmap *bitmap, const char *name, const uint8_t *data, size_t size,
               ZyiDecodeMode mode, bool bgra_pixels) {
  bitmap->width = bitmap->height = 0;
  bitmap->pixels = NULL;
  bitmap->flags &= ~ZY_BITMAP_HAS_ALPHA;
  bitmap->flags |= ZY_BITMAP_RELOADABLE;
  bool dimensions_only = mode == ZYI_DECODE_DIMENSIONS;

  if (size < 4 || png_sig_cmp((png_const_bytep)data, 0, 4) != 0) {
    if (!dimensions_only) ZY_Log(1, "PNG ERROR: Image '%s' not proper png.", name);
    return false;
  }

  PngJob job;
  memset(&job, 0, sizeof job);
  job.data = data;
  job.size = size;
  job.dimensions_only = dimensions_only;
  job.bgra_pixels = bgra_pixels;
  bool ok = PngReadSession(&job);
  if (job.png) png_destroy_read_struct(&job.png, &job.info, &job.end_info);
  free(job.rows);

  if (!job.created) {
    ZY_Log(1, "PNG ERROR: Image '%s' load failed.", name);
    ok = false;
  } else if (!ok) {
    // Damaged or truncated data: nothing of a half-decoded image is kept.
    ZY_Log(1, "PNG ERROR: Image '%s' load failed.", name);
    ZY_Log(1, "libpng error: %s\n", job.error);
    free(job.pixels);
  } else if (dimensions_only) {
    bitmap->width = (int32_t)job.width;
    bitmap->height = (int32_t)job.height;
  } else {
    bitmap->width = (int32_t)job.width;
    bitmap->height = (int32_t)job.height;
    bitmap->pixels = job.pixels;
    switch (job.channels) {
      case 4: bitmap->flags |= ZY_BITMAP_HAS_ALPHA; break;
      case 3:
        if (job.decoded) ExpandRows(&job);
        break;
      case 2:
      case 1:
        ExpandRows(&job);
        bitmap->flags |= ZY_BITMAP_HAS_ALPHA;
        break;
      default:
        ZY_Popup(1, "Unsupported png '%s' with %d channels.\n", name, job.channels);
        break;
    }
  }
  free(job.decoded);
  return ok;
}

// ---------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------

struct PngWriteJob {
  FILE *stream;
  const ZY_Bitmap *bitmap;
  bool bgra_pixels;
  bool fast;            // fastest deflate and the "up" filter on every row
  png_structp png;
  png_infop info;
  png_bytep *rows;
  char error[200];
};

void PngWriteError(png_structp png, png_const_charp message) {
  PngWriteJob *job = (PngWriteJob *)png_get_error_ptr(png);
  snprintf(job->error, sizeof job->error, "%s", message ? message : "unknown error");
  png_longjmp(png, 1);
}

// The libpng part of writing; no C++ objects, as for reading.
bool PngWriteSession(PngWriteJob *job) {
  job->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job, PngWriteError, PngWarning);
  if (!job->png) return false;
  job->info = png_create_info_struct(job->png);
  if (!job->info) return false;
  if (setjmp(png_jmpbuf(job->png))) return false;

  const ZY_Bitmap *bitmap = job->bitmap;
  png_init_io(job->png, job->stream);
  png_set_IHDR(job->png, job->info, (png_uint_32)bitmap->width, (png_uint_32)bitmap->height, 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color_8 significant;
  significant.red = significant.green = significant.blue = 8;
  significant.gray = significant.alpha = 8;
  png_set_sBIT(job->png, job->info, &significant);
  if (job->fast) {
    // Choosing a filter per row and deflating hard cost five times the time for files
    // about a fifth smaller; for big atlases the engine writes itself, speed wins.
    png_set_compression_level(job->png, 1);
    png_set_filter(job->png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  }
  png_write_info(job->png, job->info);
  if (job->bgra_pixels) png_set_bgr(job->png);  // the file is always R, G, B, A

  png_uint_32 height = (png_uint_32)bitmap->height;
  if (height > 0x3FFFFFFF) png_error(job->png, "Image is too tall to process in memory");
  job->rows = (png_bytep *)malloc(sizeof(png_bytep) * height);
  if (!job->rows) png_error(job->png, "Out of memory for the row table");
  size_t stride = (size_t)bitmap->width * 4;
  for (png_uint_32 y = 0; y < height; y++)
    job->rows[y] = (png_bytep)bitmap->pixels + (size_t)y * stride;
  png_write_image(job->png, job->rows);
  png_write_end(job->png, NULL);
  return true;
}

bool WritePng(FILE *stream, const ZY_Bitmap *bitmap, bool bgra_pixels, bool fast) {
  if (bitmap->width <= 0 || bitmap->height <= 0) return false;
  PngWriteJob job;
  memset(&job, 0, sizeof job);
  job.stream = stream;
  job.bitmap = bitmap;
  job.bgra_pixels = bgra_pixels;
  job.fast = fast;
  bool ok = PngWriteSession(&job);
  if (job.png) png_destroy_write_struct(&job.png, &job.info);
  free(job.rows);
  if (!ok && job.error[0]) ZY_Log(1, "libpng error: %s\n", job.error);
  return ok;
}

bool EncodePng(FILE *stream, const ZY_Bitmap *bitmap, int32_t, bool bgra_pixels) {
  return WritePng(stream, bitmap, bgra_pixels, false);
}

}  // namespace

bool ZYI_EncodePngFast(FILE *stream, const ZY_Bitmap *bitmap, bool bgra_pixels) {
  return WritePng(stream, bitmap, bgra_pixels, true);
}

const ZyiImageCodec ZYI_PNG_CODEC = {".png", "png", DecodePng, EncodePng};
