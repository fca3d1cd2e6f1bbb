// bitmaps_sequence.h — bitmap sequences: one bitmap resource made of many frames.
//
// A bitmap whose name ends in ".bms" reads its frames from a sequence file
// (image/bms_format.h); one whose name contains "*" loads numbered images, the "*"
// standing for a four-digit frame number (walk_*.png: walk_0000.png, walk_0001.png, ...).
// When a ".bms" file cannot be read but numbered images of the same base name exist
// (walk-0000.png, walk_0000.png or walk0000.png; .png, .jpg or .tga), the sequence is
// built from them: repeated frames are removed, the others packed into one atlas, and
// the file is written to user://data/<name> and read back.
//
// A sequence read from a file keeps its atlas picture as the bitmap's pending source;
// every frame refers to it, draws from the atlas texture with its own rectangle and holds
// no pixels of its own. Numbered images loaded directly keep one picture per frame.
// ZY_SelectBitmapFrame shows a frame by copying its size, pixels and texture into the
// bitmap. All functions here run with the bitmap's own lock held (or on a bitmap that is
// not shared yet).
#pragma once

#include <stdint.h>

#include "zylem.h"

// Loads a sequence bitmap from its source file name (".bms" or a name with "*"), after
// dropping the frames and textures it had. True when it has frames.
bool ZYI_LoadBitmapSequence(ZY_Bitmap *sequence, const char *source);

// Builds "user://data/<name>" from the numbered images beside a ".bms" name (the first
// of base-0000, base_0000 and base0000 with .png, .jpg or .tga decides the pattern),
// removing repeated frames, and reads it back. False when there are none or a step fails.
bool ZYI_BuildSequenceFile(ZY_Bitmap *sequence, const char *name);

// Reads a sequence file through the file layer into the bitmap's frames and atlas and
// shows frame 0. False (with a popup for a file that opens but cannot be used) otherwise.
bool ReadBitmapSequence(ZY_Bitmap *sequence, const char *name);

// Called after each frame LoadNumberedFrames has loaded (loaded of total so far).
typedef void (*ZyFrameProgress)(int32_t loaded, int32_t total, void *user);
// Loads the numbered images of a pattern with "*" as the bitmap's frames (numbers 0 to
// 999; counting stops after more than 5 missing numbers in a row, or 100 once two gaps of
// different lengths were seen) and shows frame 0. Each frame gets the file name, its
// frame number and 30 frames per second. Popup "Bitmap files '%s' not found." when none
// exists; false as well when one of them cannot be decoded.
bool LoadNumberedFrames(ZY_Bitmap *sequence, const char *pattern);
bool ZYI_LoadNumberedFramesEx(ZY_Bitmap *sequence, const char *pattern,
                              ZyFrameProgress progress, void *user);

// Marks every frame that repeats an earlier one (same size, no channel more than 3
// levels apart) as its duplicate, reporting each match and the memory saved.
void OptimizeSequence(ZY_Bitmap *sequence);

// Writes the sequence file: the frames that are not duplicates packed into one atlas,
// then a frame table and the atlas as PNG. A name with "://" is mapped to its native
// path, any other is a native path. The file is written whole or not at all. False with
// a popup for a sequence without frames (or frames without pixels), frames that fit no
// atlas and a file that cannot be written.
bool ZYI_SaveBitmapSequence(ZY_Bitmap *sequence, const char *file_name);

// The frame number of a frame record (the number in its image file's name).
int32_t ZYI_FrameNumber(const ZY_Bitmap *frame);
void ZYI_SetFrameNumber(ZY_Bitmap *frame, int32_t number);
// The atlas picture a sequence read from a file draws from, or null.
ZY_Bitmap *ZYI_SequenceAtlas(const ZY_Bitmap *sequence);
// Frees the atlas record of a sequence (its texture must be gone already).
void ZYI_SequenceFreeAtlas(ZY_Bitmap *sequence);
