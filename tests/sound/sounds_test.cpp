// Engine sound rules seen from the module's side: a recording sound module in this
// process notes every call the engine makes, and loads only the files it is told exist.
#include <stdarg.h>
#include <stdio.h>

#include <set>

#include "config/config.h"
#include "engine/modules.h"
#include "host/host.h"
#include "lifecycle/interface_table.h"
#include "sound/sound.h"
#include "zytest.h"

namespace {

class Recorder final : public SoundImp {
 public:
  std::vector<std::string> calls;
  std::set<std::string> files;  // the paths LoadSound accepts
  ZY_Sound *music = nullptr;
  void Note(const char *f, ...) ZY_PRINTF_FORMAT(2, 3) {
    char t[300];
    va_list a;
    va_start(a, f), vsnprintf(t, sizeof t, f, a), va_end(a);
    calls.push_back(t);
  }
  bool IsSupported() override { return true; } const char *GetName() override { return "rec"; }
  bool Init(ZY_HostInfo *, ZY_DisplaySettings *) override { return true; }
  bool LoadSound(ZY_Sound *, const char *p) override { return Note("Load %s", p), files.count(p) > 0; }
  void FreeSound(ZY_Sound *s) override { Note("Free %s", s->name); }
  void StopSound(ZY_Sound *s) override { Note("StopSound %s", s->name); }
  int32_t PlaySound(ZY_Sound *s, float v, float p, int32_t l) override {
    return Note("Play %s %g %g %d", s->name, v, p, l), 7;
  }
  void StopChannel(int32_t c) override { Note("StopChannel %d", c); }
  void SetChannelParam1(int32_t c, float v) override { Note("P1 %d %g", c, v); }
  void SetChannelParam2(int32_t c, float v) override { Note("P2 %d %g", c, v); }
  void SetChannelParam3(int32_t c, float v) override { Note("P3 %d %g", c, v); }
  void SetChannelParam4(int32_t c, float v) override { Note("P4 %d %g", c, v); }
  void SetChannelParam5(int32_t c, float v) override { Note("P5 %d %g", c, v); }
  bool IsChannelPlaying(int32_t c) override { return Note("IsPlaying %d", c), true; }
  float GetChannelValue(int32_t c) override { return Note("Value %d", c), 0.5f; }
  void SetSoundParams(ZY_Sound *s, float a, float b) override { Note("Params %s %g %g", s->name, a, b); }
  void PlayMusic(ZY_Sound *m, float v, float f) override { Note("PlayMusic %s %g %g", m->name, v, f), music = m; }
  void StopMusic(float f) override { Note("StopMusic %g", f), music = nullptr; }
  void SetMusicValue(float v) override { Note("MusicValue %g", v); }
  ZY_Sound *GetMusicValue() override { return music; }
  void SlideMusicVolume(float t, float s) override { Note("Slide %g %g", t, s); }
  void Shutdown() override {}
  void BeginFrame() override {} void EndFrame() override {}
};

class SoundRules : public ZyTest {
 protected:
  Recorder rec;
  void SetUp() override {
    zytest::StartCore(world);
    ZYI_ResetModules();
    ZYI_BuildEngineInterface();
    zy::modules.sound = &rec;
    zy::config.developer_mode = 1;
    ZYI_SoundsSetReferenceCounting(true);
    rec.files = {"sfx/hit.ogg", "sfx/hit.mp3", "music/a.wav", "music/b.wav", "named.wav"};
  }
  void TearDown() override {
    ZYH_ClockSetManual(false, 0);
    ZYI_SoundsFree();
    ZYI_ResetModules();
    zytest::StopCore();
  }
  std::string Calls() {  // every call since the last time asked, each ending in "|"
    std::string all;
    for (auto &c : rec.calls) all += c + "|";
    return rec.calls.clear(), all;
  }
  static int Popups(const std::string &text) { return zytest::LoggedCount("[POPUP] " + text); }
};

TEST_F(SoundRules, CountsHibernateAndReloadTheRememberedFile) {
  ZY_Sound *s = ZY_LoadSound("sfx/hit");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Calls(), "Load sfx/hit.wav|Load sfx/hit.ogg|");  // probed in order, first wins
  EXPECT_EQ(ZY_LoadSound("sfx/hit"), s);
  EXPECT_EQ(s->ref_count, 2);
  ZY_ReleaseSound(s), ZY_ReleaseSound(s);
  EXPECT_EQ(Calls(), "Free sfx/hit|");
  EXPECT_EQ(s->cache_mode, CACHE_NOTHING);
  EXPECT_EQ(zytest::LoggedCount("Hibernating sound 'sfx/hit'.."), 1);
  EXPECT_EQ(ZY_LoadSound("sfx/hit"), s);  // the record stayed: woken with its file
  EXPECT_EQ(Calls(), "Load sfx/hit.ogg|");
  EXPECT_EQ(s->cache_mode, CACHE_GPU);
  // GetSound counts a sound once; releasing that reference is reported as misuse.
  ZY_Sound *g = ZY_GetSound("named.wav");
  EXPECT_EQ(Popups("Sound name 'named.wav' has file extension."), 1);
  EXPECT_EQ(Calls(), "Load named.wav|");  // loaded under that very name
  EXPECT_EQ(ZY_GetSound("named.wav"), g);
  EXPECT_EQ(g->ref_count, 1);
  ZY_ReleaseSound(g);
  EXPECT_EQ(Popups("Releasing sound 'named.wav' too many times"), 1);
  ZY_ReleaseSound(g);
  EXPECT_EQ(Popups("Sound 'named.wav' reference count less than zero."), 1);
  EXPECT_EQ(g->ref_count, 0);
  // Look-up only finds without counting; a missing file keeps the record, unloaded.
  EXPECT_EQ(ZY_GetSoundEx("nothing", CACHE_LOOKUP_ONLY), nullptr);
  ZY_Sound *missing = ZY_LoadSound("gone");
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(Popups("Sound resource 'gone' not found."), 1);
  EXPECT_EQ(missing->cache_mode, CACHE_NOTHING);
  EXPECT_EQ(ZY_LoadSound(nullptr), nullptr);
  EXPECT_EQ(Popups("zy->LoadSound called with null parameter (forbidden)."), 1);
}

TEST_F(SoundRules, PlaceholdersTableLimitAndCap) {
  ZY_Sound *none = ZY_LoadSound("!NONE");
  EXPECT_EQ(ZY_LoadSound("!NONE"), none);
  ZY_ReleaseSound(none), ZY_ReleaseSound(none), ZY_ReleaseSound(none);
  EXPECT_TRUE(none->ref_count == 1 && none->cache_mode == CACHE_GPU);
  EXPECT_EQ(ZY_PlaySound(none, 1, 0, 0), 0);
  ZY_PlayMusic(none, 1, 0);
  EXPECT_EQ(Calls(), "");  // never loaded, played or freed
  for (int i = 1; i < ZYI_MAX_SOUNDS; i++)
    ASSERT_NE(ZY_LoadSound(("s" + std::to_string(i)).c_str()), nullptr) << i;
  EXPECT_EQ(ZY_LoadSound("one too many"), nullptr);
  EXPECT_EQ(Popups(" ! Zylem out of free sounds."), 1);
  ZY_Sound *s = ZY_LoadSound("s1");
  for (int i = 0; i < ZYI_SOUND_REFERENCE_CAP + 5; i++) ZY_LoadSound("s1");
  EXPECT_EQ(s->ref_count, ZYI_SOUND_REFERENCE_CAP);
  EXPECT_GT(Popups("Sound 's1' reference count suspiciously high: capping at 4096."), 0);
  // Without reference counting a release frees the record for the next name.
  ZYI_SoundsSetReferenceCounting(false);
  ZY_ReleaseSound(s);
  EXPECT_EQ(s->name, nullptr);
  EXPECT_EQ(ZY_LoadSound("one too many"), s);
}

TEST_F(SoundRules, ReplaysWithin50msAreDroppedAndChannelZeroNeverReachesTheModule) {
  ZYH_ClockSetManual(true, 1000);
  ZY_Sound *s = ZY_LoadSound("sfx/hit");
  Calls();
  EXPECT_EQ(ZY_PlaySound(s, 0.5f, -1, 2), 7);
  ZYH_ClockAdvance(49);
  EXPECT_EQ(ZY_PlaySound(s, 1, 0, 0), 0);
  ZYH_ClockAdvance(1);
  EXPECT_EQ(ZY_PlaySound(s, 1, 0, 0), 7);
  EXPECT_EQ(ZY_PlaySound(nullptr, 1, 0, 0), 0);
  EXPECT_EQ(Calls(), "Play sfx/hit 0.5 -1 2|Play sfx/hit 1 0 0|");
  for (int ch : {0, 3}) {
    ZY_StopChannel(ch), ZY_SetChannelParam1(ch, 1), ZY_SetChannelParam2(ch, 2);
    ZY_SetChannelParam3(ch, 3), ZY_SetChannelParam4(ch, 4), ZY_SetChannelParam5(ch, 5);
    EXPECT_EQ(ZY_IsChannelPlaying(ch), ch != 0);
    EXPECT_EQ(ZY_GetChannelValue(ch), ch ? 0.5f : 0.0f);
    ZY_SetSoundParams(ch ? s : nullptr, 0.25f, 1), ZY_SetSoundParamsDefault(ch ? s : nullptr, 2);
    ZY_StopSound(ch ? s : nullptr);
  }
  EXPECT_EQ(Calls(), "StopChannel 3|P1 3 1|P2 3 2|P3 3 3|P4 3 4|P5 3 5|IsPlaying 3|Value 3|"
                     "Params sfx/hit 0.25 1|Params sfx/hit -0.1 2|StopSound sfx/hit|");
}

TEST_F(SoundRules, MusicSlidesInsteadOfRestartingAndStopsTheOldOne) {
  ZY_Sound *a = ZY_LoadSound("music/a"), *b = ZY_LoadSound("music/b");
  Calls();
  ZY_StopMusic(1);  // nothing plays yet
  ZY_PlayMusic(a, 1.5f, 11);
  EXPECT_EQ(Popups("ZY_PlayMusic: Volume parameter out of range 0..1 (1.5)"), 1);
  EXPECT_EQ(Popups("ZY_PlayMusic: Fade in time is suspiciously high (11)"), 1);
  ZY_PlayMusic(a, 0.5f, 0.0000001f);
  ZY_PlayMusic(b, 0.25f, 0.0000001f);
  ZY_SlideMusicVolume(-1, 12);
  EXPECT_EQ(Popups("ZY_SlideMusicVolume: slide_time is suspiciously high (12)"), 1);
  EXPECT_EQ(Popups("ZY_SlideMusicVolume: target_volume parameter out of range 0..1 (-1)"), 1);
  EXPECT_EQ(ZY_GetMusicValue(), b);
  ZY_StopMusic(8);
  ZY_StopMusic(8);
  EXPECT_EQ(Popups("Fade out time in ZY_StopMusic suspiciously high (8)"), 1);
  EXPECT_EQ(Calls(), "PlayMusic music/a 1 11|Slide 0.5 1|StopMusic 1|PlayMusic music/b 0.25 0|"
                     "Slide 0 12|StopMusic 8|");
  ZY_SetMusicLooping(true);
  EXPECT_EQ(Popups("SetMusicLooping is deprecated: music is always looping."), 1);
}

TEST_F(SoundRules, ShutDownReleasesWhatIsHeldAndANewModuleGetsEveryLoadedSound) {
  ZY_Sound *held = ZY_LoadSound("sfx/hit"), *asleep = ZY_LoadSound("music/a");
  ZY_LoadSound("sfx/hit");
  ZY_ReleaseSound(asleep);
  rec.files.erase("sfx/hit.ogg");  // the new module lacks the Vorbis file
  rec.files.insert("music/a.wav");
  Calls();
  ZYI_ReloadSounds();
  EXPECT_EQ(Calls(), "Load sfx/hit.ogg|");  // hibernated sounds stay asleep
  EXPECT_EQ(zytest::LoggedCount("Unable to reload sound 'sfx/hit'"), 1);
  EXPECT_EQ(held->cache_mode, CACHE_NOTHING);
  rec.files.insert("sfx/hit.ogg");
  EXPECT_TRUE(ZY_SetSoundCacheMode(held, CACHE_GPU));
  Calls();
  ZYI_ReleaseLeakedSounds();
  EXPECT_EQ(zytest::LoggedCount("Sound 'sfx/hit' Reference count 2 at exit, releasing..."), 1);
  EXPECT_EQ(Calls(), "Free sfx/hit|");
  // The null module answers every operation without effect.
  zy::modules.sound = ZYI_NullSound();
  ZY_Sound *n = ZY_GetSound("anything");
  EXPECT_EQ(n->cache_mode, CACHE_GPU);
  EXPECT_EQ(ZY_PlaySound(n, 1, 0, 0), 0);
  ZY_PlayMusic(n, 1, 0);
  EXPECT_EQ(ZY_GetMusicValue(), nullptr);
  ZY_StopMusic(0), ZY_SlideMusicVolume(1, 1), ZY_ReleaseSound(n);
}

}  // namespace
