// bitmaps_sequence.cpp — sequence files: reading one into a bitmap's frames, writing one
// from loaded frames, and building one from numbered images when it cannot be read.
//
// The file format itself is image/bms_format.cpp; here its contents become frame records.
// A frame read from a file is a bitmap record with a size, a frame rate, its frame
// number and its rectangle in the atlas (kept in its hardware data, which the upload
// fills with the atlas texture), referring to the atlas through its pending source.
//
// Sections: frame records; reading; writing; building from numbered images.
#include "engine/bitmaps_sequence.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/log.h"
#include "base/popup.h"
#include "engine/bitmaps_internal.h"
#include "fs/atomic_file.h"
#include "fs/fs.h"
#include "image/atlas.h"
#include "image/bms_format.h"
#include "image/image_loader.h"

// ---------------------------------------------------------------------------------
// Frame records
// ---------------------------------------------------------------------------------

// A frame's number is kept in the first word of the record's engine data.
int32_t ZYI_FrameNumber(const ZY_Bitmap *frame) {
  return frame ? (int32_t)(intptr_t)frame->engine_data[0] : 0;
}

void ZYI_SetFrameNumber(ZY_Bitmap *frame, int32_t number) {
  frame->engine_data[0] = (void *)(intptr_t)number;
}

ZY_Bitmap *ZYI_SequenceAtlas(const ZY_Bitmap *sequence) {
  return sequence && sequence->frames ? (ZY_Bitmap *)sequence->pending_source : nullptr;
}

void ZYI_SequenceFreeAtlas(ZY_Bitmap *sequence) {
  ZY_Bitmap *atlas = ZYI_SequenceAtlas(sequence);
  if (!atlas) return;
  ZYI_BitmapFreePixels(atlas);
  free(atlas->name);
  free(atlas);
  sequence->pending_source = nullptr;
}

bool ZYI_LoadBitmapSequence(ZY_Bitmap *b, const char *source) {
  size_t n = strlen(source);
  ZYI_BitmapFreeGpuData(b);
  ZYI_BitmapDropFrames(b);
  if (n >= 4 && strcmp(source + n - 4, ".bms") == 0)
    return ReadBitmapSequence(b, source) || ZYI_BuildSequenceFile(b, source);
  return LoadNumberedFrames(b, source);
}

// ---------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------

namespace {

// Reads a sequence file; `written` (or null) is the atlas the file was just written with.
bool ReadSequence(ZY_Bitmap *seq, const char *name, ZyBmsWrittenAtlas *written) {
  if (!seq || !name) return false;
  ZyBmsContents file;
  char why[512];
  if (!ZYI_BmsRead(name, ZYI_BgraPixels(), written, &file, why, sizeof why)) {
    if (why[0]) ZY_Popup(ZY_LOG_WARNING, "%s", why);
    return false;
  }
  ZY_Bitmap *atlas = (ZY_Bitmap *)calloc(1, sizeof(ZY_Bitmap));
  ZY_Bitmap *frames = (ZY_Bitmap *)calloc((size_t)file.frame_count, sizeof(ZY_Bitmap));
  char atlas_name[300];
  snprintf(atlas_name, sizeof atlas_name, "%s (atlas)", seq->name ? seq->name : name);
  char *owned_name = strdup(atlas_name);
  if (!atlas || !frames || !owned_name) {
    free(atlas), free(frames), free(owned_name);
    ZYI_BmsFree(&file);
    ZY_Log(ZY_LOG_WARNING, "Bitmap sequence '%s': no memory for its frames.", name);
    return false;
  }
  *atlas = file.atlas;  // the pixels move into the record
  atlas->name = owned_name;
  atlas->flags |= ZY_BITMAP_RELOADABLE;
  atlas->state = ZY_BITMAP_STATE_READY;
  atlas->pack_mode = ZYI_PackModeFromWord("NO_PADDING", seq->pack_mode);
  for (int32_t i = 0; i < file.frame_count; i++) {
    const ZyBmsFrame &e = file.frames[i];
    ZY_Bitmap &f = frames[i];
    f.width = e.width, f.height = e.height;
    f.frame_rate = e.frame_rate;
    f.hw.left = e.left, f.hw.top = e.top, f.hw.right = e.right, f.hw.bottom = e.bottom;
    f.flags = (uint8_t)(atlas->flags & ZY_BITMAP_HAS_ALPHA);
    f.pack_mode = atlas->pack_mode;
    f.pending_source = atlas;
    ZYI_SetFrameNumber(&f, e.frame_number);
  }
  free(file.frames);
  ZYI_BitmapDropFrames(seq);
  seq->frames = frames;
  seq->frame_count = file.frame_count;
  seq->pending_source = atlas;
  ZY_SelectBitmapFrame(seq, 0);
  return true;
}

}  // namespace

bool ReadBitmapSequence(ZY_Bitmap *seq, const char *name) {
  return ReadSequence(seq, name, nullptr);
}

// ---------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------

namespace {

// The frame whose picture a frame shows: itself, or the first of its chain of repeats.
const ZY_Bitmap *Original(const ZY_Bitmap *f) {
  for (int32_t guard = 0; f->duplicate_of && guard < 1000000; guard++) f = f->duplicate_of;
  return f;
}

// Packs the pictures of the frames that are not duplicates and fills one table entry per
// frame. The frames' own texture rectangles are left as they were.
bool PackFrames(ZY_Bitmap *seq, ZY_Bitmap *atlas, ZyBmsFrame *entries) {
  int32_t n = seq->frame_count;
  ZY_Bitmap **pictures = (ZY_Bitmap **)malloc(sizeof(ZY_Bitmap *) * (size_t)n);
  ZY_BitmapHardware *kept = (ZY_BitmapHardware *)malloc(sizeof(ZY_BitmapHardware) * (size_t)n);
  bool packed = false;
  if (pictures && kept) {
    int32_t count = 0;
    for (int32_t i = 0; i < n; i++) {
      kept[i] = seq->frames[i].hw;
      if (!seq->frames[i].duplicate_of) pictures[count++] = &seq->frames[i];
    }
    packed = ZYI_PackBitmaps(atlas, pictures, count);
    for (int32_t i = 0; packed && i < n; i++) {
      const ZY_Bitmap &f = seq->frames[i];
      const ZY_BitmapHardware &place = Original(&f)->hw;
      entries[i] = {f.width, f.height, ZYI_FrameNumber(&f), f.frame_rate,
                    place.left, place.top, place.right, place.bottom};
    }
    for (int32_t i = 0; i < n; i++) seq->frames[i].hw = kept[i];
  }
  free(pictures);
  free(kept);
  return packed;
}

// Writes the sequence file; with `written`, the atlas and its PNG bytes are kept there.
bool SaveSequence(ZY_Bitmap *seq, const char *file_name, ZyBmsWrittenAtlas *written) {
  if (!file_name) file_name = "";
  bool valid = seq && seq->frames && seq->frame_count > 0;
  for (int32_t i = 0; valid && i < seq->frame_count; i++)
    valid = seq->frames[i].duplicate_of || seq->frames[i].pixels;
  if (!valid) {
    ZY_Popup(ZY_LOG_WARNING, "ZYI_SaveBitmapSequence: trying to save invalid bitmap to '%s'.",
             file_name);
    return false;
  }
  ZyBmsFrame *entries = (ZyBmsFrame *)calloc((size_t)seq->frame_count, sizeof(ZyBmsFrame));
  ZY_Bitmap atlas = {};
  if (!entries || !PackFrames(seq, &atlas, entries)) {
    free(entries);
    ZYI_BitmapFreePixels(&atlas);
    ZY_Popup(ZY_LOG_WARNING,
             "ZYI_SaveBitmapSequence: bitmaps didn't fit into atlas, not creating file '%s'.",
             file_name);
    return false;
  }

  char native[ZYFS_PATH_SIZE * 2];
  const char *path = file_name;
  if (strstr(file_name, "://"))
    path = ZYFS_IsLegalName(file_name) && ZYFS_MapToPlatformPath(file_name, native, sizeof native)
               ? native
               : nullptr;
  ZyfsAtomicFile file;
  bool saved = path && ZYFS_AtomicOpen(&file, path);
  if (saved) {
    if (ZYI_BmsWrite(file.stream, entries, seq->frame_count, &atlas, ZYI_BgraPixels(), written))
      saved = ZYFS_AtomicCommit(&file);
    else
      ZYFS_AtomicAbandon(&file), saved = false;
  }
  if (!saved)
    ZY_Popup(ZY_LOG_WARNING, "Unable to save bitmap sequence '%s' to file '%s'",
             seq->name ? seq->name : "", file_name);
  free(entries);
  if (saved && written) {
    written->atlas = atlas;  // the pixels move to the caller
    atlas.pixels = nullptr;
  }
  ZYI_BitmapFreePixels(&atlas);
  return saved;
}

}  // namespace

bool ZYI_SaveBitmapSequence(ZY_Bitmap *seq, const char *file_name) {
  return SaveSequence(seq, file_name, nullptr);
}

// ---------------------------------------------------------------------------------
// Building from numbered images
// ---------------------------------------------------------------------------------

namespace {

bool Exists(const char *name) {
  ZY_File *file = ZYFS_OpenFileInternal(name, "rb");
  if (file) ZYFS_CloseFileInternal(file);
  return file != nullptr;
}

}  // namespace

bool ZYI_BuildSequenceFile(ZY_Bitmap *b, const char *name) {
  static const char *const SEPARATORS[] = {"-", "_", ""};
  static const char *const EXTENSIONS[] = {"png", "jpg", "tga"};
  std::string base(name, strlen(name) - 4);
  std::string pattern;
  for (const char *sep : SEPARATORS) {
    for (const char *ext : EXTENSIONS) {
      if (Exists((base + sep + "0000." + ext).c_str())) {
        pattern = base + sep + "*." + ext;
        break;
      }
    }
    if (!pattern.empty()) break;
  }
  if (pattern.empty() || !LoadNumberedFrames(b, pattern.c_str())) return false;
  OptimizeSequence(b);

  char out[ZYFS_PATH_SIZE];
  char folder[ZYFS_PATH_SIZE];
  ZY_GetPathEx(out, sizeof out, ZY_ROOT_USER, "data/%s", name);
  ZYFS_FolderOf(out, folder, sizeof folder);
  ZY_CreateDir(folder);
  // The file is read back as any later run reads it, except that an atlas PNG identical
  // to the one just written takes the atlas pixels it was encoded from.
  ZyBmsWrittenAtlas written = {};
  bool saved = SaveSequence(b, out, &written);
  ZYI_BitmapDropFrames(b);  // the pictures are in the file now
  bool read = saved && ReadSequence(b, out, &written);
  ZYI_BmsFreeWritten(&written);
  return read;
}
