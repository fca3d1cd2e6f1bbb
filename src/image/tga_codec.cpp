// tga_codec.cpp — TGA reading and writing, a codec of our own.
//
// Read: uncompressed (type 2) and run-length (type 10) true-colour files of 24 or 32 bits,
// without a colour map, stored bottom-up or top-down (descriptor bit 5) and left to right
// or mirrored (bit 4). File pixels are B, G, R (, A); 24-bit pixels get alpha 255.
// Run-length packets restart at every row and may not cross into the next file row; a
// packet that would write past the end of the pixel buffer stops the decode with one of
// the four overrun warnings, keeping what was written.
//
// Every read is checked against the end of the file's bytes: a file that ends early
// fails, and does so before the pixel buffer exists whenever the shortfall shows from
// the header alone. A run-length packet of 1 + depth/8 bytes gives at most 128 pixels,
// so a file whose data cannot encode its header's pixel count is refused at once.
//
// Write: uncompressed 32-bit, bottom-up, B, G, R, A.
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "image/image_loader_codecs.h"

namespace {

const size_t HEADER_SIZE = 18;
const uint8_t TYPE_TRUE_COLOUR = 2;
const uint8_t TYPE_RLE_TRUE_COLOUR = 10;
const uint8_t DESCRIPTOR_RIGHT_TO_LEFT = 0x10;
const uint8_t DESCRIPTOR_TOP_FIRST = 0x20;
const uint32_t MAX_SIDE = 0xFFFF;  // a 16-bit header field

struct TgaHeader {
  uint8_t id_length;
  uint8_t colour_map_type;
  uint8_t image_type;
  uint32_t width, height;
  uint8_t depth;
  uint8_t descriptor;
};

uint32_t U16(const uint8_t *p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8); }

TgaHeader ParseHeader(const uint8_t *data) {
  TgaHeader h;
  h.id_length = data[0];
  h.colour_map_type = data[1];
  h.image_type = data[2];
  h.width = U16(data + 12);
  h.height = U16(data + 14);
  h.depth = data[16];
  h.descriptor = data[17];
  return h;
}

// One file pixel (B, G, R [, A]) as a buffer pixel in the run's byte order.
inline void PutPixel(uint8_t *out, const uint8_t *in, int bytes, bool bgra_pixels) {
  if (bgra_pixels) {
    out[0] = in[0];
    out[2] = in[2];
  } else {
    out[0] = in[2];
    out[2] = in[0];
  }
  out[1] = in[1];
  out[3] = bytes == 4 ? in[3] : 255;
}

// Reads the run-length rows. False when the data ends before the image is complete;
// true when it is complete or an overrun stopped it (reported here).
bool ReadRunLengthRows(const TgaHeader &h, const uint8_t *p, const uint8_t *end, uint8_t *pixels,
                       bool bgra_pixels) {
  int bytes = h.depth / 8;
  size_t total = (size_t)h.width * h.height;
  bool top_first = (h.descriptor & DESCRIPTOR_TOP_FIRST) != 0;
  for (uint32_t y = 0; y < h.height; y++) {
    size_t row = top_first ? y : h.height - 1 - y;
    size_t start = row * h.width;
    size_t written = 0;
    while (written < h.width) {
      if (p >= end) return false;
      uint8_t packet = *p++;
      int count = (packet & 0x7F) + 1;
      bool repeated = (packet & 0x80) != 0;
      if ((size_t)(end - p) < (size_t)(repeated ? 1 : count) * bytes) return false;
      for (int i = 0; i < count; i++) {
        size_t index = start + written;
        if (index >= total) {
          int left = count - i - 1;
          if (!bgra_pixels)
            ZY_Log(2, repeated ? "TGA buffer overrun #1: (%d)\n" : "TGA buffer overrun #2: (%d)\n",
                   left);
          else
            ZY_Log(2, repeated ? "TGA buffer overrun #3: (%d)\n" : "TGA buffer overrun #4: (%d)\n",
                   left);
          return true;
        }
        PutPixel(pixels + index * 4, repeated ? p : p + (size_t)i * bytes, bytes, bgra_pixels);
        written++;
      }
      p += (size_t)(repeated ? 1 : count) * bytes;
    }
  }
  return true;
}

void ReadRawRows(const TgaHeader &h, const uint8_t *p, uint8_t *pixels, bool bgra_pixels) {
  int bytes = h.depth / 8;
  bool top_first = (h.descriptor & DESCRIPTOR_TOP_FIRST) != 0;
  for (uint32_t y = 0; y < h.height; y++) {
    size_t row = top_first ? y : h.height - 1 - y;
    uint8_t *out = pixels + row * h.width * 4;
    for (uint32_t x = 0; x < h.width; x++, p += bytes, out += 4) PutPixel(out, p, bytes, bgra_pixels);
  }
}

void MirrorRows(uint32_t *pixels, uint32_t width, uint32_t height) {
  for (uint32_t y = 0; y < height; y++) {
    uint32_t *row = pixels + (size_t)y * width;
    for (uint32_t a = 0, b = width - 1; a < b; a++, b--) {
      uint32_t t = row[a];
      row[a] = row[b];
      row[b] = t;
    }
  }
}

bool DecodeTga(ZY_Bitmap *bitmap, const char *, const uint8_t *data, size_t size,
               ZyiDecodeMode mode, bool bgra_pixels) {
  if (size < HEADER_SIZE) return false;
  TgaHeader h = ParseHeader(data);
  if (mode == ZYI_DECODE_DIMENSIONS) {
    bitmap->width = (int32_t)h.width;
    bitmap->height = (int32_t)h.height;
    bitmap->flags |= ZY_BITMAP_HAS_ALPHA | ZY_BITMAP_RELOADABLE;
    return true;
  }
  if (h.colour_map_type != 0) return false;
  if (h.image_type != TYPE_TRUE_COLOUR && h.image_type != TYPE_RLE_TRUE_COLOUR) return false;
  if (h.depth != 24 && h.depth != 32) return false;
  // An image without pixels has nothing to show and no buffer to hold it.
  if (h.width == 0 || h.height == 0) return false;

  const uint8_t *p = data + HEADER_SIZE;
  const uint8_t *end = data + size;
  if ((size_t)(end - p) < h.id_length) return false;
  p += h.id_length;
  size_t bytes = h.depth / 8;
  size_t available = (size_t)(end - p);
  if (h.image_type == TYPE_TRUE_COLOUR) {
    if (available / bytes / h.width < h.height) return false;
  } else {
    // Every row takes at least one packet per 128 pixels, each a header and a pixel,
    // except that an overrun may end the decode in the row that lands last in the
    // buffer: the first file row when stored bottom-up, the last one when top first.
    size_t packet = 1 + bytes;
    size_t full_rows = (h.descriptor & DESCRIPTOR_TOP_FIRST) ? h.height - 1 : 0;
    size_t packets_per_row = (h.width + 127) / 128;
    if (available < packet || (available - packet) / packet / packets_per_row < full_rows)
      return false;
    if ((uint64_t)h.width * h.height > (uint64_t)(available / packet) * 128) return false;
  }

  bitmap->width = (int32_t)h.width;
  bitmap->height = (int32_t)h.height;
  bitmap->flags |= ZY_BITMAP_HAS_ALPHA | ZY_BITMAP_RELOADABLE;
  // An overrun leaves the rest of a run-length buffer unwritten: it starts out as
  // transparent black rather than whatever the heap held.
  uint32_t *pixels = h.image_type == TYPE_TRUE_COLOUR
                         ? ZYI_AllocPixelBuffer(h.width, h.height)
                         : (uint32_t *)calloc((size_t)h.width * h.height, 4);
  if (!pixels) return false;

  if (h.image_type == TYPE_TRUE_COLOUR) {
    ReadRawRows(h, p, (uint8_t *)pixels, bgra_pixels);
  } else {
    if (!ReadRunLengthRows(h, p, end, (uint8_t *)pixels, bgra_pixels)) {
      free(pixels);
      return false;
    }
  }
  if (h.descriptor & DESCRIPTOR_RIGHT_TO_LEFT) MirrorRows(pixels, h.width, h.height);
  bitmap->pixels = pixels;
  return true;
}

// ---------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------

bool EncodeTga(FILE *stream, const ZY_Bitmap *bitmap, int32_t, bool bgra_pixels) {
  // The header holds 16-bit sides: a larger image cannot be described, so it is refused
  // rather than written with a header that does not match its data.
  if (bitmap->width < 0 || bitmap->height < 0 || (uint32_t)bitmap->width > MAX_SIDE ||
      (uint32_t)bitmap->height > MAX_SIDE) {
    ZY_Log(1, "SaveImage - image size %dx%d does not fit in a TGA file.\n", bitmap->width,
           bitmap->height);
    return false;
  }
  uint32_t width = (uint32_t)bitmap->width, height = (uint32_t)bitmap->height;
  uint8_t header[HEADER_SIZE] = {0};
  header[2] = TYPE_TRUE_COLOUR;
  header[12] = (uint8_t)(width & 0xFF);
  header[13] = (uint8_t)(width >> 8);
  header[14] = (uint8_t)(height & 0xFF);
  header[15] = (uint8_t)(height >> 8);
  header[16] = 32;
  header[17] = 8;  // eight alpha bits, bottom-left origin
  if (fwrite(header, 1, HEADER_SIZE, stream) != HEADER_SIZE) return false;
  if (width == 0 || height == 0) return true;

  uint8_t *line = (uint8_t *)malloc((size_t)width * 4);
  if (!line) return false;
  bool ok = true;
  for (uint32_t y = height; y-- > 0 && ok;) {
    const uint8_t *in = (const uint8_t *)bitmap->pixels + (size_t)y * width * 4;
    uint8_t *out = line;
    for (uint32_t x = 0; x < width; x++, in += 4, out += 4) {
      out[0] = bgra_pixels ? in[0] : in[2];
      out[1] = in[1];
      out[2] = bgra_pixels ? in[2] : in[0];
      out[3] = in[3];
    }
    ok = fwrite(line, 1, (size_t)width * 4, stream) == (size_t)width * 4;
  }
  free(line);
  return ok;
}

}  // namespace

const ZyiImageCodec ZYI_TGA_CODEC = {".tga", "tga", DecodeTga, EncodeTga};
