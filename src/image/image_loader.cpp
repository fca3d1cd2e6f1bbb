// image_loader.cpp — the loader object: reading files whole, choosing a format by name,
// pixel buffer allocation and saving to native files.
//
// Reading is the same for GetImageDimensions and LoadImage: the file is opened through
// the file layer, read into one heap block, and the format's decoder (image_loader_codecs.h)
// runs over that block. A full load counts as done exactly when the bitmap ends up with
// a pixel buffer, whatever the decoder answered. Saving takes names by the rules of
// opening (a virtual name may not climb out of its root; an absolute native path is
// taken as it is), and writes the file whole through fs/atomic_file.h: a save that fails
// leaves the image it would have replaced as it was.
#include "image/image_loader.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "fs/atomic_file.h"
#include "fs/fs.h"
#include "image/image_loader_codecs.h"

ZyImage zy::image;  // engine state: the engine-wide image loader

namespace {

// The formats, in the order their read suffixes are tested.
const ZyiImageCodec *const CODECS[] = {&ZYI_TGA_CODEC, &ZYI_PNG_CODEC, &ZYI_JPEG_CODEC};
const int CODEC_COUNT = (int)(sizeof CODECS / sizeof CODECS[0]);

// Largest side AllocateImagePixels accepts without a warning (exclusive) and its clamp.
const int32_t SIDE_WARN_LIMIT = 65536;
const int32_t SIDE_CLAMP = 65536;

// The format whose read suffix ends the name (four characters, any case), or null.
const ZyiImageCodec *CodecToRead(const char *name) {
  size_t length = strlen(name);
  if (length < 4) return NULL;
  for (int i = 0; i < CODEC_COUNT; i++)
    if (strcasecmp(name + length - 4, CODECS[i]->read_suffix) == 0) return CODECS[i];
  return NULL;
}

// The format whose save ending ends the name (case-sensitive, no dot needed), or null.
const ZyiImageCodec *CodecToSave(const char *name) {
  size_t length = strlen(name);
  for (int i = 0; i < CODEC_COUNT; i++) {
    size_t ending = strlen(CODECS[i]->save_ending);
    if (length >= ending && strcmp(name + length - ending, CODECS[i]->save_ending) == 0)
      return CODECS[i];
  }
  return NULL;
}

// Reads a whole file through the file layer. False when it does not open (or its
// contents cannot be held); *data is then null.
bool ReadWholeFile(const char *name, uint8_t **data, size_t *size) {
  *data = NULL;
  *size = 0;
  ZY_File *file = ZY_OpenFile(name, "rb");
  if (!file) return false;
  int64_t expected = ZYFS_FileSize(file);
  if (expected < 0 || (uint64_t)expected > (uint64_t)SIZE_MAX - 1) {
    ZY_CloseFile(file);
    return false;
  }
  uint8_t *buffer = (uint8_t *)malloc((size_t)expected + 1);  // +1: never malloc(0)
  if (!buffer) {
    ZY_CloseFile(file);
    return false;
  }
  // The file layer reads at most 2 GiB per call; a file that turns out shorter than its
  // size keeps what was read, so a decoder never sees bytes that are not there.
  size_t got = 0;
  while (got < (size_t)expected) {
    size_t left = (size_t)expected - got;
    int32_t chunk = left > (size_t)INT32_MAX ? INT32_MAX : (int32_t)left;
    int32_t n = ZY_ReadFile(buffer + got, chunk, file);
    if (n <= 0) break;
    got += (size_t)n;
  }
  ZY_CloseFile(file);
  *data = buffer;
  *size = got;
  return true;
}

class ImageLoaderImp : public ImageLoader {
 public:
  bool GetImageDimensions(ZY_Bitmap *bitmap, const char *name) override {
    if (!bitmap || !name) return true;
    bool decoded = false;
    if (!ReadAndDecode(bitmap, name, ZYI_DECODE_DIMENSIONS, &decoded)) return false;
    if (bitmap->pixels) FreeImagePixels(bitmap);
    return decoded;
  }

  bool LoadImage(ZY_Bitmap *bitmap, const char *name) override {
    if (!bitmap || !name) return true;
    bool decoded = false;
    if (!ReadAndDecode(bitmap, name, ZYI_DECODE_PIXELS, &decoded)) return false;
    if (!bitmap->pixels) {
      ZY_Log(1, "Unable to load image '%s'\n", name);
      return false;
    }
    return true;
  }

  void AllocateImagePixels(ZY_Bitmap *bitmap, int32_t width, int32_t height) override {
    ImageLoader::AllocateImagePixels(bitmap, width, height);
  }

  void FreeImagePixels(ZY_Bitmap *bitmap) override {
    if (!bitmap) {
      ZY_Log(1, "ImageLoader trying to free null bitmap.\n");
      return;
    }
    free(bitmap->pixels);
    bitmap->pixels = NULL;
  }

  bool SaveImage(ZY_Bitmap *bitmap, const char *name, int32_t quality) override {
    if (!bitmap || !name || !bitmap->pixels) return false;
    ZY_Print("Saving image to file '%s'..\n", name);
    char native[ZYFS_PATH_SIZE * 2];
    const char *path = name;
    if (name[0] != '/') {
      bool mapped = strstr(name, "://") ? ZYFS_IsLegalName(name) &&
                                              ZYFS_MapToPlatformPath(name, native, sizeof native)
                                        : ZYFS_IsLegalName(name);
      if (!mapped) {
        ZY_Popup(1, "SaveImage - illegal file name '%s'. Save to res://, user:// or a full "
                    "path, without '..'.\n", name);
        return false;
      }
      if (strstr(name, "://")) path = native;
    }
    const ZyiImageCodec *codec = CodecToSave(name);
    if (!codec) {
      ZY_Popup(1, "SaveImage - file format for '%s' not supported. Use .png format.\n", name);
      return false;
    }
    ZyfsAtomicFile file;
    if (!ZYFS_AtomicOpen(&file, path)) {
      ZY_Log(1, "SaveImage - cannot create '%s': %s\n", name, strerror(file.error));
      return false;
    }
    if (!codec->Encode(file.stream, bitmap, quality, ZYI_BgraPixels())) {
      ZYFS_AtomicAbandon(&file);
      return false;
    }
    if (!ZYFS_AtomicCommit(&file)) {
      ZY_Log(1, "SaveImage - cannot write '%s': %s\n", name, strerror(file.error));
      return false;
    }
    return true;
  }

 private:
  // Steps shared by both reads: open and read the file, mark the bitmap reloadable, pick
  // the decoder by name and run it. False only when the file does not open; *decoded is
  // the decoder's answer (false for a name of no known format).
  bool ReadAndDecode(ZY_Bitmap *bitmap, const char *name, ZyiDecodeMode mode, bool *decoded) {
    uint8_t *data = NULL;
    size_t size = 0;
    if (!ReadWholeFile(name, &data, &size)) return false;
    bitmap->flags |= ZY_BITMAP_RELOADABLE;
    // Decoding starts from an empty bitmap; releasing the old buffer here (rather than
    // just forgetting it) keeps a reload from leaking it.
    if (bitmap->pixels) FreeImagePixels(bitmap);
    const ZyiImageCodec *codec = CodecToRead(name);
    if (!codec)
      ZY_Popup(1, "Unsupported image format in file '%s'\n", name);
    else
      *decoded = codec->Decode(bitmap, name, data, size, mode, ZYI_BgraPixels());
    free(data);
    return true;
  }
};

}  // namespace

// ---------------------------------------------------------------------------------
// The interface's own operation
// ---------------------------------------------------------------------------------

void ImageLoader::AllocateImagePixels(ZY_Bitmap *bitmap, int32_t width, int32_t height) {
  if (width < 1 || height < 1 || width >= SIDE_WARN_LIMIT || height >= SIDE_WARN_LIMIT)
    ZY_Popup(1, "ImageLoaderImp::AllocateImagePixels dimensions (%d%d) seem weird.", width,
             height);
  if (!bitmap) return;
  if (bitmap->pixels) {
    ZY_Popup(1, "ImageLoaderImp::AllocateImagePixels bitmap already has pixels allocated!");
    FreeImagePixels(bitmap);
  }
  width = width < 0 ? 0 : width > SIDE_CLAMP ? SIDE_CLAMP : width;
  height = height < 0 ? 0 : height > SIDE_CLAMP ? SIDE_CLAMP : height;
  bitmap->width = bitmap->alloc_width = width;
  bitmap->height = bitmap->alloc_height = height;
  bitmap->pixels = (uint32_t *)malloc((size_t)width * (size_t)height * 4);
}

// ---------------------------------------------------------------------------------
// Engine functions
// ---------------------------------------------------------------------------------

uint32_t *ZYI_AllocPixelBuffer(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) return NULL;
  uint64_t bytes = (uint64_t)width * height * 4;
  if (bytes > (uint64_t)SIZE_MAX) return NULL;
  return (uint32_t *)malloc((size_t)bytes);
}

bool ZYI_InitImageLoader(void) {
  ZY_Log(3, "Portable Image loader initializing..\n");
  static ImageLoaderImp instance;
  zy::image.loader = &instance;
  return true;
}

void ZYI_ShutdownImageLoader(void) { zy::image.loader = NULL; }

ImageLoader *ZYI_GetImageLoader(void) { return zy::image.loader; }

bool ZYI_BgraPixels(void) { return zy::image.bgra_pixels != 0; }

void ZYI_SetImagePixelOrder(bool bgra) { zy::image.bgra_pixels = bgra ? 1 : 0; }
