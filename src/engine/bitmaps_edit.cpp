// bitmaps_edit.cpp — bitmaps the program makes and changes: created pixel bitmaps and
// render targets, saving, resizing and refreshing.
//
// A created bitmap is not reloadable: it has no file behind it, so its pixels stay in
// memory (cache mode 6) and it is destroyed rather than hibernated when its last
// reference goes. A render target has no pixels at all; its GPU surface is made by the
// renderer's UploadBitmap, at once on the main thread or through the upload queue.
//
// A manifest may give a bitmap a logical size other than its pixel buffer's; saving and
// resizing always work on the buffer as it was allocated (alloc_width x alloc_height).
#include <stdlib.h>
#include <string.h>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "engine/bitmaps_internal.h"
#include "engine/modules.h"
#include "image/image_loader.h"
#include "image/resize.h"
#include "net/net.h"

namespace {

// The bitmap with its size set to that of its pixel buffer, for code that walks the
// buffer. Only read from; the record itself is not changed.
ZY_Bitmap PixelView(const ZY_Bitmap *b) {
  ZY_Bitmap view = *b;
  if (b->alloc_width > 0 && b->alloc_height > 0) {
    view.width = b->alloc_width;
    view.height = b->alloc_height;
  }
  return view;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Created bitmaps and render targets
// ---------------------------------------------------------------------------------

ZY_Bitmap *ZY_CreateBitmap(const char *name, int32_t width, int32_t height, int32_t kind) {
  if (!name) name = "";
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  ZY_Bitmap *b = ZYI_BitmapFind(name);
  if (b) {
    if (!ZYI_BitmapIsPlaceholder(name)) ZYI_BitmapCountUp(b);
    ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
    return b;
  }
  ZY_Print("..creating bitmap '%s' (%dx%d)", name, width, height);
  b = ZYI_BitmapTakeRecord(name);
  if (!b) {
    ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
    return nullptr;
  }
  b->flags = 0;
  b->state = ZY_BITMAP_STATE_READY;
  b->width = width;
  b->height = height;

  ZYI_BitmapLock(b);
  if (kind == ZY_BITMAP_RENDER_TARGET) {
    b->flags |= ZY_BITMAP_IS_RENDER_TARGET;
    RendImp *r = ZYI_Renderer();
    if (r && ZYI_BitmapGpuWorkAllowed())
      r->UploadBitmap(b);
    else
      ZYI_BitmapQueueUpload(b);
  } else {
    ImageLoader *loader = ZYI_GetImageLoader();
    if (loader) loader->AllocateImagePixels(b, width, height);
    // The program fills the pixels; until then they are transparent black, never
    // whatever the memory held.
    if (b->pixels)
      memset(b->pixels, 0, (size_t)b->alloc_width * (size_t)b->alloc_height * 4);
    b->cache_mode = CACHE_SYSMEM | CACHE_GPU;
  }
  ZYI_BitmapUnlock(b);
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
  return b;
}

// ---------------------------------------------------------------------------------
// Save, resize, refresh
// ---------------------------------------------------------------------------------

bool ZY_SaveBitmap(ZY_Bitmap *b, const char *file_name, int32_t quality) {
  ImageLoader *loader = ZYI_GetImageLoader();
  if (!b || !b->name || !loader) return false;
  ZYI_BitmapLock(b);
  ZY_Bitmap view = PixelView(b);
  bool saved = loader->SaveImage(&view, file_name, quality);
  ZYI_BitmapUnlock(b);
  return saved;
}

bool ZY_ResizeBitmap(ZY_Bitmap *b, int32_t width, int32_t height) {
  ZY_Bitmap target;
  memset(&target, 0, sizeof target);
  if (!b) return ZYI_CreateImageResized(&target, nullptr, width, height);  // reports it
  ZYI_BitmapLock(b);
  ZY_Bitmap view = PixelView(b);
  target.name = b->name;
  bool resized = ZYI_CreateImageResized(&target, &view, width, height) && target.pixels;
  if (resized) {
    // The resampling may have filled the colours of transparent pixels in the source
    // buffer; the buffer is replaced anyway.
    ZYI_BitmapFreePixels(b);
    b->pixels = target.pixels;
    b->width = b->alloc_width = width;
    b->height = b->alloc_height = height;
    b->flags = (uint8_t)((b->flags & ~ZY_BITMAP_HAS_ALPHA) | (target.flags & ZY_BITMAP_HAS_ALPHA));
  }
  ZYI_BitmapUnlock(b);
  return resized;
}

bool ZY_RefreshBitmap(ZY_Bitmap *b) {
  if (!b || !b->name || ZYI_BitmapIsPlaceholder(b->name)) return false;
  if (!ZYI_BitmapGpuWorkAllowed()) {
    ZY_Popup(ZY_LOG_WARNING,
             "Refreshing bitmaps from another thread than main has not been tested properly "
             "yet. Not refreshing bitmap.");
    return false;
  }
  bool refreshed = true;
  ZYI_BitmapLock(b);
  if (b->flags & ZY_BITMAP_IS_RENDER_TARGET) {
    RendImp *r = ZYI_Renderer();
    if (r) r->RefreshBitmap(b);
    refreshed = r != nullptr;
  } else {
    bool reloadable = (b->flags & ZY_BITMAP_RELOADABLE) != 0;
    // A hibernated bitmap holds nothing to refresh: its next request loads the file.
    if (reloadable && b->cache_mode == CACHE_NOTHING) {
      ZYI_BitmapUnlock(b);
      return false;
    }
    // A downloaded bitmap drops its cached copy first, so it is fetched again.
    const char *source = b->source_name ? b->source_name : b->name;
    if (reloadable && !strncmp(source, "http://", 7)) ZYI_HttpDropCached(source);
    if (reloadable) refreshed = ZYI_BitmapLoadFromFile(b);
    if (refreshed && (b->hw.on_gpu || (b->cache_mode & CACHE_GPU))) {
      // A new texture replaces the old one (freed quietly first).
      ZYI_CallRendererToFreeBitmap(&b->hw);
      ZYI_UploadBitmap(b);
      refreshed = b->hw.on_gpu != 0;
    }
    if (reloadable && !(b->cache_mode & CACHE_SYSMEM) && b->hw.on_gpu) ZYI_BitmapFreePixels(b);
  }
  ZYI_BitmapUnlock(b);
  return refreshed;
}
