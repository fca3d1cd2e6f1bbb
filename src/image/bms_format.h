// bms_format.h — the bitmap sequence file (.bms): many frames of one animation and the
// atlas picture that holds them.
//
// A file is a header ("ZY_Bm_Seq_v1" and a zero byte, the frame count N, the pixel
// format "RGBA") followed by chunks; each chunk starts with an 8-byte tag and a 4-byte
// word that is written as 0 and ignored. The one chunk this engine reads and writes is
// ATLAS: N frame entries of 32 bytes (width, height, frame number, frame rate and the
// frame's place in the atlas as left, top, right, bottom fractions; a repeated frame
// carries the place of the frame it repeats), then the atlas image, encoded "PNG"
// (a byte size and a PNG file) or "RLE" (width, height, runs of count + B, G, R, A).
// FRAME chunks (one picture per frame) are refused. Integers are little-endian.
//
// Parsing works on the whole file in memory and never reads past its end; every count
// and size a file claims is checked against the bytes it has left before anything is
// allocated for it, so a hostile file costs at most about what it weighs (an RLE image
// at most 51 pixels per byte, a PNG what its decoder allows).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "zylem.h"

#define ZYI_BMS_HEADER_SIZE 21  // magic (13), frame count (4), pixel format (4)
#define ZYI_BMS_ENTRY_SIZE 32   // one frame entry of the ATLAS chunk
#define ZYI_BMS_MAX_SIDE 65536  // widest and tallest frame or atlas a file may claim
#define ZYI_BMS_MAX_FRAMES 10000  // frames a file may claim (numbered frames give 1000)

// One frame entry.
struct ZyBmsFrame {
  int32_t width, height;            // the frame's size in pixels
  int32_t frame_number;             // the number in its image file's name
  float frame_rate;                 // frames per second
  float left, top, right, bottom;   // its place in the atlas, fractions of the atlas size
};

// What a sequence file holds.
struct ZyBmsContents {
  int32_t frame_count;
  ZyBmsFrame *frames;  // frame_count entries (malloc'd)
  ZY_Bitmap atlas;     // width, height, pixels (malloc'd, engine pixel order), has-alpha flag
};

// A sequence's atlas as it was just written: the PNG bytes that went into the file and
// the pixels they were encoded from (engine pixel order `bgra_pixels`). Reading the file
// back with it takes those pixels instead of decoding when the file's atlas is exactly
// these bytes in the same pixel order (the same bytes decode to the same pixels); any
// other file is decoded as always.
struct ZyBmsWrittenAtlas {
  uint8_t *png;  // malloc'd
  size_t png_size;
  bool bgra_pixels;
  ZY_Bitmap atlas;  // width, height, pixels (malloc'd), has-alpha flag
};
// Frees what a written atlas still holds; the record is empty afterwards.
void ZYI_BmsFreeWritten(ZyBmsWrittenAtlas *written);

// Parses a whole sequence file held in memory (name for messages). On failure `out` is
// left empty and `why` holds the message to report: "Bad header in bitmap sequence '%s'",
// "unimplemented chunk: '%s'", "encoding: '%s'", or a damaged file's own.
bool ZYI_BmsParse(const char *name, const uint8_t *data, size_t size, bool bgra_pixels,
                  ZyBmsContents *out, char *why, size_t why_size);
// The same, taking the pixels of `written` (when not null and its PNG matches) instead
// of decoding the atlas; `written` then has no pixels left.
bool ZYI_BmsParseReusing(const char *name, const uint8_t *data, size_t size, bool bgra_pixels,
                         ZyBmsWrittenAtlas *written, ZyBmsContents *out, char *why,
                         size_t why_size);
// Reads a sequence file through the file layer and parses it (reusing `written` as
// ZYI_BmsParseReusing does; it may be null). False with an empty `why` when the file
// does not open.
bool ZYI_BmsRead(const char *name, bool bgra_pixels, ZyBmsWrittenAtlas *written,
                 ZyBmsContents *out, char *why, size_t why_size);
// Frees the frames and the atlas pixels; the record is empty afterwards.
void ZYI_BmsFree(ZyBmsContents *contents);
// Writes a whole sequence file to a stream: the header, the ATLAS chunk with its
// entries, "PNG", the byte size of the atlas as PNG and the PNG itself. Prints
// "Writing bitmap sequence atlas." and "Writing frame num %d - %d" per entry. False when
// the stream failed. With `written`, the PNG bytes are handed over to it (its pixels are
// left for the caller to fill).
bool ZYI_BmsWrite(FILE *stream, const ZyBmsFrame *frames, int32_t count, const ZY_Bitmap *atlas,
                  bool bgra_pixels, ZyBmsWrittenAtlas *written = nullptr);
