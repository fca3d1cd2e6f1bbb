// bitmaps.h — bitmap resources: named images shared by reference count.
//
// Every bitmap the program or the engine uses lives in one fixed table of 768 records;
// a handle is the address of its record and stays valid until the record is destroyed.
// A bitmap may hold its pixels in memory, its texture on the GPU, both or neither: its
// *cache mode* (CACHE_SYSMEM, CACHE_GPU) says which. Releasing the last reference of a
// bitmap that came from a file *hibernates* it: pixels and texture are dropped, the
// record and its name stay, and the next request loads it again.
//
// Bitmaps may be requested from any thread. GPU work is done on the main thread: from
// another thread an upload is put in the upload queue and a texture to free in the
// hardware release queue, and the frame serves both within a time budget (unless the
// renderer answers SupportsBackgroundUpload, then the work is done at once).
//
// Locks: GET_BITMAP guards the table and the counts; each record's own lock guards its
// data; RESOURCE_QUEUE guards both queues. They are taken in that order.
//
// The code is split by concern: bitmaps_table.cpp (table, names, counting, release,
// shut-down report), bitmaps_cache.cpp (cache modes, loading from files, manifests,
// frames, re-creation after a renderer initialisation), bitmaps_queue.cpp (uploads, GPU
// frees, the two queues and their per-frame service) and bitmaps_edit.cpp (created
// bitmaps and render targets, save, resize, refresh).
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

#define ZYI_MAX_BITMAPS 768            // records in the bitmap table
#define ZYI_BITMAP_REFERENCE_CAP 4096  // reference counts are capped here (with a popup)
#define ZYI_RESOURCE_QUEUE_BUDGET_MS 50  // the queue service stops after this much time

// One texture waiting to be freed on the main thread: a copy of the hardware data taken
// off its bitmap, and the bitmap's size for the log.
struct ZyBitmapHardwareRelease {
  ZY_BitmapHardware hw;
  int32_t width, height;
};

// The bitmaps block of the engine state.
struct ZyBitmaps {
  // The table (GET_BITMAP)
  ZY_Bitmap table[ZYI_MAX_BITMAPS];  // a record without a name is free
  int32_t count;                     // high-water mark: records 0..count-1 have been used

  // Settings fixed at start-up
  uint8_t initialized;              // ZYI_BitmapsInit ran
  uint8_t default_cache_mode;       // cache mode of ZY_GetBitmap (CACHE_GPU)
  int16_t default_pack_mode;        // pack mode of new records (ZY_PACK_PAD_TRANSPARENT)
  uint8_t print_reference_changes;  // PRINT_REFERENCE_COUNT_CHANGES: log every count change
  uint8_t reference_counting;       // the program's reference_counting flag

  // Queues (RESOURCE_QUEUE)
  ZY_Bitmap **uploads;              // bitmaps waiting for their GPU upload, each once
  int32_t upload_count;
  int32_t upload_capacity;
  ZyBitmapHardwareRelease *releases;  // textures waiting to be freed
  int32_t release_count;
  int32_t release_capacity;
};
ZYI_STATE_PART(ZyBitmaps, bitmaps)

// ---------------------------------------------------------------------------------
// Engine side: start-up, frame, renderer and shut-down
// ---------------------------------------------------------------------------------

// Pre-initialisation (after the configuration is read): default cache mode 4, default
// pack mode 2, and whether PRINT_REFERENCE_COUNT_CHANGES logs every count change.
void ZYI_BitmapsInit(void);
// Core initialisation: remembers the program's reference_counting flag (off: releasing
// destroys a bitmap at once).
void ZYI_BitmapsSetReferenceCounting(bool on);
// The cache mode ZY_GetBitmap uses (also the default of other resources).
uint8_t ZYI_DefaultBitmapCacheMode(void);

// Frame (main thread, renderer ready): frees the queued textures, then uploads queued
// bitmaps one by one until the queue is empty or more than 50 ms have passed.
void ZYI_ProcessResourceQueues(void);
// Renderer shut-down (before the draw buffers go): frees every bitmap's texture and
// every queued texture on the device that is about to go away.
void ZYI_ReleaseBitmapsDeviceData(void);
// Renderer initialisation, after the device exists: re-creates every named bitmap that
// is not a placeholder (and, with reference counting, is referenced): render targets
// get their surface again, others reload through their cache mode; each then shows
// frame 0. Render targets are announced to the program with event 17 through the input
// queue, so it redraws them once the renderer is ready.
void ZYI_RecreateBitmaps(void (*post_event)(const ZY_InputEvent *ev));
// Shut-down: reports every bitmap still referenced ("Bitmap '%s' Reference count %d at
// exit, releasing...") and releases it once (without reference counting: every bitmap).
void ZYI_ReleaseLeakedBitmaps(void);
// End of shut-down (after the renderer is gone): frees every record's memory, lock and
// both queues, leaving an empty table.
void ZYI_BitmapsFree(void);
// Calls fn for every render-target bitmap (a snapshot taken under GET_BITMAP).
void ZYI_ForEachRenderTargetBitmap(void (*fn)(ZY_Bitmap *bitmap, void *user), void *user);

// ---------------------------------------------------------------------------------
// Engine side: GPU work
// ---------------------------------------------------------------------------------

// The upload operation: off the main thread without background uploads the bitmap is
// queued (once); otherwise its pixels (or frames) go to the renderer now.
void ZYI_UploadBitmap(ZY_Bitmap *bitmap);
// Hands a bitmap's pixels to the renderer's LoadBitmapToGpu (freeing an older texture
// first); true marks it on the GPU. False, with a message, for a null bitmap, one
// without pixels, or a call from another thread the renderer does not accept.
bool ZYI_CallRendererToLoadBitmap(ZY_Bitmap *bitmap);
// Frees a texture through the renderer's FreeBitmapFromGpu and clears the on-GPU flag
// and the texture handle. Messages for null data and for a handle without the flag.
void ZYI_CallRendererToFreeBitmap(ZY_BitmapHardware *hw);
// Moves a bitmap's hardware data into the hardware release queue and clears it in the
// record; a bitmap not on the GPU is only reported.
void ZYI_QueueBitmapHardwareDataRelease(ZY_Bitmap *bitmap);
// Whether GPU work may be done by the calling thread now: it is the main thread, or the
// renderer answers SupportsBackgroundUpload.
bool ZYI_BitmapGpuWorkAllowed(void);
// Removes a bitmap from the upload queue; true when it was there.
bool ZYI_BitmapRemoveFromUploadQueue(ZY_Bitmap *bitmap);
// Whether a bitmap waits in the upload queue.
bool ZYI_BitmapQueuedForUpload(const ZY_Bitmap *bitmap);
// Lengths of the upload queue and the hardware release queue.
int32_t ZYI_BitmapUploadQueueLength(void);
int32_t ZYI_BitmapReleaseQueueLength(void);

// ---------------------------------------------------------------------------------
// Engine interface operations (slots 83 to 92)
// ---------------------------------------------------------------------------------

// ZY_GetBitmapEx with the default cache mode.
ZY_Bitmap *ZY_GetBitmap(const char *name);
// Finds or loads a bitmap; an existing one is counted only the first time it is got.
// Cache mode 16 only looks it up (null when missing); 0 makes an unloaded record.
ZY_Bitmap *ZY_GetBitmapEx(const char *name, int32_t cache_mode);
// Finds or loads a bitmap; every call with a cache mode other than 0 and 16 counts
// (capped at 4096).
ZY_Bitmap *ZY_LoadBitmap(const char *name, int32_t cache_mode);
// Drops one reference: at 0 a bitmap from a file hibernates, any other is destroyed;
// without reference counting it is destroyed at once. Placeholders are ignored.
void ZY_ReleaseBitmap(ZY_Bitmap *bitmap);
// Writes the pixels as PNG, JPEG (quality 0-100) or TGA, chosen by the name's ending.
bool ZY_SaveBitmap(ZY_Bitmap *bitmap, const char *file_name, int32_t quality);
// Reloads the pixels in place and uploads them again (a render target: the renderer's
// RefreshBitmap). Main thread only unless the renderer uploads in the background.
bool ZY_RefreshBitmap(ZY_Bitmap *bitmap);
// Resamples the pixels in memory to a new size (the texture is renewed by a refresh).
bool ZY_ResizeBitmap(ZY_Bitmap *bitmap, int32_t width, int32_t height);
// Loads, uploads or drops pixels and texture so that the bitmap holds what the cache
// mode asks; mode 0 hibernates it.
void ZY_SetBitmapCacheMode(ZY_Bitmap *bitmap, int32_t cache_mode);
// A bitmap made by the program: ZY_BITMAP_RENDER_TARGET gets a GPU surface, any other
// kind width x height zeroed pixels in memory. An existing name is counted up instead.
ZY_Bitmap *ZY_CreateBitmap(const char *name, int32_t width, int32_t height, int32_t kind);
// Shows frame `frame` of a sequence (wrapped by the frame count; below 0 counts as 0).
void ZY_SelectBitmapFrame(ZY_Bitmap *bitmap, int32_t frame);
