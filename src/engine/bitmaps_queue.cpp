// bitmaps_queue.cpp — GPU work for bitmaps: uploads, frees, and the two queues that
// carry that work from program threads to the main thread.
//
// The renderer is called from the main thread only, unless it answers
// SupportsBackgroundUpload. A thread that loads a bitmap therefore appends it to the
// upload queue (a bitmap is never in it twice), and a thread that drops a texture moves
// a copy of the bitmap's hardware data into the hardware release queue and clears the
// record. Once per frame the main thread frees every queued texture, then uploads
// queued bitmaps one by one until the queue is empty or its time budget is spent; the
// rest waits for the next frame. Both queues live under RESOURCE_QUEUE, which is taken
// after a record's own lock and never held while the renderer works.
//
// Sections: thread rule; queues; renderer calls; the upload operation; per-frame
// service; device shut-down.
#include <stdlib.h>
#include <string.h>

#include "config/config.h"
#include "config/didodoz.h"
#include "base/clock.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "base/threads.h"
#include "engine/bitmaps_internal.h"
#include "engine/bitmaps_sequence.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "host/host.h"

// ---------------------------------------------------------------------------------
// Thread rule
// ---------------------------------------------------------------------------------

bool ZYI_BitmapGpuWorkAllowed(void) {
  if (ZY_IsMainThread()) return true;
  RendImp *r = ZYI_Renderer();
  return r && r->SupportsBackgroundUpload();
}

namespace {

// Before the renderer replaces or frees a texture, the batch that may still use it is
// drawn. The batch belongs to the main thread; another thread leaves it alone.
void FlushBatchForTextureChange(void) {
  if (ZY_IsMainThread()) ZYI_Flush();
}

// ---------------------------------------------------------------------------------
// Queues (RESOURCE_QUEUE held by the callers below)
// ---------------------------------------------------------------------------------

int32_t FindUpload(const ZY_Bitmap *b) {
  for (int32_t i = 0; i < zy::bitmaps.upload_count; i++)
    if (zy::bitmaps.uploads[i] == b) return i;
  return -1;
}

bool AppendRelease(const ZyBitmapHardwareRelease &entry) {
  ZyBitmaps &bm = zy::bitmaps;
  if (bm.release_count == bm.release_capacity) {
    int32_t capacity = bm.release_capacity ? bm.release_capacity * 2 : 32;
    void *grown = realloc(bm.releases, sizeof(ZyBitmapHardwareRelease) * (size_t)capacity);
    if (!grown) return false;
    bm.releases = (ZyBitmapHardwareRelease *)grown;
    bm.release_capacity = capacity;
  }
  bm.releases[bm.release_count++] = entry;
  return true;
}

}  // namespace

bool ZYI_BitmapQueuedForUpload(const ZY_Bitmap *b) {
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  bool queued = FindUpload(b) >= 0;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  return queued;
}

void ZYI_BitmapQueueUpload(ZY_Bitmap *b) {
  ZyBitmaps &bm = zy::bitmaps;
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  if (FindUpload(b) < 0 &&
      ZYI_GrowList((void ***)&bm.uploads, &bm.upload_capacity, bm.upload_count + 1))
    bm.uploads[bm.upload_count++] = b;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
}

bool ZYI_BitmapRemoveFromUploadQueue(ZY_Bitmap *b) {
  ZyBitmaps &bm = zy::bitmaps;
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  int32_t i = FindUpload(b);
  if (i >= 0) {
    // Keep the order: bitmaps are uploaded in the order they were asked for.
    memmove(bm.uploads + i, bm.uploads + i + 1,
            sizeof(ZY_Bitmap *) * (size_t)(bm.upload_count - i - 1));
    bm.upload_count--;
  }
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  return i >= 0;
}

int32_t ZYI_BitmapUploadQueueLength(void) {
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  int32_t n = zy::bitmaps.upload_count;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  return n;
}

int32_t ZYI_BitmapReleaseQueueLength(void) {
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  int32_t n = zy::bitmaps.release_count;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  return n;
}

void ZYI_QueueBitmapHardwareDataRelease(ZY_Bitmap *b) {
  if (!b) return;
  if (!b->hw.on_gpu) {
    ZY_Log(ZY_LOG_WARNING,
           "ZYI_QueueBitmapHardwareDataRelease: Bitmap '%s' hw data is not ready. No reason "
           "to release.",
           b->name ? b->name : "null");
    return;
  }
  ZyBitmapHardwareRelease entry;
  entry.hw = b->hw;
  entry.width = b->width;
  entry.height = b->height;
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  bool queued = AppendRelease(entry);
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  // Without room in the queue the texture is left with the record rather than lost.
  if (queued) memset(&b->hw, 0, sizeof b->hw);
}

// ---------------------------------------------------------------------------------
// Renderer calls
// ---------------------------------------------------------------------------------

bool ZYI_CallRendererToLoadBitmap(ZY_Bitmap *b) {
  // The renderer takes GPU work from the main thread only, unless it says otherwise.
  if (!ZYI_BitmapGpuWorkAllowed()) {
    ZY_Popup(ZY_LOG_WARNING,
             "ZYI_CallRendererToLoadBitmap from non-renderer thread. Code fix required.");
    return false;
  }
  if (!b) {
    ZY_Log(ZY_LOG_WARNING, "ZYI_CallRendererToLoadBitmap: parameter is null bitmap.");
    return false;
  }
  if (!b->pixels) {
    ZY_Log(ZY_LOG_WARNING, "ZYI_CallRendererToLoadBitmap: Bitmap '%s' missing pixels.",
           b->name ? b->name : "null");
    return false;
  }
  FlushBatchForTextureChange();
  if (b->hw.on_gpu) {
    ZY_Log(ZY_LOG_WARNING,
           "ZYI_CallRendererToLoadBitmap: Bitmap '%s' already loaded to gpu. Freeing...",
           b->name ? b->name : "null");
    ZYI_CallRendererToFreeBitmap(&b->hw);
  }
  RendImp *r = ZYI_Renderer();
  if (!r || !r->LoadBitmapToGpu(b)) return false;
  b->hw.on_gpu = 1;
  return true;
}

void ZYI_CallRendererToFreeBitmap(ZY_BitmapHardware *hw) {
  if (!ZYI_BitmapGpuWorkAllowed()) {
    ZY_Popup(ZY_LOG_WARNING,
             "ZYI_CallRendererToFreeBitmap from non-renderer thread. Code fix required.");
    return;
  }
  if (!hw) {
    ZY_Log(ZY_LOG_WARNING, "ZYI_CallRendererToFreeBitmap: parameter is null bitmap hw data.");
    return;
  }
  if (hw->on_gpu) {
    FlushBatchForTextureChange();
    RendImp *r = ZYI_Renderer();
    if (r) r->FreeBitmapFromGpu(hw);
    hw->on_gpu = 0;
    hw->texture = nullptr;
  } else if (hw->texture) {
    ZY_Log(ZY_LOG_WARNING,
           "ZYI_CallRendererToFreeBitmap: Bitmap %x not loaded to gpu but implementation data "
           "exists.",
           (unsigned)(uintptr_t)hw);
  }
}

namespace {

// Whether a frame draws from someone else's texture: a duplicate shares its original's,
// a frame read from a sequence file the atlas's.
bool SharesTexture(const ZY_Bitmap &f) { return f.duplicate_of || f.pending_source; }

// Forgets a shared texture in a frame. An atlas frame keeps its rectangle in the atlas.
void ForgetSharedTexture(ZY_Bitmap &f) {
  if (f.pending_source) {
    f.hw.on_gpu = 0;
    f.hw.texture = f.hw.renderer_data[0] = f.hw.renderer_data[1] = nullptr;
  } else {
    memset(&f.hw, 0, sizeof f.hw);
  }
}

// Frees the textures of a bitmap and its frames now (GPU work allowed). A sequence
// bitmap shows a frame's texture, and a frame may share another's or the atlas's: only
// the frames that own one and the atlas free theirs.
void FreeTexturesNow(ZY_Bitmap *b) {
  if (b->frames && b->frame_count > 0) {
    for (int32_t i = 0; i < b->frame_count; i++) {
      ZY_Bitmap &f = b->frames[i];
      if (SharesTexture(f))
        ForgetSharedTexture(f);
      else
        ZYI_CallRendererToFreeBitmap(&f.hw);
    }
    if (ZY_Bitmap *atlas = ZYI_SequenceAtlas(b)) ZYI_CallRendererToFreeBitmap(&atlas->hw);
    memset(&b->hw, 0, sizeof b->hw);
    return;
  }
  ZYI_CallRendererToFreeBitmap(&b->hw);
}

}  // namespace

void ZYI_BitmapFreeGpuData(ZY_Bitmap *b) {
  if (ZYI_BitmapRemoveFromUploadQueue(b))
    ZY_Print("Bitmap '%s' still in hardware upload queue. Removing it.", b->name);
  if (ZYI_BitmapGpuWorkAllowed()) {
    FreeTexturesNow(b);
    return;
  }
  if (b->frames && b->frame_count > 0) {
    for (int32_t i = 0; i < b->frame_count; i++) {
      ZY_Bitmap &f = b->frames[i];
      if (SharesTexture(f))
        ForgetSharedTexture(f);
      else if (f.hw.on_gpu)
        ZYI_QueueBitmapHardwareDataRelease(&f);
    }
    ZY_Bitmap *atlas = ZYI_SequenceAtlas(b);
    if (atlas && atlas->hw.on_gpu) ZYI_QueueBitmapHardwareDataRelease(atlas);
    memset(&b->hw, 0, sizeof b->hw);
  } else if (b->hw.on_gpu) {
    ZYI_QueueBitmapHardwareDataRelease(b);
  }
}

// ---------------------------------------------------------------------------------
// The upload operation
// ---------------------------------------------------------------------------------

namespace {

// After a display change the renderer may be missing for a moment: wait up to a second
// for it to come back. False when it did not.
bool WaitForRenderer(void) {
  ZY_Print("Renderer implementation lost, trying to regain...\n");
  for (int32_t attempt = 1; attempt <= 10; attempt++) {
    ZYH_SleepMs(100);
    if (ZYI_Renderer() && zy::core.renderer_ready) {
      ZY_Print("Renderer reclaimed at try #%d.\n", attempt);
      return true;
    }
  }
  return false;
}

// A sequence: its atlas (the pending source of a sequence read from a file) is uploaded
// first and its frames draw from that texture through their own rectangles; every other
// frame that owns pixels is uploaded, duplicates take their original's texture, and the
// remembered frame is shown again.
void UploadFrames(ZY_Bitmap *b) {
  ZY_Bitmap *atlas = ZYI_SequenceAtlas(b);
  if (atlas && atlas->pixels && !atlas->hw.on_gpu) ZYI_CallRendererToLoadBitmap(atlas);
  for (int32_t i = 0; i < b->frame_count; i++) {
    ZY_Bitmap &f = b->frames[i];
    if (f.pending_source && atlas) {
      f.hw.on_gpu = atlas->hw.on_gpu;
      f.hw.texture = atlas->hw.texture;
      memcpy(f.hw.renderer_data, atlas->hw.renderer_data, sizeof f.hw.renderer_data);
    } else if (!f.duplicate_of && f.pixels) {
      ZYI_CallRendererToLoadBitmap(&f);
    }
  }
  for (int32_t i = 0; i < b->frame_count; i++) {
    ZY_Bitmap &f = b->frames[i];
    if (f.duplicate_of) f.hw = f.duplicate_of->hw;
  }
  ZY_SelectBitmapFrame(b, b->select_frame);
}

}  // namespace

void ZYI_UploadBitmap(ZY_Bitmap *b) {
  if (!b) return;
  if (!ZYI_BitmapGpuWorkAllowed()) {
    ZYI_BitmapQueueUpload(b);
    return;
  }
  if (!ZYI_Renderer() && !WaitForRenderer()) return;
  if (b->frames && b->frame_count > 0) {
    UploadFrames(b);
    return;
  }
  if (!ZYI_CallRendererToLoadBitmap(b) && !(b->width == 0 && b->height == 0))
    ZY_Log(ZY_LOG_WARNING, "Unable to upload bitmap '%s' (%dx%d) to renderer.\n",
           b->name ? b->name : "null", b->width, b->height);
}

// ---------------------------------------------------------------------------------
// Per-frame service
// ---------------------------------------------------------------------------------

namespace {

// Takes the hardware release queue whole (the caller frees the array).
ZyBitmapHardwareRelease *TakeReleases(int32_t *count) {
  ZyBitmaps &bm = zy::bitmaps;
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  ZyBitmapHardwareRelease *releases = bm.releases;
  *count = bm.release_count;
  bm.releases = nullptr;
  bm.release_count = bm.release_capacity = 0;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  return releases;
}

void FreeReleases(ZyBitmapHardwareRelease *releases, int32_t count) {
  for (int32_t i = 0; i < count; i++) {
    ZY_Print("Freeing bitmap hardware data %dx%d.", releases[i].width, releases[i].height);
    ZYI_CallRendererToFreeBitmap(&releases[i].hw);
  }
  free(releases);
}

// One queued bitmap, under its lock.
void ServeUpload(ZY_Bitmap *b) {
  ZYI_BitmapLock(b);
  if (b->flags & ZY_BITMAP_IS_RENDER_TARGET) {
    RendImp *r = ZYI_Renderer();
    if (r) r->UploadBitmap(b);
  } else if (!b->pixels && !b->frames) {
    ZY_Log(ZY_LOG_WARNING,
           "ResourceQueue unpacking Bitmap '%s' data is not valid anymore. Most likely it has "
           "just been released.",
           b->name ? b->name : "null");
  } else {
    ZYI_UploadBitmap(b);
    // Pixels that can be read again are kept only when the cache mode asks for them.
    if (!(b->cache_mode & CACHE_SYSMEM) && (b->flags & ZY_BITMAP_RELOADABLE) && b->hw.on_gpu)
      ZYI_BitmapFreePixels(b);
  }
  ZYI_BitmapRemoveFromUploadQueue(b);
  ZYI_BitmapUnlock(b);
}

}  // namespace

void ZYI_ProcessResourceQueues(void) {
  uint32_t started = ZY_GetTime();
  int32_t release_count = 0;
  ZyBitmapHardwareRelease *releases = TakeReleases(&release_count);

  // A copy of the upload queue: bitmaps leave the queue itself one by one, when done.
  ZyBitmaps &bm = zy::bitmaps;
  ZY_Bitmap **uploads = nullptr;
  int32_t upload_count = 0;
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  if (bm.upload_count > 0) {
    uploads = (ZY_Bitmap **)malloc(sizeof(ZY_Bitmap *) * (size_t)bm.upload_count);
    if (uploads) {
      memcpy(uploads, bm.uploads, sizeof(ZY_Bitmap *) * (size_t)bm.upload_count);
      upload_count = bm.upload_count;
    }
  }
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);

  FreeReleases(releases, release_count);
  // Font atlases wait in this queue too (as bitmap records of their fonts).
  for (int32_t i = 0; i < upload_count; i++) {
    if ((uint32_t)(ZY_GetTime() - started) > ZYI_RESOURCE_QUEUE_BUDGET_MS) break;
    ServeUpload(uploads[i]);
  }
  free(uploads);
}

// ---------------------------------------------------------------------------------
// Device shut-down
// ---------------------------------------------------------------------------------

void ZYI_ReleaseBitmapsDeviceData(void) {
  // Textures waiting in the release queue belong to the device that is going away.
  int32_t release_count = 0;
  ZyBitmapHardwareRelease *releases = TakeReleases(&release_count);
  FreeReleases(releases, release_count);

  ZyBitmaps &bm = zy::bitmaps;
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  for (int32_t i = 0; i < bm.count; i++) {
    ZY_Bitmap *b = &bm.table[i];
    if (!b->name) continue;
    ZYI_BitmapLock(b);
    FreeTexturesNow(b);
    ZYI_BitmapUnlock(b);
  }
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
}
