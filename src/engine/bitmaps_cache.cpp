// bitmaps_cache.cpp — what a bitmap holds: cache modes, loading from files, manifest
// parameters, frames, and re-creation on a new renderer device.
//
// ZY_SetBitmapCacheMode is the one place where a bitmap's pixels and texture are made
// to match its cache mode: pixels are loaded when memory or GPU is asked for and none
// are held, uploaded when the GPU is asked for, and dropped again when only the GPU was
// wanted (once the texture exists) or nothing is wanted. Mode 0 hibernates the bitmap.
// All of it runs under the record's own lock.
//
// A bitmap's file is its name when that has an extension, else the first of name.png,
// name.jpg, name.bms and name.tga that opens. Single images go through the image loader
// and then take their logical size and pack mode from the manifest arrays of the
// configuration. Sequences (".bms" files and "*" names, bitmaps_sequence.h) and downloads
// ("http://" names) are recognised here and handed to their loaders.
//
// Sections: loading; cache modes; frames; re-creation.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "config/config.h"
#include "config/didodoz.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "base/threads.h"
#include "engine/bitmaps_internal.h"
#include "engine/bitmaps_sequence.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "fs/fs.h"
#include "image/atlas.h"
#include "image/image_loader.h"

// ---------------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------------

namespace {

// Extensions tried, in order, for a name without one.
const char *const FILE_EXTENSIONS[] = {".png", ".jpg", ".bms", ".tga"};
// Extensions tried, in order, when a manifest does not list the bare name.
const char *const MANIFEST_EXTENSIONS[] = {".png", ".jpg", ".tga", ".bms"};

bool EndsWith(const char *text, const char *suffix) {
  size_t n = strlen(text), m = strlen(suffix);
  return n >= m && strcmp(text + n - m, suffix) == 0;
}

// The file a bitmap loads from, into out: the name itself when it has an extension,
// else the first candidate that opens through the file system. False when none does.
bool FindSourceFile(const char *name, char *out, size_t size) {
  if (ZYI_BitmapNameHasExtension(name)) {
    if (snprintf(out, size, "%s", name) >= (int)size) return false;
    return true;
  }
  for (const char *ext : FILE_EXTENSIONS) {
    if (snprintf(out, size, "%s%s", name, ext) >= (int)size) return false;
    ZY_File *file = ZYFS_OpenFileInternal(out, "rb");
    if (file) {
      ZYFS_CloseFileInternal(file);
      return true;
    }
  }
  return false;
}

// An attribute as an integer (32 when the attribute is missing); out-of-range values
// are clamped.
int32_t ManifestInt(const ZyDidodozNode *node, const char *attribute) {
  const char *value = ZYI_DidodozGetAttribute(node, attribute);
  if (!value) return 32;
  long v = strtol(value, nullptr, 10);
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return (int32_t)v;
}

// The node of the first manifest array that lists the id, or null.
ZyDidodozNode *FindInManifests(const char *id) {
  for (int32_t i = 0; i < ZYI_ManifestArrayCount(); i++) {
    ZyDidodozNode *node = ZYI_DidodozFindNode(ZYI_ManifestArray(i), id);
    if (node) return node;
  }
  return nullptr;
}

// The manifest node of a bitmap: its name, or (without an extension) the name with the
// usual image extensions.
ZyDidodozNode *FindManifestNode(const char *name) {
  ZyDidodozNode *node = FindInManifests(name);
  if (node || ZYI_BitmapNameHasExtension(name)) return node;
  char id[1024];
  for (const char *ext : MANIFEST_EXTENSIONS) {
    if (snprintf(id, sizeof id, "%s%s", name, ext) >= (int)sizeof id) return nullptr;
    node = FindInManifests(id);
    if (node) return node;
  }
  return nullptr;
}

// A manifest gives a loaded image its logical size (the pixel buffer keeps its own, in
// alloc_width x alloc_height) and its pack mode.
void ApplyManifest(ZY_Bitmap *b) {
  ZyDidodozNode *node = FindManifestNode(b->name);
  if (!node) return;
  b->alloc_width = b->width;
  b->alloc_height = b->height;
  b->width = ManifestInt(node, "w");
  b->height = ManifestInt(node, "h");
  const char *pack_mode = ZYI_DidodozGetAttribute(node, "pack_mode");
  if (pack_mode) {
    ZY_Print("Using pack mode '%s'\n", pack_mode);
    b->pack_mode = ZYI_PackModeFromWord(pack_mode, b->pack_mode);
  }
}

// One image file through the image loader, then the manifest parameters.
bool LoadSingleImage(ZY_Bitmap *b, const char *source) {
  ImageLoader *loader = ZYI_GetImageLoader();
  if (!loader || !loader->LoadImage(b, source) || !b->pixels) return false;
  b->alloc_width = b->width;
  b->alloc_height = b->height;
  ApplyManifest(b);
  return true;
}

// A downloaded bitmap ("http://" name) is read like a local file: the file layer's
// download cache fetches it on its first open and serves the cached copy afterwards.
bool LoadDownloadedImage(ZY_Bitmap *b, const char *source) { return LoadSingleImage(b, source); }

}  // namespace

bool ZYI_BitmapLoadFromFile(ZY_Bitmap *b) {
  char source[1024];
  if (!FindSourceFile(b->name, source, sizeof source)) {
    ZY_Log(ZY_LOG_WARNING, "Unable to load bitmap '%s'.\n", b->name);
    return false;
  }
  char *kept = strdup(source);
  if (kept) {
    free(b->source_name);
    b->source_name = kept;
  }
  b->state = ZY_BITMAP_STATE_LOADING;
  if (b->pixels) {
    ZY_Log(ZY_LOG_WARNING, "Bitmap '%s' has existing pixel data. Freeing it.\n", b->name);
    ZYI_BitmapFreePixels(b);
  }
  b->frame_rate = 30.0f;

  bool loaded;
  if (strncmp(b->name, "http://", 7) == 0)
    loaded = LoadDownloadedImage(b, source);
  else if (EndsWith(source, ".bms") || strchr(b->name, '*'))
    loaded = ZYI_LoadBitmapSequence(b, source);
  else
    loaded = LoadSingleImage(b, source);

  if (!loaded) {
    // Back to waiting: a later change of cache mode may try again.
    b->state = ZY_BITMAP_STATE_WAITING;
    ZY_Log(ZY_LOG_WARNING, "Unable to load bitmap '%s'.\n", b->name);
    return false;
  }
  b->state = ZY_BITMAP_STATE_READY;
  for (int32_t f = 0; f < b->frame_count && b->frames; f++)
    b->frames[f].state = ZY_BITMAP_STATE_READY;
  return true;
}

namespace {

void FreeOwnPixels(ZY_Bitmap *b) {
  if (!b->pixels) return;
  ImageLoader *loader = ZYI_GetImageLoader();
  if (loader) {
    loader->FreeImagePixels(b);
  } else {
    free(b->pixels);
    b->pixels = nullptr;
  }
}

}  // namespace

void ZYI_BitmapFreePixels(ZY_Bitmap *b) {
  if (!b->frames || b->frame_count <= 0) {
    FreeOwnPixels(b);
    return;
  }
  // A sequence bitmap shows the pixels of one of its frames; they belong to the frame.
  // Its pictures are its frames' and its atlas's; their textures stay.
  b->pixels = nullptr;
  for (int32_t f = 0; f < b->frame_count; f++) FreeOwnPixels(&b->frames[f]);
  if (ZY_Bitmap *atlas = ZYI_SequenceAtlas(b)) FreeOwnPixels(atlas);
}

// ---------------------------------------------------------------------------------
// Cache modes
// ---------------------------------------------------------------------------------

void ZY_SetBitmapCacheMode(ZY_Bitmap *b, int32_t mode) {
  if (!b || !b->name || ZYI_BitmapIsPlaceholder(b->name) || b->duplicate_of) return;
  if (mode == b->cache_mode) return;
  bool reloadable = (b->flags & ZY_BITMAP_RELOADABLE) != 0;
  if (!reloadable && !b->pixels) {
    ZY_Log(ZY_LOG_WARNING, "Bitmap '%s' not reloadable, can't change cache mode.", b->name);
    return;
  }
  if (!zy::bitmaps.reference_counting && b->ref_count < 1) b->cache_mode = (uint8_t)mode;

  ZYI_BitmapLock(b);
  bool have_pixels = true;
  if (reloadable && (mode & (CACHE_SYSMEM | CACHE_GPU)) && !b->pixels) {
    b->state = ZY_BITMAP_STATE_WAITING;
    have_pixels = ZYI_BitmapLoadFromFile(b);
  }
  // A bitmap whose file could not be loaded has nothing to upload.
  if ((mode & CACHE_GPU) && !b->hw.on_gpu && have_pixels) ZYI_UploadBitmap(b);
  if (reloadable && !(mode & CACHE_SYSMEM) && (b->hw.on_gpu || !(mode & CACHE_GPU)))
    ZYI_BitmapFreePixels(b);
  if (b->hw.on_gpu && !(mode & CACHE_GPU)) ZYI_BitmapFreeGpuData(b);
  if (mode == CACHE_NOTHING) {
    // Hibernation: nothing is kept but the record, its name and its count.
    ZYI_BitmapFreeGpuData(b);
    ZYI_BitmapDropFrames(b);
    b->state = ZY_BITMAP_STATE_WAITING;
  }
  b->cache_mode = (uint8_t)mode;
  ZYI_BitmapUnlock(b);
}

// ---------------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------------

void ZY_SelectBitmapFrame(ZY_Bitmap *b, int32_t frame) {
  if (!b || !b->frames || b->frame_count <= 0) return;
  ZYI_BitmapLock(b);
  int32_t index = frame < 0 ? 0 : frame % b->frame_count;
  const ZY_Bitmap &f = b->frames[index];
  // The batch knows its texture by the bitmap's hardware record and reads the handle in
  // it when it draws: quads of the frame shown so far must be drawn before a frame with
  // another texture takes its place. Frames of one atlas keep batching.
  if (ZY_IsMainThread() && zy::draw.texture == &b->hw && f.hw.texture != b->hw.texture)
    ZYI_Flush();
  b->width = f.width;
  b->height = f.height;
  b->alloc_width = f.alloc_width;
  b->alloc_height = f.alloc_height;
  b->flags = (uint8_t)((b->flags & ~ZY_BITMAP_HAS_ALPHA) | (f.flags & ZY_BITMAP_HAS_ALPHA));
  b->pixels = f.pixels;
  b->hw = f.hw;
  b->select_frame = index;
  ZYI_BitmapUnlock(b);
}

void ZYI_BitmapDropFrames(ZY_Bitmap *b) {
  if (!b->frames) {
    b->frame_count = 0;
    return;
  }
  ImageLoader *loader = ZYI_GetImageLoader();
  for (int32_t i = 0; i < b->frame_count; i++) {
    ZY_Bitmap &f = b->frames[i];
    if (f.pixels == b->pixels) b->pixels = nullptr;
    if (f.pixels) {
      if (loader) {
        loader->FreeImagePixels(&f);
      } else {
        free(f.pixels);
        f.pixels = nullptr;
      }
    }
    free(f.name);
    free(f.source_name);
  }
  ZYI_SequenceFreeAtlas(b);
  free(b->frames);
  b->frames = nullptr;
  b->frame_count = 0;
  b->select_frame = 0;
}

// ---------------------------------------------------------------------------------
// Re-creation on a new device
// ---------------------------------------------------------------------------------

void ZYI_RecreateBitmaps(void (*post_event)(const ZY_InputEvent *ev)) {
  ZY_Bitmap *targets[ZYI_MAX_BITMAPS];
  int32_t target_count = 0;
  RendImp *r = ZYI_Renderer();
  ZyBitmaps &bm = zy::bitmaps;

  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  for (int32_t i = 0; i < bm.count; i++) {
    ZY_Bitmap *b = &bm.table[i];
    if (!b->name || ZYI_BitmapIsPlaceholder(b->name)) continue;
    if (bm.reference_counting && b->ref_count == 0) continue;
    if (ZYI_BitmapQueuedForUpload(b)) {
      ZY_Log(ZY_LOG_INFO, "Bitmap '%s' already queued for upload.", b->name);
      continue;
    }
    if (b->flags & ZY_BITMAP_IS_RENDER_TARGET) {
      ZYI_BitmapLock(b);
      if (r) r->UploadBitmap(b);
      ZYI_BitmapUnlock(b);
      targets[target_count++] = b;
    } else {
      int32_t mode = b->cache_mode;
      b->cache_mode = CACHE_NOTHING;
      ZY_SetBitmapCacheMode(b, mode);
    }
    ZY_SelectBitmapFrame(b, 0);
  }
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);

  // The program redraws its render targets when told so; the event goes through the
  // input queue so that it arrives once the renderer is ready to draw into them (this
  // runs before renderer initialisation has finished).
  ZY_ProgramInterface *prog = zy::core.prog;
  if (!prog || !prog->event || !post_event) return;
  for (int32_t i = 0; i < target_count; i++) {
    ZY_InputEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = ZY_EVENT_RENDER_TARGET_LOST;
    ev.render_target.bitmap = targets[i];
    post_event(&ev);
  }
}
