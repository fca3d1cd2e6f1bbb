// smod_record: a sound module for the tests. Records its calls like rmod_record (same
// ZYLEM_RECORD_FILE); ZYLEM_SOUND_INIT_FAIL makes Init answer false.
#include "../record.h"
#include "zylem_modules.h"

namespace {

class RecordingSound final : public SoundImp {
 public:
  bool IsSupported() override { return true; }
  const char *GetName() override { return "SoundImp Record"; }
  bool Init(ZY_HostInfo *, ZY_DisplaySettings *) override {
    const bool ok = !getenv("ZYLEM_SOUND_INIT_FAIL");
    return Record("Sound Init -> %d", ok) && ok;
  }
  void Shutdown() override { Record("Sound Shutdown"); }
  bool LoadSound(ZY_Sound *, const char *path) override { return Record("Sound LoadSound %s", path); }
  void BeginFrame() override { Record("Sound BeginFrame"); }
  void EndFrame() override { Record("Sound EndFrame"); }
  // Nothing plays.
  void FreeSound(ZY_Sound *) override {}
  void StopSound(ZY_Sound *) override {}
  int32_t PlaySound(ZY_Sound *, float, float, int32_t) override { return 1; }
  void StopChannel(int32_t) override {}
  void SetChannelParam1(int32_t, float) override {}
  void SetChannelParam2(int32_t, float) override {}
  void SetChannelParam3(int32_t, float) override {}
  void SetChannelParam4(int32_t, float) override {}
  void SetChannelParam5(int32_t, float) override {}
  bool IsChannelPlaying(int32_t) override { return false; }
  float GetChannelValue(int32_t) override { return 0; }
  void SetSoundParams(ZY_Sound *, float, float) override {}
  void PlayMusic(ZY_Sound *, float, float) override {}
  void StopMusic(float) override {}
  void SetMusicValue(float) override {}
  ZY_Sound *GetMusicValue() override { return nullptr; }
  void SlideMusicVolume(float, float) override {}
};

RecordingSound sound;

}  // namespace

extern "C" ZY_EXPORT SoundImp *ZYLEM_SoundImp_GetInterface(void) { return &sound; }
