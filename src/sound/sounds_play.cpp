// sounds_play.cpp — playing sounds and music: the engine's checks in front of the sound
// module's playback, channel and music operations.
//
// The engine adds three rules of its own. A sound accepted for playing does not start
// again within 50 ms (a bounce reported by several contacts in one frame is heard once).
// An operation on channel 0 or on no sound answers 0 without reaching the module, since
// 0 is the channel of a play that did not happen. Music remembers whether it plays, so
// asking for the music already playing slides its volume instead of restarting it, and
// starting other music first fades the old one out. Everything else means what the
// module makes of it; the developer-mode popups catch values that are surely mistakes.
#include <math.h>

#include "base/clock.h"
#include "base/log.h"
#include "base/popup.h"
#include "config/config.h"
#include "engine/modules.h"
#include "sound/sound.h"

namespace {

bool Developer() { return zy::config.developer_mode != 0; }

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Whether a handle names a playable sound: not null, in use and not a placeholder.
bool Playable(const ZY_Sound *s) { return s && s->name && s->name[0] != '!'; }

}  // namespace

// ---------------------------------------------------------------------------------
// Sounds and channels
// ---------------------------------------------------------------------------------

int32_t ZY_PlaySound(ZY_Sound *s, float volume, float pan, int32_t loop) {
  if (!Playable(s)) return 0;
  uint32_t now = ZY_GetTime();
  if (s->last_play_time != 0 && now - s->last_play_time < ZYI_SOUND_REPLAY_GUARD_MS) return 0;
  s->last_play_time = now;
  return ZYI_Sound()->PlaySound(s, volume, pan, loop);
}

// No sound is a program error the module need not survive: nothing is stopped.
void ZY_StopSound(ZY_Sound *s) {
  if (s) ZYI_Sound()->StopSound(s);
}

void ZY_StopChannel(int32_t channel) {
  if (channel) ZYI_Sound()->StopChannel(channel);
}

void ZY_SetChannelParam1(int32_t channel, float value) {
  if (channel) ZYI_Sound()->SetChannelParam1(channel, value);
}
void ZY_SetChannelParam2(int32_t channel, float value) {
  if (channel) ZYI_Sound()->SetChannelParam2(channel, value);
}
void ZY_SetChannelParam3(int32_t channel, float value) {
  if (channel) ZYI_Sound()->SetChannelParam3(channel, value);
}
void ZY_SetChannelParam4(int32_t channel, float value) {
  if (channel) ZYI_Sound()->SetChannelParam4(channel, value);
}
void ZY_SetChannelParam5(int32_t channel, float value) {
  if (channel) ZYI_Sound()->SetChannelParam5(channel, value);
}

bool ZY_IsChannelPlaying(int32_t channel) {
  return channel && ZYI_Sound()->IsChannelPlaying(channel);
}

float ZY_GetChannelValue(int32_t channel) {
  return channel ? ZYI_Sound()->GetChannelValue(channel) : 0.0f;
}

void ZY_SetSoundParams(ZY_Sound *s, float a, float b) {
  if (s) ZYI_Sound()->SetSoundParams(s, a, b);
}

void ZY_SetSoundParamsDefault(ZY_Sound *s, float value) { ZY_SetSoundParams(s, -0.1f, value); }

// ---------------------------------------------------------------------------------
// Music
// ---------------------------------------------------------------------------------

void ZY_PlayMusic(ZY_Sound *music, float volume, float fade_in) {
  if (!music || !music->name) return;
  if (Developer()) {
    if (fade_in > 10.0f)
      ZY_Popup(ZY_LOG_WARNING, "ZY_PlayMusic: Fade in time is suspiciously high (%g)", fade_in);
    if (volume < 0.0f || volume > 1.0f)
      ZY_Popup(ZY_LOG_WARNING, "ZY_PlayMusic: Volume parameter out of range 0..1 (%g)", volume);
  }
  volume = Clamp01(volume);
  SoundImp *module = ZYI_Sound();
  ZY_Sound *current = module->GetMusicValue();
  if (zy::sounds.music_playing && current == music) {
    ZY_SlideMusicVolume(volume, 1.0f);
    return;
  }
  if (current) ZY_StopMusic(1.0f);
  if (music->name[0] == '!') return;
  if (fabsf(fade_in) < 0.000001f) fade_in = 0.0f;
  module->PlayMusic(music, volume, fade_in);
  zy::sounds.music_playing = 1;
}

void ZY_StopMusic(float fade_out) {
  if (!zy::sounds.music_playing) return;
  zy::sounds.music_playing = 0;
  if (Developer() && fade_out > 7.0f)
    ZY_Popup(ZY_LOG_WARNING, "Fade out time in ZY_StopMusic suspiciously high (%g)", fade_out);
  ZYI_Sound()->StopMusic(fade_out);
}

void ZY_SlideMusicVolume(float target, float seconds) {
  if (Developer()) {
    if (seconds > 10.0f)
      ZY_Popup(ZY_LOG_WARNING, "ZY_SlideMusicVolume: slide_time is suspiciously high (%g)",
               seconds);
    if (target < 0.0f || target > 1.0f)
      ZY_Popup(ZY_LOG_WARNING,
               "ZY_SlideMusicVolume: target_volume parameter out of range 0..1 (%g)", target);
  }
  ZYI_Sound()->SlideMusicVolume(Clamp01(target), seconds);
}

void ZY_SetMusicValue(float value) { ZYI_Sound()->SetMusicValue(value); }

ZY_Sound *ZY_GetMusicValue(void) { return ZYI_Sound()->GetMusicValue(); }

void ZY_SetMusicLooping(bool) {
  ZY_Popup(ZY_LOG_WARNING, "SetMusicLooping is deprecated: music is always looping.");
}
