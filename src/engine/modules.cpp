// modules.cpp — finding, loading and unloading the implementation modules.
//
// Each module is a shared library beside the game data that exports one entry point
// returning its interface object. The three kinds load the same way (res://core/ first,
// then res://), each with its own messages; the renderer additionally passes the DirectX
// name test and IsSupported, input modules IsSupported, and sound falls back to the
// built-in null module whenever the configured one cannot be used.
#include "engine/modules.h"

#include <stdio.h>
#include <string.h>

#include "base/log.h"
#include "config/config.h"
#include "base/state.h"
#include "fs/fs.h"
#include "host/host.h"

ZyModules zy::modules;  // engine state: renderer, input and sound modules; the host info record

// The null sound module: answers every operation without doing anything.
namespace {
class NullSound final : public SoundImp {
 public:
  bool IsSupported() override { return true; }
  const char *GetName() override { return "SoundImp Null"; }
  bool Init(ZY_HostInfo *, ZY_DisplaySettings *) override { return true; }
  void Shutdown() override {}
  bool LoadSound(ZY_Sound *, const char *) override { return true; }
  void FreeSound(ZY_Sound *) override {}
  void StopSound(ZY_Sound *) override {}
  int32_t PlaySound(ZY_Sound *, float, float, int32_t) override { return 0; }
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
  void BeginFrame() override {}
  void EndFrame() override {}
};
NullSound null_sound;

// What differs between the three kinds of module while loading.
struct ModuleKind {
  const char *kind;         // "RendImp", "InputImp", "SoundImp"
  const char *using_format; // first log line
  const char *entry_point;  // exported function name
};
const ModuleKind RENDERER = {"RendImp", "Using RendImp Library: '%s':",
                             ZYLEM_RENDIMP_GET_INTERFACE_NAME};
const ModuleKind INPUT = {"InputImp", "InputImp Library: '%s'\n",
                          ZYLEM_INPUTIMP_GET_INTERFACE_NAME};
const ModuleKind SOUND = {"SoundImp", "SoundImp Library: '%s'\n",
                          ZYLEM_SOUNDIMP_GET_INTERFACE_NAME};

// There is no DirectX on this platform: its version reads as 0.
uint32_t DirectXVersion() { return 0; }

// Loads the library from res://core/NAME, else res://NAME. Null after the fatal message.
void *OpenModuleLibrary(const ModuleKind &k, const char *name) {
  const char *places[] = {"res://core/%s", "res://%s"};
  for (const char *place : places) {
    char virt[1024], native[4096];
    snprintf(virt, sizeof virt, place, name);
    if (!ZYFS_MapToPlatformPath(virt, native, sizeof native)) continue;
    if (void *lib = ZYH_LoadLibrary(native)) return lib;
  }
  ZY_Log(ZY_LOG_ERROR, "[FATAL] %s Library not found or bad (error code %d).\n", k.kind,
         ZYH_LastError());
  return nullptr;
}

// Steps shared by the three kinds: open, find the entry point, call it.
void *LoadModule(const ModuleKind &k, const char *name, void **library_out) {
  *library_out = nullptr;
  ZY_Log(ZY_LOG_SYSTEM, k.using_format, name);
  void *lib = OpenModuleLibrary(k, name);
  if (!lib) return nullptr;
  typedef void *(*GetInterface)(void);
  GetInterface get = (GetInterface)ZYH_GetSymbol(lib, k.entry_point);
  if (!get) {
    ZY_Log(ZY_LOG_ERROR, "[FATAL] %s Library, no %s function exported.\n", k.kind,
           k.entry_point);
    ZYH_FreeLibrary(lib);
    return nullptr;
  }
  void *object = get();
  if (!object) {
    ZY_Log(ZY_LOG_ERROR, "[FATAL] %s Library, GetInterface failed.\n", k.kind);
    ZYH_FreeLibrary(lib);
    return nullptr;
  }
  *library_out = lib;
  return object;
}
}  // namespace

void ZYI_ResetModules(void) {
  ZyModules &m = zy::modules;
  m.renderer = nullptr;
  m.renderer_library = nullptr;
  m.input_count = 0;
  memset(m.inputs, 0, sizeof m.inputs);
  memset(m.input_libraries, 0, sizeof m.input_libraries);
  m.sound = &null_sound;
  m.sound_library = nullptr;
}

bool ZYI_LoadRenderer(const char *name) {
  ZyModules &m = zy::modules;
  if (strstr(name, "d3d10") || strstr(name, "d3d9") || strstr(name, "d3d8")) {
    uint32_t version = (strstr(name, "d3d9") || strstr(name, "d3d8")) ? DirectXVersion() : 0;
    if ((strstr(name, "d3d10") && version < 0x100000) ||
        (strstr(name, "d3d9") && version < 0x90000) ||
        (strstr(name, "d3d8") && version < 0x80000)) {
      ZY_Log(ZY_LOG_SYSTEM, RENDERER.using_format, name);
      ZY_Log(ZY_LOG_WARNING, "DirectX version not supported.\n");
      return false;
    }
  }
  void *lib;
  RendImp *r = (RendImp *)LoadModule(RENDERER, name, &lib);
  if (!r) return false;
  if (!r->IsSupported()) {
    ZY_Log(ZY_LOG_WARNING, "RendImp is not supported on this system.\n");
    ZYH_FreeLibrary(lib);
    return false;
  }
  ZY_Log(ZY_LOG_SYSTEM, "%s.\n", r->GetDescription());
  m.renderer = r;
  m.renderer_library = lib;
  m.colour_order = r->GetColourOrder();
  return true;
}

void ZYI_UnloadRenderer(void) {
  ZyModules &m = zy::modules;
  if (m.renderer_library) ZYH_FreeLibrary(m.renderer_library);
  m.renderer_library = nullptr;
  m.renderer = nullptr;
}

RendImp *ZYI_Renderer(void) { return zy::modules.renderer; }

bool ZYI_LoadInputModule(const char *name) {
  ZyModules &m = zy::modules;
  if (m.input_count >= ZYI_MAX_INPUT_MODULES) return false;
  void *lib;
  InputImp *in = (InputImp *)LoadModule(INPUT, name, &lib);
  if (!in) return false;
  ZY_Log(ZY_LOG_SYSTEM, "InputImp Library Loaded ok.\n");
  if (!in->IsSupported()) {
    ZY_Log(ZY_LOG_WARNING, "InputImp is not supported on this system.\n");
    ZYH_FreeLibrary(lib);
    return false;
  }
  m.input_libraries[m.input_count] = lib;
  m.inputs[m.input_count++] = in;
  return true;
}

void ZYI_InitInputModules(void) {
  for (int i = 0; i < zy::modules.input_count; i++) zy::modules.inputs[i]->Init(&zy::modules.host);
}

void ZYI_ShutdownInputModules(void) {
  for (int i = 0; i < zy::modules.input_count; i++) zy::modules.inputs[i]->Shutdown();
}

void ZYI_UnloadInputModules(void) {
  ZyModules &m = zy::modules;
  for (int i = 0; i < m.input_count; i++) ZYH_FreeLibrary(m.input_libraries[i]);
  memset(m.inputs, 0, sizeof m.inputs);
  memset(m.input_libraries, 0, sizeof m.input_libraries);
  m.input_count = 0;
}

int32_t ZYI_InputModuleCount(void) { return zy::modules.input_count; }
InputImp *ZYI_InputModule(int32_t i) {
  return i >= 0 && i < zy::modules.input_count ? zy::modules.inputs[i] : nullptr;
}

bool ZYI_LoadSoundModule(const char *name) {
  void *lib;
  SoundImp *s = (SoundImp *)LoadModule(SOUND, name, &lib);
  if (!s) return false;
  ZY_Log(ZY_LOG_SYSTEM, "SoundImp Library Loaded ok.\n");
  zy::modules.sound = s;
  zy::modules.sound_library = lib;
  return true;
}

void ZYI_StartSound(bool no_sound) {
  ZyModules &m = zy::modules;
  if (no_sound) {
    ZY_Log(ZY_LOG_SYSTEM, "Sounds disabled. Null Sound Implementation in use.");
    m.sound = &null_sound;
    return;
  }
  const char *name = zy::config.sound_module ? zy::config.sound_module : "smod_soft.dll";
  if (ZYI_LoadSoundModule(name) && m.sound->Init(&m.host, &zy::core.applied_parms)) {
    ZY_Log(ZY_LOG_SYSTEM, "SoundImp initialized.");
    return;
  }
  // A module whose Init failed is released; the null module takes its place.
  if (m.sound_library) ZYH_FreeLibrary(m.sound_library);
  m.sound_library = nullptr;
  ZY_Log(ZY_LOG_WARNING, "No Sound Implementation available.");
  m.sound = &null_sound;
}

void ZYI_UnloadSoundModule(void) {
  ZyModules &m = zy::modules;
  if (m.sound_library) {
    ZY_Log(ZY_LOG_SYSTEM, "Unloading SoundImp Library.\n");
    ZYH_FreeLibrary(m.sound_library);
  }
  m.sound_library = nullptr;
  m.sound = &null_sound;
}

SoundImp *ZYI_Sound(void) { return zy::modules.sound ? zy::modules.sound : &null_sound; }
SoundImp *ZYI_NullSound(void) { return &null_sound; }

void ZYI_ModulesSetActive(bool active) {
  if (zy::modules.renderer && zy::core.renderer_ready) zy::modules.renderer->SetActive(active);
  for (int i = 0; i < zy::modules.input_count; i++) zy::modules.inputs[i]->SetActive(active);
}

bool ZYI_RendererModeSupported(int32_t width, int32_t height) {
  return zy::modules.renderer && zy::modules.renderer->IsModeSupported(width, height);
}
