// config_reader.h — reading prog.xml: platform ids, build variants and the value forms
// of the configuration files.
//
// prog.xml holds a PARAMETERS array (an APPLICATION node with the settings of every
// build, a DEVELOPER node) and a VARIANTS array with one node per build variant, whose
// id names a platform and optionally a screen size ("LINUX/LARGE", "LINUX", "ANDROID").
// This build runs as LINUX with the LARGE screen size: the reader takes the variant
// "LINUX/LARGE", else "LINUX", unless the developer forces another with force_variant.
// The entry points the boot calls are declared in config.h; this header adds the pieces
// other configuration code and the system queries share.
#pragma once

#include <stdint.h>

#include "config/config.h"

// Platform ids (any other value prints as "UNKNOWN").
enum ZyPlatformId {
  ZYI_PLATFORM_UNKNOWN = 0,
  ZYI_PLATFORM_WINDOWS = 1,
  ZYI_PLATFORM_MAC = 2,
  ZYI_PLATFORM_IOS = 3,
  ZYI_PLATFORM_BADA = 4,
  ZYI_PLATFORM_ANDROID = 5,
  ZYI_PLATFORM_QT = 6,
  ZYI_PLATFORM_WEBOS = 7,
  ZYI_PLATFORM_QNX = 8,
  ZYI_PLATFORM_PS_VITA = 9,
  ZYI_PLATFORM_LINUX = 10,
  ZYI_PLATFORM_WINDOWS_RT = 11,
  ZYI_PLATFORM_WINDOWS_PHONE = 12,
  ZYI_PLATFORM_FLASH = 13,
  ZYI_PLATFORM_TIZEN = 14,
};

// Screen-size ids (any other value prints as "SMALL").
enum ZyScreenSizeId { ZYI_SCREEN_SMALL = 0, ZYI_SCREEN_MEDIUM = 1, ZYI_SCREEN_LARGE = 2 };

// What this build runs as.
#define ZYI_THIS_PLATFORM ZYI_PLATFORM_LINUX
#define ZYI_THIS_SCREEN_SIZE ZYI_SCREEN_LARGE

// Key code of the console toggle key when none is configured.
#define ZYI_DEFAULT_CONSOLE_TOGGLE_KEY (-89)

// Name of a platform id ("LINUX"), "UNKNOWN" for any other value.
const char *ZYI_PlatformName(int32_t platform);
// Name of a screen-size id ("LARGE"), "SMALL" for any other value.
const char *ZYI_ScreenSizeName(int32_t screen_size);
// The platform a variant id begins with (WINDOWS_RT and WINDOWS_PHONE tried before
// WINDOWS), or null when it begins with none.
const char *ZYI_VariantPlatform(const char *variant_id);

// Boolean value: true when the text begins with '1' or 't'.
bool ZYI_ConfigBool(const char *value);
// "WxH": the first and second 'x'-separated numbers (a missing one counts as 0).
void ZYI_ParseResolution(const char *value, int32_t *width, int32_t *height);
// Module file name: the text with ".dll" appended unless it contains ".dll"; malloc'd.
char *ZYI_ModuleFileName(const char *value);
// logging_verbose_level: INFO 0, WARNING 1, ERROR 2, SYSTEM 3 (the first word found
// anywhere in the value, tried in that order), 0 when none.
int16_t ZYI_VerboseLevelFromName(const char *value);
// console_toggle_key: a letter's upper-case code, a digit's character code, a key name,
// or GAMEPAD_<0..3>_<control>; 0 (no key) for anything else.
int32_t ZYI_KeyCodeFromName(const char *value);

// Standard data formats of a platform name (null or unknown: "UNKNOWN").
const char *ZYI_StandardMusicFormat(const char *platform);
const char *ZYI_StandardSoundFormat(const char *platform);

// Whether the condition of a package entry "@<condition>:<package>" holds at the given
// display size (conditions: open, feature=NAME, res==WxH, res=WxH, res>=WxH, res<=WxH,
// resolution=WxH; '*' matches any number in the res forms).
bool ZYI_PackageConditionHolds(const char *condition, int32_t width, int32_t height);
// Adds the search path of every usable entry of a package list (see config.h).
void ZYI_AddPackageList(const char *list, bool at_front);
