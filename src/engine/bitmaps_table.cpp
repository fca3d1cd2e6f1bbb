// bitmaps_table.cpp — the bitmap table: names, lookups, reference counting, release and
// the shut-down report.
//
// The table is a fixed array of 768 records searched by exact name; a record without a
// name is free, and records 0..count-1 are the ones ever used. ZY_LoadBitmap counts every
// request, ZY_GetBitmapEx only the first one per bitmap (flag COUNTED_ONCE). Names
// beginning with "!" are placeholders: kept in the table but never counted, loaded or
// released. Releasing the last reference hibernates a bitmap that came from a file (its
// record and name stay) and destroys any other; without reference counting a release
// destroys at once. Everything here runs under GET_BITMAP; a record's data is changed
// under its own lock (see bitmaps_cache.cpp).
//
// Sections: settings; records; lookups; release; shut-down.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "config/config.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "base/threads.h"
#include "engine/bitmaps_internal.h"
#include "engine/bitmaps_sequence.h"
#include "engine/draw.h"
#include "engine/modules.h"

ZyBitmaps zy::bitmaps;  // engine state: the bitmap table and the upload and texture release queues

// ---------------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------------

void ZYI_BitmapsInit(void) {
  ZyBitmaps &bm = zy::bitmaps;
  bm.default_cache_mode = CACHE_GPU;
  bm.default_pack_mode = ZY_PACK_PAD_TRANSPARENT;
  bm.print_reference_changes = ZYI_IsFeatureEnabled("PRINT_REFERENCE_COUNT_CHANGES") ? 1 : 0;
  bm.initialized = 1;
}

void ZYI_BitmapsSetReferenceCounting(bool on) { zy::bitmaps.reference_counting = on ? 1 : 0; }

uint8_t ZYI_DefaultBitmapCacheMode(void) {
  return zy::bitmaps.initialized ? zy::bitmaps.default_cache_mode : (uint8_t)CACHE_GPU;
}

// The pack mode new records start with.
static int16_t DefaultPackMode(void) {
  return zy::bitmaps.initialized ? zy::bitmaps.default_pack_mode : (int16_t)ZY_PACK_PAD_TRANSPARENT;
}

bool ZYI_BitmapIsPlaceholder(const char *name) { return name && name[0] == '!'; }

bool ZYI_BitmapNameHasExtension(const char *name) {
  if (!name) return false;
  const char *slash = strrchr(name, '/');
  return strchr(slash ? slash + 1 : name, '.') != nullptr;
}

void ZYI_BitmapPrintCount(const char *format, ...) {
  if (!zy::bitmaps.print_reference_changes) return;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  ZY_Print("%s", text);
}

// Reference-count errors are popups unless the configuration turns them off.
static bool CountErrorPopups(void) {
  return !ZYI_IsFeatureEnabled("DISABLE_REFERENCE_COUNT_ERROR_POPUPS");
}

// ---------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------

void ZYI_BitmapLock(ZY_Bitmap *bitmap) { ZYI_TakeLock(bitmap->lock); }

void ZYI_BitmapUnlock(ZY_Bitmap *bitmap) { ZYI_ReleaseLock(bitmap->lock); }

ZY_Bitmap *ZYI_BitmapFind(const char *name) {
  ZyBitmaps &bm = zy::bitmaps;
  for (int32_t i = 0; i < bm.count; i++)
    if (bm.table[i].name && strcmp(bm.table[i].name, name) == 0) return &bm.table[i];
  return nullptr;
}

ZY_Bitmap *ZYI_BitmapTakeRecord(const char *name) {
  ZyBitmaps &bm = zy::bitmaps;
  int32_t index = -1;
  for (int32_t i = 0; i < bm.count && index < 0; i++)
    if (!bm.table[i].name) index = i;
  if (index < 0) {
    if (bm.count >= ZYI_MAX_BITMAPS) {
      ZY_Popup(ZY_LOG_WARNING, " ! Zylem out of free bitmaps.");
      return nullptr;
    }
    index = bm.count;
  }
  char *copy = strdup(name);
  if (!copy) return nullptr;
  if (index == bm.count) bm.count++;

  ZY_Bitmap *b = &bm.table[index];
  memset(b, 0, sizeof *b);
  b->name = copy;
  // Every record gets a lock of its own, so loading one bitmap does not hold up work on
  // another; without one the shared lock is lent.
  b->lock = ZYI_CreateLock(nullptr);
  if (!b->lock) b->lock = ZYI_NamedLock(ZYI_LOCK_SHARED_BITMAP);
  b->ref_count = 1;
  b->state = ZY_BITMAP_STATE_WAITING;
  b->pack_mode = DefaultPackMode();
  return b;
}

void ZYI_BitmapCountUp(ZY_Bitmap *b) {
  b->ref_count++;
  ZYI_BitmapPrintCount("'%s' ref count++: now %d", b->name, b->ref_count);
  if (b->ref_count > ZYI_BITMAP_REFERENCE_CAP) {
    b->ref_count = ZYI_BITMAP_REFERENCE_CAP;
    ZY_Popup(ZY_LOG_WARNING, "Bitmap '%s' reference count suspiciously high: capping at %d.",
             b->name, ZYI_BITMAP_REFERENCE_CAP);
  }
}

void ZYI_BitmapDestroyRecord(ZY_Bitmap *b) {
  ZY_Mutex *lock = b->lock;
  ZYI_BitmapLock(b);
  b->state = ZY_BITMAP_STATE_RELEASED;
  ZYI_BitmapFreeGpuData(b);
  ZYI_BitmapFreePixels(b);
  ZYI_BitmapDropFrames(b);
  free(b->source_name);
  b->source_name = nullptr;
  free(b->name);
  b->name = nullptr;
  ZYI_BitmapUnlock(b);
  if (lock && lock != ZYI_NamedLock(ZYI_LOCK_SHARED_BITMAP)) ZYI_DeleteLock(lock);
  memset(b, 0, sizeof *b);
}

// ---------------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------------

namespace {

// A null name is the placeholder "!NONE"; a leading "/" is refused with a popup and
// skipped.
const char *LookupName(const char *name) {
  if (!name) return "!NONE";
  if (name[0] == '/') {
    ZY_Popup(ZY_LOG_WARNING, "Bitmap '%s' name path starting with '/'. Not allowed.", name);
    return name + 1;
  }
  return name;
}

// The lookup behind ZY_LoadBitmap (every request counts) and ZY_GetBitmapEx (counted
// once per bitmap).
ZY_Bitmap *Lookup(const char *requested, int32_t mode, bool counted_once) {
  const char *name = LookupName(requested);
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  ZY_Bitmap *b = ZYI_BitmapFind(name);
  if (b) {
    if (mode != CACHE_LOOKUP_ONLY) {
      bool counts = mode != CACHE_NOTHING && !ZYI_BitmapIsPlaceholder(name);
      if (!counted_once) {
        if (counts) ZYI_BitmapCountUp(b);
        ZY_SetBitmapCacheMode(b, b->cache_mode | mode);
      } else {
        if (counts && !(b->flags & ZY_BITMAP_COUNTED_ONCE)) {
          b->flags |= ZY_BITMAP_COUNTED_ONCE;
          b->ref_count++;
          ZYI_BitmapPrintCount("'%s' ref count++ (GetBitmap): now %d", b->name, b->ref_count);
        }
        int32_t raised = b->cache_mode | mode;
        if (raised != b->cache_mode) ZY_SetBitmapCacheMode(b, raised);
      }
    }
    ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
    return b;
  }
  if (mode == CACHE_LOOKUP_ONLY) {
    ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
    return nullptr;
  }

  ZY_Print("..caching bitmap '%s'", name);
  b = ZYI_BitmapTakeRecord(name);
  if (!b) {
    ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
    return nullptr;
  }
  b->flags = ZY_BITMAP_RELOADABLE | (counted_once ? ZY_BITMAP_COUNTED_ONCE : 0);
  if (mode == CACHE_NOTHING) {
    b->ref_count = 0;
    b->flags &= (uint8_t)~ZY_BITMAP_COUNTED_ONCE;
    ZYI_BitmapPrintCount("'%s' ref count = 0 (CACHE_NOTHING)", b->name);
  } else {
    ZYI_BitmapPrintCount("'%s' ref count = 1", b->name);
    ZY_SetBitmapCacheMode(b, mode);
    ZY_SelectBitmapFrame(b, 0);
  }
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
  return b;
}

}  // namespace

ZY_Bitmap *ZY_GetBitmap(const char *name) {
  return ZY_GetBitmapEx(name, ZYI_DefaultBitmapCacheMode());
}

ZY_Bitmap *ZY_GetBitmapEx(const char *name, int32_t cache_mode) {
  return Lookup(name, cache_mode, true);
}

ZY_Bitmap *ZY_LoadBitmap(const char *name, int32_t cache_mode) {
  return Lookup(name, cache_mode, false);
}

// ---------------------------------------------------------------------------------
// Release
// ---------------------------------------------------------------------------------

void ZY_ReleaseBitmap(ZY_Bitmap *b) {
  if (!b) return;
  // The record is read under GET_BITMAP: another thread may be loading or destroying it.
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  if (!b->name || ZYI_BitmapIsPlaceholder(b->name)) {
    ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
    return;
  }
  if ((b->flags & ZY_BITMAP_IS_RENDER_TARGET) && b == ZYI_CurrentRenderTarget()) {
    ZY_Popup(ZY_LOG_WARNING,
             "ZY_ReleaseBitmap: Releasing current render target bitmap '%s' is not allowed. "
             "Please fix your application code to first set the render target to NULL.",
             b->name);
    // The render target is drawing state of the main thread: only it may change it.
    if (ZY_IsMainThread()) ZY_SetRenderTarget(nullptr);
  }
  if (zy::bitmaps.reference_counting) {
    b->ref_count--;
    ZYI_BitmapPrintCount("ReleaseBitmap: '%s' ref count--: now %d", b->name, b->ref_count);
    if ((b->flags & ZY_BITMAP_COUNTED_ONCE) && b->ref_count == 0 && CountErrorPopups())
      ZY_Popup(ZY_LOG_WARNING,
               "Releasing bitmap '%s' too many times: ref counting will get messed up. NOTE: "
               "bitmap has been accessed using GetBitmap which increses ref count by 1 once.",
               b->name);
    if (b->ref_count < 0) {
      // Released more often than it was got: the record stays as it is (hibernated), so
      // other handles to it keep working.
      b->ref_count = 0;
      if (CountErrorPopups())
        ZY_Popup(ZY_LOG_WARNING, "Bitmap '%s' reference count less than zero.", b->name);
      ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
      return;
    }
    if (b->ref_count > 0) {
      ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
      return;
    }
    if (b->flags & ZY_BITMAP_RELOADABLE) {
      ZY_Print("Hibernating bitmap '%s'..", b->name);
      ZY_SetBitmapCacheMode(b, CACHE_NOTHING);
      ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
      return;
    }
    // A bitmap that cannot be loaded again (created by the program) is destroyed.
  }

  ZY_Print("Releasing bitmap '%s'..", b->name);
  if (!ZYI_BitmapGpuWorkAllowed()) {
    ZY_Popup(ZY_LOG_ERROR,
             "ZY_ReleaseBitmap '%s' without reference counting is not possible from "
             "non-main thread.",
             b->name);
  } else if (b->state == ZY_BITMAP_STATE_RELEASED) {
    ZY_Log(ZY_LOG_WARNING, "Trying to release null bitmap.");
  } else {
    ZYI_BitmapDestroyRecord(b);
  }
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
}

// ---------------------------------------------------------------------------------
// Shut-down
// ---------------------------------------------------------------------------------

void ZYI_ReleaseLeakedBitmaps(void) {
  ZyBitmaps &bm = zy::bitmaps;
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  for (int32_t i = 0; i < bm.count; i++) {
    ZY_Bitmap *b = &bm.table[i];
    // Placeholders hold nothing and are never released: there is nothing to report.
    if (!b->name || ZYI_BitmapIsPlaceholder(b->name)) continue;
    if (bm.reference_counting) {
      if (b->ref_count == 0) continue;
      ZY_Log(ZY_LOG_WARNING, "Bitmap '%s' Reference count %d at exit, releasing...", b->name,
             b->ref_count);
      b->ref_count = 1;
      b->flags &= (uint8_t)~ZY_BITMAP_COUNTED_ONCE;
    }
    ZY_ReleaseBitmap(b);
  }
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
}

void ZYI_BitmapsFree(void) {
  ZyBitmaps &bm = zy::bitmaps;
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  ZY_Mutex *shared = ZYI_NamedLock(ZYI_LOCK_SHARED_BITMAP);
  for (int32_t i = 0; i < bm.count; i++) {
    ZY_Bitmap *b = &bm.table[i];
    if (!b->name) continue;
    // The renderer is gone: textures are forgotten, not freed.
    memset(&b->hw, 0, sizeof b->hw);
    for (int32_t f = 0; f < b->frame_count && b->frames; f++)
      memset(&b->frames[f].hw, 0, sizeof b->frames[f].hw);
    if (ZY_Bitmap *atlas = ZYI_SequenceAtlas(b)) memset(&atlas->hw, 0, sizeof atlas->hw);
    ZYI_BitmapFreePixels(b);
    ZYI_BitmapDropFrames(b);
    free(b->source_name);
    free(b->name);
    if (b->lock && b->lock != shared) ZYI_DeleteLock(b->lock);
    memset(b, 0, sizeof *b);
  }
  bm.count = 0;
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);

  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  free(bm.uploads);
  bm.uploads = nullptr;
  bm.upload_count = bm.upload_capacity = 0;
  free(bm.releases);
  bm.releases = nullptr;
  bm.release_count = bm.release_capacity = 0;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
}

void ZYI_ForEachRenderTargetBitmap(void (*fn)(ZY_Bitmap *bitmap, void *user), void *user) {
  if (!fn) return;
  // The program is called without GET_BITMAP held, so a handler that waits for another
  // thread cannot deadlock on the table.
  ZY_Bitmap *targets[ZYI_MAX_BITMAPS];
  int32_t n = 0;
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  for (int32_t i = 0; i < zy::bitmaps.count; i++) {
    ZY_Bitmap *b = &zy::bitmaps.table[i];
    if (b->name && (b->flags & ZY_BITMAP_IS_RENDER_TARGET)) targets[n++] = b;
  }
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
  for (int32_t i = 0; i < n; i++) fn(targets[i], user);
}
