// smod_internal.h — the parts of smod_soft, the sound module built on SDL2_mixer.
//
// Every sound is decoded whole into a Mix_Chunk when the engine loads it (WAV, OGG
// Vorbis, MP3 and whatever else the installed SDL2_mixer decodes), read through the
// engine's own file operations so sounds in paks, res:// and user:// all work. Effects
// play on mixer channels 2 and up; music plays on channels 0 and 1 in turn, looping, so
// new music can fade in while the old fades out. Music volume (fades and slides) is a
// gain ramp applied in the mixer thread, sample by sample.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

#include <stdint.h>

#include "zylem_modules.h"

namespace smod {

constexpr int MUSIC_CHANNELS = 2;    // mixer channels 0 and 1
constexpr int MIXER_CHANNELS = 64;   // music channels plus effects channels

// An SDL_RWops reading a file opened with the engine's OpenFile; closing it closes the
// file. Null (with the reason in SDL_GetError) when the file does not open.
SDL_RWops *OpenEngineFile(ZY_EngineInterface *zy, const char *name);

// Music volume over time: a linear ramp from `from` to `to` over `length` sample frames.
// Written by the main thread and read by the mixer thread under `lock`.
struct GainRamp {
  SDL_SpinLock lock = 0;
  float from = 1, to = 1;
  int64_t length = 0, position = 0;
};
// The gain the ramp has reached.
float RampGain(GainRamp *ramp);
// Sets a ramp from the gain reached to `target` over `seconds` (at once when <= 0).
void RampTo(GainRamp *ramp, float target, float seconds, int frequency);
// Sets a ramp from `from` to `to` over `seconds` (at once when <= 0).
void RampSet(GainRamp *ramp, float from, float to, float seconds, int frequency);
// Mixer effect: scales a music channel's signed 16-bit samples by its ramp (udata).
void ApplyRamp(int channel, void *stream, int bytes, void *udata);

}  // namespace smod
