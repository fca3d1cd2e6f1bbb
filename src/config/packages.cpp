// packages.cpp — package lists: the game's data folders mounted as search paths.
//
// A package list names folders (or paks) of the game's data, comma-separated. An entry
// may carry a condition, "@<condition>:<package>", so one prog.xml can mount HD data
// only on large screens or a feature's data only when the feature is on:
//
//   packages="data,@res>=1024x*:data-hd,@feature=AUTOSCALE:data-scaled"
//
// Each used entry becomes the search path res://<package>/. The data folders of the
// platform's audio formats (data-music-..., data-sfx-...) are mounted the same way.
#include <stdlib.h>
#include <string.h>

#include "config/config_reader.h"
#include "base/popup.h"
#include "base/state.h"
#include "fs/fs.h"

#define ZYI_PACKAGE_LIST_MAX 511   // characters of a usable list
#define ZYI_PACKAGE_ENTRIES_MAX 32 // entries of a list that are looked at
#define ZYI_CONDITION_MAX 63       // characters of an entry's condition

// ---------------------------------------------------------------------------------
// Audio data formats
// ---------------------------------------------------------------------------------

struct ZyAudioFormats {
  const char *platform;
  const char *music;
  const char *sound;
};

static const ZyAudioFormats kAudioFormats[] = {
    {"WINDOWS", "OGG_44100", "OGG_44100"},
    {"MAC", "OGG_44100", "OGG_44100"},
    {"IOS", "MP3_44100", "WAV_22050"},
    {"ANDROID", "MP3_44100", "WAV_22050_MONO"},
    {"QT", "MP3_44100", "WAV_22050_MONO"},
    {"TIZEN", "MP3_44100", "WAV_22050_MONO"},
    {"FLASH", "MP3_44100", "MP3_44100"},
    {"PS_VITA", "OGG_44100", "WAV_22050_MONO"},
    {"LINUX", "OGG_44100", "WAV_22050_MONO"},
    {"BADA", "MP3_22050_STEREO", "WAV_22050_MONO"},
    {"WEBOS", "MP3_22050_STEREO", "WAV_22050_MONO"},
    {"QNX", "MP3_22050_STEREO", "WAV_22050_MONO"},
    {"WINDOWS_RT", "MP3_22050_STEREO", "WAV_22050_MONO"},
    {"WINDOWS_PHONE", "MP3_22050_STEREO", "WAV_22050_MONO"},
};

static const ZyAudioFormats *FormatsOf(const char *platform) {
  if (!platform) return nullptr;
  for (const ZyAudioFormats &f : kAudioFormats)
    if (strcmp(f.platform, platform) == 0) return &f;
  return nullptr;
}

const char *ZYI_StandardMusicFormat(const char *platform) {
  const ZyAudioFormats *f = FormatsOf(platform);
  return f ? f->music : "UNKNOWN";
}

const char *ZYI_StandardSoundFormat(const char *platform) {
  const ZyAudioFormats *f = FormatsOf(platform);
  return f ? f->sound : "UNKNOWN";
}

// ---------------------------------------------------------------------------------
// Conditions
// ---------------------------------------------------------------------------------

// One number of a "WxH" condition: '*' matches anything.
struct ZyResBound {
  bool any;
  int32_t value;
};

static ZyResBound ParseBound(const char *text) {
  ZyResBound b = {false, 0};
  if (text[0] == '*') {
    b.any = true;
  } else {
    long v = strtol(text, nullptr, 10);
    b.value = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
  }
  return b;
}

enum ZyResCompare { RES_EQUAL, RES_AT_LEAST, RES_AT_MOST };

static bool Compare(ZyResCompare op, const ZyResBound &bound, int32_t value) {
  if (bound.any) return true;
  switch (op) {
    case RES_AT_LEAST: return value >= bound.value;
    case RES_AT_MOST: return value <= bound.value;
    default: return value == bound.value;
  }
}

bool ZYI_PackageConditionHolds(const char *condition, int32_t width, int32_t height) {
  if (!condition) return false;
  if (strcmp(condition, "open") == 0) return true;
  if (strncmp(condition, "feature=", 8) == 0) return ZYI_IsFeatureEnabled(condition + 8);
  if (strncmp(condition, "resolution=", 11) == 0) {
    // Either orientation of the size.
    int32_t w, h;
    ZYI_ParseResolution(condition + 11, &w, &h);
    return (width == w && height == h) || (width == h && height == w);
  }
  if (strncmp(condition, "res", 3) != 0) return false;

  const char *p = condition + 3;
  ZyResCompare op;
  if (p[0] == '=') {
    op = RES_EQUAL;
    p += p[1] == '=' ? 2 : 1;
  } else if (p[0] == '>' || p[0] == '<') {
    op = p[0] == '>' ? RES_AT_LEAST : RES_AT_MOST;
    if (p[1] == '=') {
      p += 2;
    } else {
      ZY_Popup(ZY_LOG_WARNING,
               "prog.xml: res comparison needs to be ==, >=, or <=. '%s' is not supported.",
               condition);
      p += 1;
    }
  } else {
    return false;
  }
  ZyResBound w = ParseBound(p);
  const char *x = strchr(p, 'x');
  ZyResBound h = x ? ParseBound(x + 1) : ZyResBound{false, 0};
  return Compare(op, w, width) && Compare(op, h, height);
}

// ---------------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------------

static char *Trim(char *s) {
  while (*s == ' ' || *s == '\t') s++;
  size_t len = strlen(s);
  while (len > 0 && (s[len - 1] == ' ' || s[len - 1] == '\t')) s[--len] = 0;
  return s;
}

void ZYI_AddPackageList(const char *list, bool at_front) {
  if (!list) return;
  size_t len = strlen(list);
  if (len > ZYI_PACKAGE_LIST_MAX) return;  // a list too long is ignored whole
  char buffer[ZYI_PACKAGE_LIST_MAX + 1];
  memcpy(buffer, list, len + 1);
  int32_t width = zy::core.current_parms.width, height = zy::core.current_parms.height;

  char *p = buffer;
  for (int entries = 0; p && entries < ZYI_PACKAGE_ENTRIES_MAX; entries++) {
    char *comma = strchr(p, ',');
    if (comma) *comma = 0;
    char *entry = Trim(p);
    p = comma ? comma + 1 : nullptr;
    if (strlen(entry) < 2) continue;

    const char *package = entry;
    if (entry[0] == '@') {
      char *colon = strchr(entry, ':');
      if (!colon || colon - entry - 1 > ZYI_CONDITION_MAX) continue;
      *colon = 0;
      if (!ZYI_PackageConditionHolds(entry + 1, width, height)) continue;
      package = colon + 1;
      if (!package[0]) continue;
    }
    ZY_AddSearchPath(ZY_GetPath(ZY_ROOT_RES, "%s", package), at_front);
  }
}

void ZYI_AddPackageLists(void) {
  const ZyConfig &c = zy::config;
  ZYI_AddPackageList(c.app_packages, true);
  ZYI_AddPackageList(c.addon_packages, true);
  ZYI_AddPackageList(c.sfx_folder, true);
  ZYI_AddPackageList(c.music_folder, true);
  ZYI_AddPackageList(c.developer_packages, false);
}
