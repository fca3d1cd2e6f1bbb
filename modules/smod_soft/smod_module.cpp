// smod_module.cpp — smod_soft: the SoundImp built on SDL2_mixer.
//
// Opens the audio device at Init (any SDL audio driver: a sound card, or "disk" and
// "dummy" where there is none) and fails there when no device opens, so the engine puts
// its null module in place. Sounds are decoded whole at LoadSound. A play takes a free
// effects channel, or the one that has played longest when all are busy, and answers a
// handle that names that one play: a handle from an earlier play of a reused channel
// controls nothing. Every value the game passes is clamped to its range. The meaning of
// each argument is in README.md.
//
// Sections: device; sounds; channels; music; entry point.
#include <math.h>
#include <string.h>

#include <mutex>
#include <vector>

#include "smod_internal.h"

namespace smod {
namespace {

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

Mix_Chunk *ChunkOf(ZY_Sound *s) { return s ? (Mix_Chunk *)s->module_data[0] : nullptr; }

class SoftSound final : public SoundImp {
 public:
  bool IsSupported() override { return true; }
  const char *GetName() override { return "SoundImp Soft (SDL2_mixer)"; }

  // -------------------------------------------------------------------------------
  // Device
  // -------------------------------------------------------------------------------

  bool Init(ZY_HostInfo *host, ZY_DisplaySettings *) override {
    zy_ = host ? host->zy : nullptr;
    if (!zy_) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      zy_->Log(ZY_LOG_WARNING, "smod_soft: no audio (%s)", SDL_GetError());
      return false;
    }
    int wanted = MIX_INIT_OGG | MIX_INIT_MP3;
    int got = Mix_Init(wanted);
    if ((got & wanted) != wanted)
      zy_->Log(ZY_LOG_WARNING, "smod_soft: some decoders are missing (%s)", Mix_GetError());
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
      zy_->Log(ZY_LOG_WARNING, "smod_soft: no audio device opens (%s)", Mix_GetError());
      Mix_Quit();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    Uint16 format;
    Mix_QuerySpec(&frequency_, &format, &channels_);
    Mix_AllocateChannels(MIXER_CHANNELS);
    Mix_ReserveChannels(MUSIC_CHANNELS);
    memset(generation_, 0, sizeof generation_);
    memset(owner_, 0, sizeof owner_);
    music_ = nullptr;
    open_ = true;
    zy_->Log(ZY_LOG_SYSTEM, "smod_soft: %d Hz, %d channels, driver '%s'.", frequency_,
             channels_, SDL_GetCurrentAudioDriver());
    return true;
  }

  void Shutdown() override {
    if (!open_) return;
    Mix_HaltChannel(-1);
    {
      // Sounds still loaded (a sound module change keeps the engine's records) are freed
      // here; the engine clears their data words afterwards.
      std::lock_guard<std::mutex> hold(loaded_lock_);
      for (ZY_Sound *s : loaded_) {
        Mix_FreeChunk(ChunkOf(s));
        s->module_data[0] = nullptr;
      }
      loaded_.clear();
    }
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    open_ = false;
    music_ = nullptr;
  }

  void BeginFrame() override {}
  void EndFrame() override {}

  // -------------------------------------------------------------------------------
  // Sounds
  // -------------------------------------------------------------------------------

  bool LoadSound(ZY_Sound *s, const char *path) override {
    if (!open_ || !s || !path) return false;
    // A missing file is quiet: the engine probes several names.
    SDL_RWops *rw = OpenEngineFile(zy_, path);
    if (!rw) return false;
    // The file is closed here: SDL2_mixer leaves it open on some of its error paths.
    Mix_Chunk *chunk = Mix_LoadWAV_RW(rw, 0);
    SDL_RWclose(rw);
    // A file that decodes to no samples at all is broken too (a header without data).
    if (chunk && chunk->alen == 0) {
      Mix_FreeChunk(chunk);
      chunk = nullptr;
      SDL_SetError("no samples");
    }
    if (!chunk) {
      zy_->Log(ZY_LOG_WARNING, "smod_soft: '%s' cannot be decoded: %s", path, Mix_GetError());
      return false;
    }
    FreeSound(s);  // loading again replaces the old data
    s->module_data[0] = chunk;
    std::lock_guard<std::mutex> hold(loaded_lock_);
    loaded_.push_back(s);
    return true;
  }

  void FreeSound(ZY_Sound *s) override {
    Mix_Chunk *chunk = ChunkOf(s);
    if (!chunk) return;
    StopSound(s);  // a chunk must not be freed while a channel plays it
    Mix_FreeChunk(chunk);
    s->module_data[0] = nullptr;
    std::lock_guard<std::mutex> hold(loaded_lock_);
    for (size_t i = 0; i < loaded_.size(); i++)
      if (loaded_[i] == s) {
        loaded_[i] = loaded_.back();
        loaded_.pop_back();
        break;
      }
  }

  void StopSound(ZY_Sound *s) override {
    if (!open_ || !s) return;
    for (int i = 0; i < MIXER_CHANNELS; i++)
      if (owner_[i] == s) {
        Mix_HaltChannel(i);
        owner_[i] = nullptr;
      }
    if (music_ == s) music_ = nullptr;
  }

  // a: volume scale of every play (0..1; negative keeps it); b: pan offset (-1..1).
  void SetSoundParams(ZY_Sound *s, float a, float b) override {
    if (!s) return;
    if (a >= 0) s->params[0] = Clamp(a, 0, 1);
    s->params[1] = Clamp(b, -1, 1);
  }

  // -------------------------------------------------------------------------------
  // Channels
  // -------------------------------------------------------------------------------

  int32_t PlaySound(ZY_Sound *s, float volume, float pan, int32_t loop) override {
    Mix_Chunk *chunk = ChunkOf(s);
    if (!open_ || !chunk) return 0;
    int channel = FreeChannel();
    Mix_HaltChannel(channel);
    Mix_Volume(channel, (int)lroundf(Clamp(volume, 0, 1) * s->params[0] * MIX_MAX_VOLUME));
    Pan(channel, Clamp(pan + s->params[1], -1, 1));
    // loop: further plays after the first; negative: until stopped.
    if (Mix_PlayChannel(channel, chunk, loop < 0 ? -1 : loop) < 0) return 0;
    owner_[channel] = s;
    started_[channel] = SDL_GetTicks();
    generation_[channel] = (generation_[channel] + 1) & 0x7FFFFF;
    return (generation_[channel] << 8) | (channel + 1);
  }

  void StopChannel(int32_t handle) override {
    int c = Channel(handle);
    if (c >= 0) Mix_HaltChannel(c);
  }
  // 1: volume 0..1.
  void SetChannelParam1(int32_t handle, float v) override {
    int c = Channel(handle);
    if (c >= 0) Mix_Volume(c, (int)lroundf(Clamp(v, 0, 1) * owner_[c]->params[0] * MIX_MAX_VOLUME));
  }
  // 2: pan -1 (left) .. 1 (right).
  void SetChannelParam2(int32_t handle, float v) override {
    int c = Channel(handle);
    if (c >= 0) Pan(c, Clamp(v + owner_[c]->params[1], -1, 1));
  }
  // 3: non-zero pauses, 0 resumes.
  void SetChannelParam3(int32_t handle, float v) override {
    int c = Channel(handle);
    if (c < 0) return;
    if (v != 0)
      Mix_Pause(c);
    else
      Mix_Resume(c);
  }
  // 4: fades out over v seconds, then stops (at once when v <= 0).
  void SetChannelParam4(int32_t handle, float v) override {
    int c = Channel(handle);
    if (c < 0) return;
    if (v > 0)
      Mix_FadeOutChannel(c, (int)Clamp(v * 1000.0f, 1, 600000));
    else
      Mix_HaltChannel(c);
  }
  // 5: distance 0 (near) .. 1 (far, silent).
  void SetChannelParam5(int32_t handle, float v) override {
    int c = Channel(handle);
    if (c >= 0) Mix_SetDistance(c, (Uint8)lroundf(Clamp(v, 0, 1) * 255));
  }
  bool IsChannelPlaying(int32_t handle) override { return Channel(handle) >= 0; }
  // The volume the channel plays at now (fades included), 0 once it ended.
  float GetChannelValue(int32_t handle) override {
    int c = Channel(handle);
    return c >= 0 ? (float)Mix_Volume(c, -1) / MIX_MAX_VOLUME : 0.0f;
  }

  // -------------------------------------------------------------------------------
  // Music
  // -------------------------------------------------------------------------------

  void PlayMusic(ZY_Sound *music, float volume, float fade_in) override {
    Mix_Chunk *chunk = ChunkOf(music);
    if (!open_ || !chunk) return;
    StopMusic(fade_in > 0 ? fade_in : 0);  // music already playing fades while this one rises
    music_channel_ = (music_channel_ + 1) % MUSIC_CHANNELS;
    int c = music_channel_;
    Mix_HaltChannel(c);
    RampSet(&ramp_[c], 0, Clamp(volume, 0, 1), fade_in, frequency_);
    Mix_Volume(c, MIX_MAX_VOLUME);
    Mix_RegisterEffect(c, ApplyRamp, nullptr, &ramp_[c]);
    if (Mix_PlayChannel(c, chunk, -1) < 0) return;
    owner_[c] = music;
    music_ = music;
  }

  void StopMusic(float fade_out) override {
    if (!open_ || !music_) return;
    int c = music_channel_;
    music_ = nullptr;
    if (fade_out > 0) {
      RampTo(&ramp_[c], 0, fade_out, frequency_);
      Mix_ExpireChannel(c, (int)Clamp(fade_out * 1000.0f, 1, 600000) + 50);
    } else {
      Mix_HaltChannel(c);
    }
  }

  // The music volume at once (0..1), ending any slide.
  void SetMusicValue(float v) override {
    if (music_) RampSet(&ramp_[music_channel_], 0, Clamp(v, 0, 1), 0, frequency_);
  }

  ZY_Sound *GetMusicValue() override {
    return music_ && Mix_Playing(music_channel_) ? music_ : nullptr;
  }

  void SlideMusicVolume(float target, float seconds) override {
    if (music_) RampTo(&ramp_[music_channel_], Clamp(target, 0, 1), seconds, frequency_);
  }

 private:
  // The mixer channel a handle's play still runs on, or -1.
  int Channel(int32_t handle) {
    int c = (handle & 0xFF) - 1;
    if (!open_ || c < MUSIC_CHANNELS || c >= MIXER_CHANNELS) return -1;
    if ((handle >> 8) != generation_[c] || !owner_[c] || !Mix_Playing(c)) return -1;
    return c;
  }

  // An idle effects channel, else the one that has played longest.
  int FreeChannel() {
    int oldest = MUSIC_CHANNELS;
    for (int c = MUSIC_CHANNELS; c < MIXER_CHANNELS; c++) {
      if (!Mix_Playing(c)) return c;
      if ((Sint32)(started_[c] - started_[oldest]) < 0) oldest = c;
    }
    return oldest;
  }

  void Pan(int channel, float pan) {
    Uint8 left = (Uint8)lroundf(255 * Clamp(1 - pan, 0, 1));
    Uint8 right = (Uint8)lroundf(255 * Clamp(1 + pan, 0, 1));
    Mix_SetPanning(channel, left, right);
  }

  ZY_EngineInterface *zy_ = nullptr;
  bool open_ = false;
  int frequency_ = 44100, channels_ = 2;
  ZY_Sound *owner_[MIXER_CHANNELS];   // the sound each channel last played
  Uint32 started_[MIXER_CHANNELS];    // SDL_GetTicks of that play
  int32_t generation_[MIXER_CHANNELS];  // plays started on the channel, for handles
  std::mutex loaded_lock_;            // loaded_: sounds may load on program threads
  std::vector<ZY_Sound *> loaded_;    // sounds holding a chunk
  ZY_Sound *music_ = nullptr;         // the music playing (not fading out), or null
  int music_channel_ = 0;             // the music channel used last
  GainRamp ramp_[MUSIC_CHANNELS];
};

SoftSound sound;

}  // namespace
}  // namespace smod

extern "C" ZY_EXPORT SoundImp *ZYLEM_SoundImp_GetInterface(void) { return &smod::sound; }
