// image_loader.h — the image loader: PNG, JPEG and TGA files to pixel buffers and back.
//
// The loader is one object behind the abstract interface ImageLoader; its single
// implementation, ImageLoaderImp, is created by ZYI_InitImageLoader and reached through
// the engine-wide pointer zy::image.loader. Bitmap resources, bitmap sequences and font
// generation all load and save through it.
//
// A pixel buffer is width x height pixels of 4 bytes, rows top first, no padding,
// straight alpha. The byte order of a pixel is R, G, B, A, or B, G, R, A when the
// renderer module asked for it (`bgra_pixels`, see ZYI_BgraPixels); files always keep
// their own fixed order, so a buffer saved and loaded in the same run comes back equal.
//
// Files are read whole through the file layer (any name it accepts: res://, user://,
// search paths, paks) and decoded from memory; every decoder stops at the end of the
// data. Saving writes a native file with stdio.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

// The loader's interface, in slot order. Every operation takes the bitmap record whose
// fields it fills (width, height, pixels, alloc_width/alloc_height and the flags
// ZY_BITMAP_HAS_ALPHA and ZY_BITMAP_RELOADABLE); callers serialise access to one bitmap.
class ImageLoader {
 public:
  virtual ~ImageLoader() {}
  // Fills width, height and the flags from the file's header without decoding pixels;
  // afterwards the bitmap holds no pixel buffer. True (touching nothing) for a null
  // bitmap or name.
  virtual bool GetImageDimensions(ZY_Bitmap *bitmap, const char *name) = 0;
  // Decodes the file into a new pixel buffer (a buffer the bitmap held is released once
  // the file has been read); true exactly when the bitmap has pixels afterwards (and,
  // touching nothing, for a null bitmap or name). A damaged or truncated file fails.
  virtual bool LoadImage(ZY_Bitmap *bitmap, const char *name) = 0;
  // Gives the bitmap a new, uninitialised buffer of width x height pixels (each side
  // clamped to 0..65536), releasing one it had; odd sizes are reported, not refused.
  virtual void AllocateImagePixels(ZY_Bitmap *bitmap, int32_t width, int32_t height);
  // Releases the bitmap's buffer and clears its pixels pointer.
  virtual void FreeImagePixels(ZY_Bitmap *bitmap) = 0;
  // Writes the buffer as PNG, JPEG (quality 0..100) or TGA, chosen by how the name ends
  // ("png", "jpg", "tga", case-sensitive); a name with "://" is mapped to its native
  // path. False when nothing was written or the file could not be completed.
  virtual bool SaveImage(ZY_Bitmap *bitmap, const char *name, int32_t quality) = 0;
};

// The image block of the engine state.
struct ZyImage {
  uint8_t bgra_pixels;  // decode to B, G, R, A bytes (the renderer asked for them)
  ImageLoader *loader;  // the engine-wide loader; null before ZYI_InitImageLoader
};
ZYI_STATE_PART(ZyImage, image)

// Logs the start, creates the loader (once per process) and points zy::image.loader at
// it. True on success.
bool ZYI_InitImageLoader(void);
// Forgets the engine-wide pointer (the object itself lives until the process ends).
void ZYI_ShutdownImageLoader(void);
// The engine-wide loader, or null before initialisation.
ImageLoader *ZYI_GetImageLoader(void);
// Whether pixel buffers are stored B, G, R, A (`bgra_pixels`: the renderer module
// reported pixel order 1); otherwise R, G, B, A.
bool ZYI_BgraPixels(void);
// Sets the pixel order the loader decodes to (the renderer's, once it is loaded).
void ZYI_SetImagePixelOrder(bool bgra);
