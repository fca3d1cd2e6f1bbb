// smod_ramp.cpp — the music gain ramp: fades in and out and volume slides.
//
// SDL2_mixer fades a channel's volume in steps of one mixing buffer and cannot slide
// between two volumes at all; the ramp does both smoothly, per sample frame, as an effect
// on the music channel (effects run on a copy of the channel's samples before it is
// mixed). The main thread changes a ramp, the mixer thread reads it: both under its
// spin lock, held for a few instructions.
#include "smod_internal.h"

namespace smod {
namespace {

float Reached(const GainRamp *r) {
  if (r->position >= r->length) return r->to;
  return r->from + (r->to - r->from) * (float)((double)r->position / (double)r->length);
}

}  // namespace

float RampGain(GainRamp *r) {
  SDL_AtomicLock(&r->lock);
  float g = Reached(r);
  SDL_AtomicUnlock(&r->lock);
  return g;
}

void RampSet(GainRamp *r, float from, float to, float seconds, int frequency) {
  SDL_AtomicLock(&r->lock);
  r->from = seconds > 0 ? from : to;
  r->to = to;
  r->length = seconds > 0 ? (int64_t)((double)seconds * frequency) : 0;
  r->position = 0;
  SDL_AtomicUnlock(&r->lock);
}

void RampTo(GainRamp *r, float target, float seconds, int frequency) {
  RampSet(r, RampGain(r), target, seconds, frequency);
}

void ApplyRamp(int, void *stream, int bytes, void *udata) {
  GainRamp *r = (GainRamp *)udata;
  int frequency, channels;
  Uint16 format;
  if (!Mix_QuerySpec(&frequency, &format, &channels) || channels <= 0) return;
  Sint16 *s = (Sint16 *)stream;
  int frames = bytes / (int)(sizeof(Sint16) * channels);
  SDL_AtomicLock(&r->lock);
  float from = r->from, to = r->to;
  int64_t length = r->length, position = r->position;
  r->position = position + frames < length ? position + frames : length;
  SDL_AtomicUnlock(&r->lock);
  float step = length > 0 ? (to - from) / (float)length : 0;
  for (int i = 0; i < frames; i++, position++) {
    float g = position < length ? from + step * (float)position : to;
    for (int c = 0; c < channels; c++, s++) {
      float v = (float)*s * g;
      *s = (Sint16)(v > 32767.0f ? 32767.0f : v < -32768.0f ? -32768.0f : v);
    }
  }
}

}  // namespace smod
