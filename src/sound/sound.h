// sound.h — sound and music resources: named sounds shared by reference count, played
// and mixed by the sound module.
//
// Every sound lives in one fixed table of 256 records; a handle is the address of its
// record. The engine keeps the names, the counts and the cache mode and checks the
// program's arguments; the audio data and everything that plays is the sound module's
// (the null module when none could be used, so every call here always works). A sound
// released to a count of 0 is hibernated: the module drops its data, the record and name
// stay, and the next request loads it again.
//
// Locks: GET_SOUND guards the table and the counts. Playback and music calls take no
// lock; they belong to the main thread.
//
// The code is split by concern: sounds_table.cpp (table, lookups, counting, loading,
// release, shut-down and reload) and sounds_play.cpp (playback, channels and music).
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

#define ZYI_MAX_SOUNDS 256             // records in the sound table
#define ZYI_SOUND_REFERENCE_CAP 4096   // reference counts are capped here (with a popup)
#define ZYI_SOUND_REPLAY_GUARD_MS 50   // a sound does not start again sooner than this

// The sounds block of the engine state.
struct ZySounds {
  // The table (GET_SOUND)
  ZY_Sound table[ZYI_MAX_SOUNDS];    // a record without a name is free
  char *file_names[ZYI_MAX_SOUNDS];  // per record: the file that loaded it, once probed
  int32_t count;                     // high-water mark: records 0..count-1 have been used
  uint8_t reference_counting;        // the program's reference_counting flag

  // Music (main thread)
  uint8_t music_playing;             // set by ZY_PlayMusic, cleared by ZY_StopMusic
};
ZYI_STATE_PART(ZySounds, sounds)

// ---------------------------------------------------------------------------------
// Engine side
// ---------------------------------------------------------------------------------

// Core initialisation: remembers the program's reference_counting flag (off: releasing
// frees a sound at once).
void ZYI_SoundsSetReferenceCounting(bool on);
// Shut-down, before the module's Shutdown: every sound still held is reported and
// released ("Sound '%s' Reference count %d at exit, releasing...").
void ZYI_ReleaseLeakedSounds(void);
// After a new sound module started: every named sound that was loaded is loaded into it
// again, with "Unable to reload sound '%s'" for each that fails.
void ZYI_ReloadSounds(void);
// Frees every record's names and empties the table (after the module's Shutdown; also
// called by the state reset, so a new boot starts from nothing).
void ZYI_SoundsFree(void);

// ---------------------------------------------------------------------------------
// Engine interface operations (slots 53 to 75)
// ---------------------------------------------------------------------------------

ZY_Sound *ZY_GetSound(const char *name);
ZY_Sound *ZY_LoadSound(const char *name);
ZY_Sound *ZY_GetSoundEx(const char *name, int32_t cache_mode);
void ZY_ReleaseSound(ZY_Sound *sound);
bool ZY_SetSoundCacheMode(ZY_Sound *sound, int32_t cache_mode);
void ZY_StopSound(ZY_Sound *sound);
int32_t ZY_PlaySound(ZY_Sound *sound, float volume, float pan, int32_t loop);
void ZY_StopChannel(int32_t channel);
void ZY_SetChannelParam1(int32_t channel, float value);
void ZY_SetChannelParam2(int32_t channel, float value);
void ZY_SetChannelParam3(int32_t channel, float value);
void ZY_SetChannelParam4(int32_t channel, float value);
void ZY_SetChannelParam5(int32_t channel, float value);
bool ZY_IsChannelPlaying(int32_t channel);
float ZY_GetChannelValue(int32_t channel);
void ZY_SetSoundParams(ZY_Sound *sound, float a, float b);
void ZY_SetSoundParamsDefault(ZY_Sound *sound, float value);
void ZY_PlayMusic(ZY_Sound *music, float volume, float fade_in_seconds);
void ZY_StopMusic(float fade_out_seconds);
void ZY_SetMusicValue(float value);
void ZY_SetMusicLooping(bool ignored);
ZY_Sound *ZY_GetMusicValue(void);
void ZY_SlideMusicVolume(float target_volume, float seconds);
