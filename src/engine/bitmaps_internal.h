// bitmaps_internal.h — what the files of the bitmap resources share among themselves
// (the rest of the engine uses bitmaps.h).
#pragma once

#include <stdint.h>

#include "engine/bitmaps.h"

// Takes and releases a record's own lock (or the shared SHARED_BITMAP lock it was lent).
void ZYI_BitmapLock(ZY_Bitmap *bitmap);
void ZYI_BitmapUnlock(ZY_Bitmap *bitmap);
// Whether the name marks a placeholder ("!..."), which is never counted or loaded.
bool ZYI_BitmapIsPlaceholder(const char *name);
// Whether a name has an extension: a "." after its last "/".
bool ZYI_BitmapNameHasExtension(const char *name);
// Prints a reference-count message with ZY_Print when PRINT_REFERENCE_COUNT_CHANGES is on.
void ZYI_BitmapPrintCount(const char *format, ...) ZY_PRINTF_FORMAT(1, 2);

// Loads the record's pixels from its file (extension search, image loader, manifest
// size and pack mode). Caller holds the record's lock. True when the bitmap is ready.
bool ZYI_BitmapLoadFromFile(ZY_Bitmap *bitmap);
// Releases the record's pixel buffer through the image loader (nothing without one).
void ZYI_BitmapFreePixels(ZY_Bitmap *bitmap);
// Frees the record's GPU data: out of the upload queue, then freed now or queued for
// the main thread; the texture of every frame too. Caller holds the record's lock.
void ZYI_BitmapFreeGpuData(ZY_Bitmap *bitmap);
// Frees the frames of a sequence (their pixels; their textures must be gone already).
void ZYI_BitmapDropFrames(ZY_Bitmap *bitmap);
// Appends a bitmap to the upload queue unless it is there already.
void ZYI_BitmapQueueUpload(ZY_Bitmap *bitmap);
// Destroys a record (GET_BITMAP held): texture, pixels, frames, names and its own lock
// go, the record becomes free.
void ZYI_BitmapDestroyRecord(ZY_Bitmap *bitmap);
// Takes a free record for a new bitmap (GET_BITMAP held) with an owned copy of the name,
// its own lock, count 1, state waiting and the default pack mode. Null (after the popup
// " ! Zylem out of free bitmaps.") when all 768 are in use.
ZY_Bitmap *ZYI_BitmapTakeRecord(const char *name);
// The record with exactly this name, or null (GET_BITMAP held).
ZY_Bitmap *ZYI_BitmapFind(const char *name);
// Raises a reference count by one, capping it at 4096 with the popup (GET_BITMAP held).
void ZYI_BitmapCountUp(ZY_Bitmap *bitmap);
