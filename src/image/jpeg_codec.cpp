// jpeg_codec.cpp — JPEG reading from memory and writing to a stream, through libjpeg.
//
// Reading: a memory source over the file's bytes, one scanline after another into the
// pixel buffer. Colour images become R, G, B, 255 (B, G, R, 255 under `bgra_pixels`),
// greyscale images g, g, g, 255, and CMYK images (as Adobe writes them, inverted) their
// RGB equivalent. Where the library can write four-byte pixels itself (libjpeg-turbo's
// extended colour spaces), it decodes straight into the buffer; otherwise each scanline
// is converted, never reading past its width x components bytes.
//
// libjpeg reports fatal errors through the error manager's exit, which here logs the
// library's message and jumps back to the session function (JpegReadSession,
// JpegWriteSession); those functions own no C++ objects, and what they must release sits
// in a plain job record. Warnings are counted and reported after the load, except those
// that mean pixel data is missing or damaged (the file ends, or a scan ends or breaks,
// before the last scanline): libjpeg would pad the rest with grey, but a truncated file
// fails, so those end the load like a library error.
//
// The frame header's size is believed only as far as the file can hold it: every 8 x 8
// block of the fullest component costs at least one bit of Huffman-coded data, so a file
// of n bytes holds at most 512 n pixels. Anything larger is refused before libjpeg or
// the loader allocate for it (an arithmetic-coded file packed denser than any Huffman
// one is refused with it).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>
#include <jerror.h>
#include <setjmp.h>

#include "base/log.h"
#include "base/popup.h"
#include "image/image_loader_codecs.h"

namespace {

const int ROWS_PER_READ = 16;  // scanlines asked for per jpeg_read_scanlines call
const uint64_t MAX_PIXELS_PER_BYTE = 64 * 8;  // one bit per 8 x 8 block

// The standard error manager with a way back to the session function.
struct JpegErrors {
  jpeg_error_mgr base;
  jmp_buf recovery;
  bool data_is_needed;  // missing or damaged data fails the load (until the last scanline)
};

void JpegOutputMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  ZY_Log(1, "libjpeg: %s\n", text);
}

// Fatal errors: the library's message, then back to the recovery point.
void JpegErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  longjmp(((JpegErrors *)cinfo->err)->recovery, 1);
}

// Whether a warning means pixels would be invented: the data ended or broke off.
bool LosesPixels(int code) {
  return code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
         code == JWRN_ARITH_BAD_CODE || code == JWRN_MUST_RESYNC;
}

// Warnings are counted (the first one is logged, as the standard manager does); trace
// messages are dropped. Lost pixel data is treated as fatal while it matters.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
  JpegErrors *errors = (JpegErrors *)cinfo->err;
  if (level >= 0) return;
  if (errors->data_is_needed && LosesPixels(errors->base.msg_code)) JpegErrorExit(cinfo);
  if (errors->base.num_warnings == 0) (*errors->base.output_message)(cinfo);
  errors->base.num_warnings++;
}

void InstallErrors(JpegErrors *errors) {
  jpeg_std_error(&errors->base);
  errors->base.error_exit = JpegErrorExit;
  errors->base.emit_message = JpegEmitMessage;
  errors->base.output_message = JpegOutputMessage;
  errors->data_is_needed = true;
}

// Everything one decompression makes or must free, outside the session's frame.
struct JpegJob {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  const uint8_t *data;
  size_t size;
  bool dimensions_only;
  bool bgra_pixels;
  bool created;          // the decompression object exists
  bool out_of_memory;    // the pixel buffer could not be allocated
  bool too_large;        // the header claims more pixels than the file can hold
  uint32_t width, height;
  uint32_t *pixels;      // the pixel buffer, until handed to the bitmap
};

// One scanline of `components` bytes a pixel into four-byte pixels.
void ConvertScanline(const JSAMPLE *in, uint8_t *out, uint32_t width, int components,
                     J_COLOR_SPACE space, bool bgra_pixels) {
  int r = bgra_pixels ? 2 : 0, b = bgra_pixels ? 0 : 2;
  for (uint32_t x = 0; x < width; x++, in += components, out += 4) {
    if (components == 3) {
      out[r] = in[0];
      out[1] = in[1];
      out[b] = in[2];
    } else if (components == 4 && (space == JCS_CMYK || space == JCS_YCCK)) {
      // Adobe CMYK is stored inverted: each channel already holds 255 - ink.
      out[r] = (uint8_t)(in[0] * in[3] / 255);
      out[1] = (uint8_t)(in[1] * in[3] / 255);
      out[b] = (uint8_t)(in[2] * in[3] / 255);
    } else {
      out[0] = out[1] = out[2] = in[0];  // grey, or the first of unknown components
    }
    out[3] = 255;
  }
}

// The libjpeg part of reading. No C++ objects live here: errors leave by longjmp.
bool JpegReadSession(JpegJob *job) {
  jpeg_decompress_struct *cinfo = &job->cinfo;
  cinfo->err = &job->errors.base;
  InstallErrors(&job->errors);
  if (setjmp(job->errors.recovery)) return false;

  jpeg_create_decompress(cinfo);
  job->created = true;
  jpeg_mem_src(cinfo, job->data, (unsigned long)job->size);
  jpeg_read_header(cinfo, TRUE);
  if (job->dimensions_only) {
    job->width = cinfo->image_width;
    job->height = cinfo->image_height;
    return true;
  }
  if ((uint64_t)cinfo->image_width * cinfo->image_height > job->size * MAX_PIXELS_PER_BYTE) {
    job->too_large = true;
    job->width = cinfo->image_width;
    job->height = cinfo->image_height;
    return false;
  }

  bool direct = false;
#ifdef JCS_EXTENSIONS
  // Colour and grey sources can be converted to four-byte pixels by the library itself.
  if (cinfo->jpeg_color_space == JCS_YCbCr || cinfo->jpeg_color_space == JCS_RGB ||
      cinfo->jpeg_color_space == JCS_GRAYSCALE) {
    cinfo->out_color_space = job->bgra_pixels ? JCS_EXT_BGRA : JCS_EXT_RGBA;
    direct = true;
  }
#endif
  jpeg_start_decompress(cinfo);
  uint32_t width = cinfo->output_width, height = cinfo->output_height;
  job->pixels = ZYI_AllocPixelBuffer(width, height);
  if (!job->pixels) {
    job->out_of_memory = true;
    return false;
  }
  job->width = width;
  job->height = height;

  uint8_t *base = (uint8_t *)job->pixels;
  size_t stride = (size_t)width * 4;
  if (direct && cinfo->output_components == 4) {
    JSAMPROW rows[ROWS_PER_READ];
    while (cinfo->output_scanline < height) {
      uint32_t first = cinfo->output_scanline;
      uint32_t count = height - first < ROWS_PER_READ ? height - first : ROWS_PER_READ;
      for (uint32_t i = 0; i < count; i++) rows[i] = base + (size_t)(first + i) * stride;
      jpeg_read_scanlines(cinfo, rows, count);
    }
  } else {
    int components = cinfo->output_components;
    JSAMPARRAY line = (*cinfo->mem->alloc_sarray)((j_common_ptr)cinfo, JPOOL_IMAGE,
                                                  width * (JDIMENSION)components, 1);
    while (cinfo->output_scanline < height) {
      jpeg_read_scanlines(cinfo, line, 1);
      ConvertScanline(line[0], base + (size_t)(cinfo->output_scanline - 1) * stride, width,
                      components, cinfo->out_color_space, job->bgra_pixels);
    }
  }
  // Every scanline is in: a missing end marker no longer loses anything.
  job->errors.data_is_needed = false;
  jpeg_finish_decompress(cinfo);
  return true;
}

bool DecodeJpeg(ZY_Bitmap *bitmap, const char *, const uint8_t *data, size_t size,
                ZyiDecodeMode mode, bool bgra_pixels) {
  bitmap->width = bitmap->height = 0;
  bitmap->pixels = NULL;
  bitmap->flags &= ~ZY_BITMAP_HAS_ALPHA;
  bool dimensions_only = mode == ZYI_DECODE_DIMENSIONS;

  JpegJob *job = (JpegJob *)calloc(1, sizeof(JpegJob));
  if (!job) return false;
  job->data = data;
  job->size = size;
  job->dimensions_only = dimensions_only;
  job->bgra_pixels = bgra_pixels;
  bool ok = JpegReadSession(job);
  if (job->created) jpeg_destroy_decompress(&job->cinfo);
  int warnings = (int)job->errors.base.num_warnings;

  if (!ok) {
    free(job->pixels);
    if (job->too_large)
      ZY_Popup(1, "Load JPG - %ux%u pixels cannot come from a file of %zu bytes\n", job->width,
               job->height, size);
    else if (job->out_of_memory)
      ZY_Popup(1, "Load JPG - JPEG out of memory while loading file\n");
    else if (dimensions_only)
      ZY_Popup(1, "ZYI_GetImageDimensionsJPG - setjmp failed.\n");
    else
      ZY_Popup(1, "Load JPG - setjmp failed.\n");
  } else if (dimensions_only) {
    bitmap->width = (int32_t)job->width;
    bitmap->height = (int32_t)job->height;
    if (warnings) ZY_Popup(1, "WARNING: %d warnings while loading JPEG\n", warnings);
  } else {
    bitmap->width = (int32_t)job->width;
    bitmap->height = (int32_t)job->height;
    if (warnings) ZY_Log(1, "WARNING: %d warnings while loading JPEG\n", warnings);
    bitmap->pixels = job->pixels;
  }
  free(job);
  return ok;
}

// ---------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------

struct JpegWriteJob {
  jpeg_compress_struct cinfo;
  JpegErrors errors;
  FILE *stream;
  const ZY_Bitmap *bitmap;
  int32_t quality;
  bool bgra_pixels;
  bool created;
  uint8_t *line;  // one row of packed R, G, B
};

// The libjpeg part of writing; no C++ objects, as for reading.
bool JpegWriteSession(JpegWriteJob *job) {
  jpeg_compress_struct *cinfo = &job->cinfo;
  cinfo->err = &job->errors.base;
  InstallErrors(&job->errors);
  if (setjmp(job->errors.recovery)) return false;

  jpeg_create_compress(cinfo);
  job->created = true;
  jpeg_stdio_dest(cinfo, job->stream);
  const ZY_Bitmap *bitmap = job->bitmap;
  cinfo->image_width = (JDIMENSION)bitmap->width;
  cinfo->image_height = (JDIMENSION)bitmap->height;
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, job->quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);

  uint32_t width = (uint32_t)bitmap->width;
  int r = job->bgra_pixels ? 2 : 0, b = job->bgra_pixels ? 0 : 2;
  while (cinfo->next_scanline < cinfo->image_height) {
    const uint8_t *in = (const uint8_t *)bitmap->pixels + (size_t)cinfo->next_scanline * width * 4;
    uint8_t *out = job->line;
    for (uint32_t x = 0; x < width; x++, in += 4, out += 3) {
      out[0] = in[r];
      out[1] = in[1];
      out[2] = in[b];
    }
    JSAMPROW row = job->line;
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

bool EncodeJpeg(FILE *stream, const ZY_Bitmap *bitmap, int32_t quality, bool bgra_pixels) {
  if (bitmap->width <= 0 || bitmap->height <= 0) return false;
  JpegWriteJob *job = (JpegWriteJob *)calloc(1, sizeof(JpegWriteJob));
  if (!job) return false;
  job->line = (uint8_t *)malloc((size_t)bitmap->width * 3);
  bool ok = false;
  if (job->line) {
    job->stream = stream;
    job->bitmap = bitmap;
    job->quality = quality;
    job->bgra_pixels = bgra_pixels;
    ok = JpegWriteSession(job);
    if (job->created) jpeg_destroy_compress(&job->cinfo);
  }
  free(job->line);
  free(job);
  return ok;
}

}  // namespace

const ZyiImageCodec ZYI_JPEG_CODEC = {".jpg", "jpg", DecodeJpeg, EncodeJpeg};
