// sounds_table.cpp — the sound table: names, lookups, reference counting, loading into
// the sound module, release and hibernation, the shut-down report and the reload after
// the sound module changed.
//
// The table is a fixed array of 256 records searched by exact name; a record without a
// name is free, records 0..count-1 are the ones ever used. ZY_LoadSound counts every
// request, ZY_GetSoundEx only the first one per sound (ZY_SOUND_COUNTED_ONCE). Names
// beginning with "!" are placeholders: kept in the table, never counted, loaded or
// released. A name without an extension is completed with ".wav", ".ogg" or ".mp3",
// whichever the module loads first; the file that worked is kept beside the record so a
// reload goes straight to it.
//
// Sections: helpers; loading; lookups; release; shut-down and reload.
#include "sound/sound.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "config/config.h"
#include "engine/modules.h"

ZySounds zy::sounds;  // engine state: the sound table and the music flag

// ---------------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------------

namespace {

bool IsPlaceholder(const char *name) { return name && name[0] == '!'; }

// PRINT_REFERENCE_COUNT_CHANGES logs every change of a count.
void PrintCount(const char *format, ...) ZY_PRINTF_FORMAT(1, 2);
void PrintCount(const char *format, ...) {
  if (!ZYI_IsFeatureEnabled("PRINT_REFERENCE_COUNT_CHANGES")) return;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  ZY_Print("%s", text);
}

int32_t IndexOf(const ZY_Sound *s) { return (int32_t)(s - zy::sounds.table); }

// Whether a handle is a record of the table (a stale or foreign pointer is not).
bool InTable(const ZY_Sound *s) {
  return s >= zy::sounds.table && s < zy::sounds.table + ZYI_MAX_SOUNDS;
}

// In developer mode a name that looks like a file name with extension gets a popup:
// games name sounds without one, so the engine can pick the format the platform ships.
void CheckName(const char *name) {
  if (!zy::config.developer_mode) return;
  size_t n = strlen(name);
  if (n >= 5 && memchr(name + n - 4, '.', 4))
    ZY_Popup(ZY_LOG_WARNING, "Sound name '%s' has file extension. Remove it from the file name.",
             name);
}

ZY_Sound *Find(const char *name) {
  ZySounds &sd = zy::sounds;
  for (int32_t i = 0; i < sd.count; i++)
    if (sd.table[i].name && strcmp(sd.table[i].name, name) == 0) return &sd.table[i];
  return nullptr;
}

// The first free record below the high-water mark, else the next one; null (with the
// popup) when all 256 are used.
ZY_Sound *TakeRecord(const char *name) {
  ZySounds &sd = zy::sounds;
  int32_t index = -1;
  for (int32_t i = 0; i < sd.count && index < 0; i++)
    if (!sd.table[i].name) index = i;
  if (index < 0) {
    if (sd.count >= ZYI_MAX_SOUNDS) {
      ZY_Popup(ZY_LOG_ERROR, " ! Zylem out of free sounds.");
      return nullptr;
    }
    index = sd.count;
  }
  char *copy = strdup(name);
  if (!copy) return nullptr;
  if (index == sd.count) sd.count++;
  ZY_Sound *s = &sd.table[index];
  memset(s, 0, sizeof *s);
  free(sd.file_names[index]);
  sd.file_names[index] = nullptr;
  s->name = copy;
  s->params[0] = s->params[2] = 1.0f;
  s->module_value = -1;
  s->ref_count = 1;
  return s;
}

void FreeRecord(ZY_Sound *s) {
  int32_t i = IndexOf(s);
  free(zy::sounds.file_names[i]);
  zy::sounds.file_names[i] = nullptr;
  free(s->name);
  memset(s, 0, sizeof *s);
}

void CountUp(ZY_Sound *s) {
  s->ref_count++;
  PrintCount("'%s' ref count++: now %d", s->name, s->ref_count);
  if (s->ref_count > ZYI_SOUND_REFERENCE_CAP) {
    s->ref_count = ZYI_SOUND_REFERENCE_CAP;
    ZY_Popup(ZY_LOG_WARNING, "Sound '%s' reference count suspiciously high: capping at %d.",
             s->name, ZYI_SOUND_REFERENCE_CAP);
  }
}

// ---------------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------------

bool HasExtension(const char *name) {
  const char *slash = strrchr(name, '/');
  return strchr(slash ? slash + 1 : name, '.') != nullptr;
}

// Asks the module to load the sound: the remembered file, else the name itself when it
// has an extension, else the name with ".wav", ".ogg" and ".mp3" in turn.
bool LoadData(ZY_Sound *s) {
  SoundImp *module = ZYI_Sound();
  char **remembered = &zy::sounds.file_names[IndexOf(s)];
  if (*remembered) return module->LoadSound(s, *remembered);
  if (HasExtension(s->name)) return module->LoadSound(s, s->name);
  static const char *const EXTENSIONS[] = {".wav", ".ogg", ".mp3"};
  for (const char *ext : EXTENSIONS) {
    char file[1024];
    if (snprintf(file, sizeof file, "%s%s", s->name, ext) >= (int)sizeof file) return false;
    if (module->LoadSound(s, file)) {
      *remembered = strdup(file);
      return true;
    }
  }
  return false;
}

}  // namespace

bool ZY_SetSoundCacheMode(ZY_Sound *s, int32_t mode) {
  if (!s || !InTable(s)) return false;
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  bool ok = true;
  if (!s->name || mode == s->cache_mode) {
    ok = s->name != nullptr;
  } else if (mode & CACHE_GPU) {
    if (!(s->cache_mode & CACHE_GPU) && !IsPlaceholder(s->name)) ok = LoadData(s);
    if (ok)
      s->cache_mode = (uint8_t)mode;
    else
      ZY_Popup(ZY_LOG_WARNING, "Sound resource '%s' not found.", s->name);
  } else {
    // Nothing kept: the module drops its data and the record forgets it.
    if (s->cache_mode & CACHE_GPU) ZYI_Sound()->FreeSound(s);
    memset(s->module_data, 0, sizeof s->module_data);
    s->cache_mode = CACHE_NOTHING;
  }
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
  return ok;
}

// ---------------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------------

namespace {

// The lookup behind ZY_LoadSound (every request counts) and ZY_GetSoundEx (counted
// once per sound, the cache mode raised by the one asked for).
ZY_Sound *Lookup(const char *name, int32_t mode, bool counted_once) {
  CheckName(name);
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  ZY_Sound *s = Find(name);
  if (s) {
    if (mode != CACHE_LOOKUP_ONLY && !IsPlaceholder(name)) {
      if (!counted_once) {
        CountUp(s);
        // The first reference after a hibernation brings the data back.
        if (s->ref_count == 1) ZY_SetSoundCacheMode(s, CACHE_GPU);
      } else {
        if (mode != CACHE_NOTHING && !(s->flags & ZY_SOUND_COUNTED_ONCE)) {
          s->flags |= ZY_SOUND_COUNTED_ONCE;
          s->ref_count++;
          PrintCount("'%s' ref count++ (GetSound): now %d", s->name, s->ref_count);
        }
        int32_t raised = s->cache_mode | mode;
        if (raised != s->cache_mode) ZY_SetSoundCacheMode(s, raised);
      }
    }
    ZYI_Unlock(ZYI_LOCK_GET_SOUND);
    return s;
  }
  if (mode == CACHE_LOOKUP_ONLY) {
    ZYI_Unlock(ZYI_LOCK_GET_SOUND);
    return nullptr;
  }

  ZY_Print("..caching sound '%s'", name);
  s = TakeRecord(name);
  if (!s) {
    ZYI_Unlock(ZYI_LOCK_GET_SOUND);
    return nullptr;
  }
  if (counted_once && mode == CACHE_NOTHING) {
    // Asked for without data: known, not counted, loaded on a later request.
    s->ref_count = 0;
    PrintCount("'%s' ref count = 0 (CACHE_NOTHING)", s->name);
  } else {
    if (counted_once) s->flags |= ZY_SOUND_COUNTED_ONCE;
    PrintCount(counted_once ? "'%s' ref count = 1 (GetSound)" : "'%s' ref count = 1", s->name);
    if (IsPlaceholder(name))
      s->cache_mode = CACHE_GPU;  // stands for a sound without ever being one
    else
      ZY_SetSoundCacheMode(s, counted_once ? mode : CACHE_GPU);
  }
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
  return s;
}

}  // namespace

ZY_Sound *ZY_LoadSound(const char *name) {
  if (!name) {
    ZY_Popup(ZY_LOG_WARNING, "zy->LoadSound called with null parameter (forbidden).");
    return nullptr;
  }
  return Lookup(name, CACHE_GPU, false);
}

ZY_Sound *ZY_GetSoundEx(const char *name, int32_t cache_mode) {
  if (!name) {
    ZY_Popup(ZY_LOG_WARNING, "ZY_GetSoundEx called with null parameter (forbidden).");
    return nullptr;
  }
  return Lookup(name, cache_mode, true);
}

ZY_Sound *ZY_GetSound(const char *name) { return ZY_GetSoundEx(name, CACHE_GPU); }

// ---------------------------------------------------------------------------------
// Release
// ---------------------------------------------------------------------------------

void ZYI_SoundsSetReferenceCounting(bool on) { zy::sounds.reference_counting = on ? 1 : 0; }

void ZY_ReleaseSound(ZY_Sound *s) {
  if (!s || !InTable(s)) return;
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  if (!s->name || IsPlaceholder(s->name)) {
    ZYI_Unlock(ZYI_LOCK_GET_SOUND);
    return;
  }
  if (!zy::sounds.reference_counting) {
    if (s->cache_mode & CACHE_GPU) ZYI_Sound()->FreeSound(s);
    FreeRecord(s);
    ZYI_Unlock(ZYI_LOCK_GET_SOUND);
    return;
  }
  s->ref_count--;
  PrintCount("ReleaseSound: '%s' ref count--: now %d", s->name, s->ref_count);
  if ((s->flags & ZY_SOUND_COUNTED_ONCE) && s->ref_count == 0)
    ZY_Popup(ZY_LOG_WARNING,
             "Releasing sound '%s' too many times: ref counting will get messed up. NOTE: "
             "sound has been accessed using GetSound which increses ref count by 1 once.",
             s->name);
  if (s->ref_count == 0) {
    ZY_Print("Hibernating sound '%s'..", s->name);
    ZY_SetSoundCacheMode(s, CACHE_NOTHING);
  } else if (s->ref_count < 0) {
    s->ref_count = 0;
    ZY_Popup(ZY_LOG_WARNING, "Sound '%s' reference count less than zero.", s->name);
  }
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
}

// ---------------------------------------------------------------------------------
// Shut-down and reload
// ---------------------------------------------------------------------------------

void ZYI_ReleaseLeakedSounds(void) {
  ZySounds &sd = zy::sounds;
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  for (int32_t i = 0; i < sd.count; i++) {
    ZY_Sound *s = &sd.table[i];
    if (!s->name || IsPlaceholder(s->name)) continue;
    if (sd.reference_counting) {
      if (s->ref_count == 0) continue;
      ZY_Log(ZY_LOG_WARNING, "Sound '%s' Reference count %d at exit, releasing...", s->name,
             s->ref_count);
      s->ref_count = 1;
      s->flags &= (uint8_t)~ZY_SOUND_COUNTED_ONCE;
    }
    ZY_ReleaseSound(s);
  }
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
}

void ZYI_ReloadSounds(void) {
  ZySounds &sd = zy::sounds;
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  sd.music_playing = 0;  // the new module plays nothing yet
  for (int32_t i = 0; i < sd.count; i++) {
    ZY_Sound *s = &sd.table[i];
    if (!s->name || IsPlaceholder(s->name)) continue;
    // The old module's data went with its Shutdown; hibernated sounds stay hibernated.
    memset(s->module_data, 0, sizeof s->module_data);
    if (!(s->cache_mode & CACHE_GPU)) continue;
    if (!LoadData(s)) {
      s->cache_mode = CACHE_NOTHING;
      ZY_Log(ZY_LOG_WARNING, "Unable to reload sound '%s'", s->name);
    }
  }
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
}

void ZYI_SoundsFree(void) {
  ZySounds &sd = zy::sounds;
  for (int32_t i = 0; i < ZYI_MAX_SOUNDS; i++) {
    free(sd.file_names[i]);
    sd.file_names[i] = nullptr;
    free(sd.table[i].name);
    memset(&sd.table[i], 0, sizeof sd.table[i]);
  }
  sd.count = 0;
  sd.music_playing = 0;
}
