// smod_soft through the engine, heard through SDL's disk audio driver: the mix the module
// writes is read back and measured (pitch, level, envelope).
#include <math.h>
#include <stdlib.h>

#include "config/config.h"
#include "engine/modules.h"
#include "fs/fs.h"
#include "host/host.h"
#include "lifecycle/interface_table.h"
#include "sound/sound.h"
#include "zytest.h"

namespace {

// 16-bit mono PCM WAV of a sine.
std::string Tone(double hz, double amplitude, double seconds, int rate = 22050) {
  int frames = (int)(seconds * rate);
  std::string d;
  auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) d += (char)(v >> (8 * i)); };
  auto u16 = [&](uint16_t v) { d += (char)v, d += (char)(v >> 8); };
  d += "RIFF", u32(36 + frames * 2), d += "WAVEfmt ", u32(16), u16(1), u16(1), u32(rate);
  u32(rate * 2), u16(2), u16(16), d += "data", u32(frames * 2);
  for (int i = 0; i < frames; i++) u16((uint16_t)(int16_t)lround(32767 * amplitude * sin(2 * M_PI * hz * i / rate)));
  return d;
}

class SmodSoft : public ZyTest {
 protected:
  std::string mix_path = world.root() + "/mix.raw";
  std::vector<int16_t> left;  // left channel of the mix from its first sound on
  void SetUp() override {
    zytest::StartCore(world);
    ZY_AddSearchPath("res://", false);  // as a game: relative names from the game folder
    ZYI_ResetModules();
    ZYI_BuildEngineInterface();
    ZYI_SoundsSetReferenceCounting(true);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", mix_path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "2", 1);  // about ten times real time
    zytest::InstallModule("smod_soft", world.game());
    zy::config.sound_module = strdup("smod_soft.dll");
  }
  void TearDown() override {
    Finish();
    ZYI_UnloadSoundModule();
    ZYI_SoundsFree();
    unsetenv("SDL_AUDIODRIVER"), unsetenv("SDL_DISKAUDIOFILE"), unsetenv("SDL_DISKAUDIODELAY");
    zytest::StopCore();
  }
  void Start() { ZYI_StartSound(false); ASSERT_EQ(zytest::LoggedCount("SoundImp initialized."), 1); }
  // Lets the mixer write at least `seconds` more of audio.
  void Mix(double seconds) {
    size_t want = zytest::FileExists(mix_path) ? zytest::ReadFile(mix_path).size() : 0;
    want += (size_t)(seconds * 44100) * 4;
    for (int i = 0; i < 400 && (!zytest::FileExists(mix_path) || zytest::ReadFile(mix_path).size() < want); i++)
      ZYH_SleepMs(10);
  }
  // Closes the device and reads the mix back (again at the end of every test).
  void Finish() {
    ZYI_ReleaseLeakedSounds();
    ZYI_Sound()->Shutdown();
    std::string raw = zytest::FileExists(mix_path) ? zytest::ReadFile(mix_path) : "";
    const int16_t *s = (const int16_t *)raw.data();
    size_t frames = raw.size() / 4, first = 0;
    while (first < frames && s[first * 2] == 0) first++;
    for (size_t i = first; i < frames; i++) left.push_back(s[i * 2]);
  }
  double Rms(double from_s, double to_s) {
    double sum = 0;
    size_t a = (size_t)(from_s * 44100), b = std::min(left.size(), (size_t)(to_s * 44100));
    for (size_t i = a; i < b; i++) sum += (double)left[i] * left[i];
    return b > a ? sqrt(sum / (b - a)) / 32768.0 : 0;
  }
  double Pitch(double seconds) {  // upward zero crossings per second
    size_t n = std::min(left.size(), (size_t)(seconds * 44100)), up = 0;
    for (size_t i = 1; i < n; i++) up += left[i - 1] < 0 && left[i] >= 0;
    return up * 44100.0 / n;
  }
};

TEST_F(SmodSoft, AToneFromAPakPlaysOnceAtItsPitch) {
  zytest::WriteFile(world.game() + "/data.pak", zytest::CraftPak({{"sfx/tone.wav", Tone(440, 0.4, 0.5)}}).bytes);
  ASSERT_NO_FATAL_FAILURE(Start());
  ZY_Sound *tone = ZY_LoadSound("data/sfx/tone");
  ASSERT_EQ(tone->cache_mode, CACHE_GPU);
  int32_t channel = ZY_PlaySound(tone, 1, 0, 0);
  EXPECT_NE(channel, 0);
  EXPECT_EQ(ZY_PlaySound(tone, 1, 0, 0), 0);  // within 50 ms: not started again
  Mix(0.8);
  EXPECT_FALSE(ZY_IsChannelPlaying(channel));
  Finish();
  EXPECT_NEAR(Pitch(0.45), 440, 6);
  double peak = 0;
  for (int16_t v : left) peak = std::max(peak, fabs(v / 32768.0));
  EXPECT_NEAR(peak, 0.4, 0.05);  // one play: two would add up to 0.8
}

TEST_F(SmodSoft, MusicFadesInLoopsAndFadesOut) {
  zytest::WriteFile(world.game() + "/theme.ogg", "");  // probed after .wav, never reached
  zytest::WriteFile(world.game() + "/theme.wav", Tone(220, 0.5, 0.25));
  ASSERT_NO_FATAL_FAILURE(Start());
  ZY_Sound *theme = ZY_LoadSound("theme");
  ZY_PlayMusic(theme, 1, 0.5f);
  EXPECT_EQ(ZY_GetMusicValue(), theme);
  Mix(1.2);  // four and more rounds of a quarter-second loop
  ZY_StopMusic(0.2f);
  EXPECT_EQ(ZY_GetMusicValue(), nullptr);
  Mix(0.8);
  Finish();
  double rising = Rms(0, 0.1), full = Rms(0.6, 1.0);
  EXPECT_NEAR(full, 0.5 / sqrt(2), 0.03);  // a sine's RMS, looped without gaps
  EXPECT_LT(rising, full * 0.3);
  EXPECT_LT(Rms(left.size() / 44100.0 - 0.3, left.size() / 44100.0), 0.001);  // faded away
}

TEST_F(SmodSoft, UndecodableFilesFailWithTheDecodersReason) {
  std::string wav = Tone(440, 0.5, 0.1);
  const char *names[] = {"corrupt.ogg", "short.wav", "header.wav", "empty.mp3"};
  const std::string data[] = {"OggS\0\x02garbage that is no Vorbis stream at all", wav.substr(0, 30),
                              wav.substr(0, 44), ""};
  ASSERT_NO_FATAL_FAILURE(Start());
  for (int i = 0; i < 4; i++) {
    zytest::WriteFile(world.game() + "/" + names[i], data[i]);
    std::string name = std::string(names[i]).substr(0, std::string(names[i]).find('.'));
    ZY_Sound *s = ZY_LoadSound(name.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->cache_mode, CACHE_NOTHING) << names[i];
    EXPECT_EQ(ZY_PlaySound(s, 1, 0, 0), 0) << names[i];
    EXPECT_EQ(zytest::LoggedCount("[POPUP] Sound resource '" + name + "' not found."), 1) << names[i];
    EXPECT_EQ(zytest::LoggedCount("smod_soft: '" + std::string(names[i]) + "' cannot be decoded: "), 1) << names[i];
  }
}

TEST_F(SmodSoft, NoAudioDeviceLeavesTheNullModule) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ZYI_StartSound(false);
  EXPECT_EQ(zytest::LoggedCount("No Sound Implementation available."), 1);
  EXPECT_EQ(zytest::LoggedCount("smod_soft: no audio"), 1);
  EXPECT_EQ(ZYI_Sound(), ZYI_NullSound());
}

}  // namespace
