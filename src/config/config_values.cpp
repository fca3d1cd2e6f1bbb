// config_values.cpp — the value forms of the configuration files and the queries over
// the settings once read.
//
// Platform and screen-size names, booleans, "WxH" resolutions, module file names, log
// level names and console key names are turned into values here; *is feature enabled*
// and *get parameter* answer the rest of the engine afterwards.
#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "config/config_reader.h"
#include "config/didodoz.h"
#include "base/state.h"

// ---------------------------------------------------------------------------------
// Platforms and variants
// ---------------------------------------------------------------------------------

static const char *const kPlatformNames[] = {
    "UNKNOWN", "WINDOWS", "MAC",     "IOS",   "BADA",       "ANDROID",       "QT",    "WEBOS",
    "QNX",     "PS_VITA", "LINUX",   "WINDOWS_RT", "WINDOWS_PHONE", "FLASH", "TIZEN"};

const char *ZYI_PlatformName(int32_t platform) {
  if (platform < 0 || platform >= (int32_t)(sizeof kPlatformNames / sizeof *kPlatformNames))
    return "UNKNOWN";
  return kPlatformNames[platform];
}

const char *ZYI_ScreenSizeName(int32_t screen_size) {
  switch (screen_size) {
    case ZYI_SCREEN_MEDIUM: return "MEDIUM";
    case ZYI_SCREEN_LARGE: return "LARGE";
    default: return "SMALL";
  }
}

const char *ZYI_VariantPlatform(const char *variant_id) {
  // Longer names that share a prefix come first (WINDOWS_RT before WINDOWS).
  static const char *const order[] = {"WINDOWS_RT", "WINDOWS_PHONE", "WINDOWS", "MAC",
                                      "IOS",        "BADA",          "ANDROID", "QT",
                                      "WEBOS",      "QNX",           "PS_VITA", "LINUX",
                                      "FLASH",      "TIZEN"};
  if (!variant_id) return nullptr;
  for (const char *name : order)
    if (strncmp(variant_id, name, strlen(name)) == 0) return name;
  return nullptr;
}

// ---------------------------------------------------------------------------------
// Value forms
// ---------------------------------------------------------------------------------

bool ZYI_ConfigBool(const char *value) { return value && (value[0] == '1' || value[0] == 't'); }

// Decimal integer at the start of text, saturated to the 32-bit range (0 when none).
static int32_t ParseInt(const char *text) {
  errno = 0;
  long v = strtol(text, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return (int32_t)v;
}

void ZYI_ParseResolution(const char *value, int32_t *width, int32_t *height) {
  *width = *height = 0;
  if (!value) return;
  const char *x = strchr(value, 'x');
  *width = ParseInt(value);
  if (x) *height = ParseInt(x + 1);
}

char *ZYI_ModuleFileName(const char *value) {
  if (!value) value = "";
  size_t len = strlen(value);
  bool has_dll = strstr(value, ".dll") != nullptr;
  char *name = (char *)malloc(len + 5);
  if (!name) return nullptr;
  memcpy(name, value, len + 1);
  if (!has_dll) memcpy(name + len, ".dll", 5);
  return name;
}

int16_t ZYI_VerboseLevelFromName(const char *value) {
  static const char *const names[] = {"INFO", "WARNING", "ERROR", "SYSTEM"};
  if (!value) return 0;
  for (int16_t level = 0; level < 4; level++)
    if (strstr(value, names[level])) return level;
  return 0;
}

// ---------------------------------------------------------------------------------
// Console toggle key names
// ---------------------------------------------------------------------------------

struct ZyKeyName {
  const char *name;
  int32_t code;
};

static const ZyKeyName kKeyNames[] = {
    {"BACK", 8},           {"BACKSPACE", 8},         {"TAB", 9},
    {"CLEAR", 12},         {"RETURN", 13},           {"SHIFT", 16},
    {"CONTROL", 17},       {"ALT", 18},              {"ESCAPE", 27},
    {"SPACE", 32},         {"PAGEUP", 33},           {"PAGEDOWN", 34},
    {"END", 35},           {"HOME", 36},             {"LEFT", 37},
    {"UP", 38},            {"RIGHT", 39},            {"DOWN", 40},
    {"SELECT", 41},        {"PRINT", 42},            {"EXECUTE", 43},
    {"INSERT", 45},        {"DELETE", 46},           {"HELP", 47},
    {"MENU", 300},         {"MOUSE_X", 504},         {"MOUSE_Y", 505},
    {"MOUSE_Z", 506},      {"MOUSE_WHEEL", 507},     {"MOUSE_BUTTON_0", 510},
    {"MOUSE_BUTTON_LEFT", 510}, {"MOUSE_BUTTON_1", 511}, {"MOUSE_BUTTON_RIGHT", 511},
    {"MOUSE_BUTTON_2", 512}, {"MOUSE_BUTTON_3", 513}, {"MOUSE_BUTTON_4", 514},
    {"MOUSE_BUTTON_5", 515}, {"MOUSE_BUTTON_6", 516}, {"MOUSE_BUTTON_7", 517},
    {"ACCELEROMETER_X", 1610}, {"ACCELEROMETER_Y", 1611}, {"ACCELEROMETER_Z", 1612},
    {"VOLUME_UP", 1632},   {"VOLUME_DOWN", 1633},
};

// Gamepad controls: the code is pad * 64 + base.
static const ZyKeyName kGamepadControls[] = {
    {"LEFT_TRIGGER", 801},        {"RIGHT_TRIGGER", 802},       {"LEFT_THUMB_X", 804},
    {"LEFT_THUMB_Y", 805},        {"RIGHT_THUMB_X", 806},       {"RIGHT_THUMB_Y", 807},
    {"DPAD_UP", 810},             {"DPAD_DOWN", 811},           {"DPAD_LEFT", 812},
    {"DPAD_RIGHT", 813},          {"BUTTON_START", 820},        {"BUTTON_BACK", 821},
    {"BUTTON_LEFT_THUMB", 822},   {"BUTTON_RIGHT_THUMB", 823},  {"BUTTON_LEFT_SHOULDER", 824},
    {"BUTTON_RIGHT_SHOULDER", 825}, {"BUTTON_A", 826},          {"BUTTON_B", 827},
    {"BUTTON_X", 828},            {"BUTTON_Y", 829},
};

// GAMEPAD_<n>_<control>: the pad number n (0..3) lies between the first and the second
// '_', the control name is the rest.
static int32_t GamepadCode(const char *value) {
  const char *pad = value + strlen("GAMEPAD_");
  const char *sep = strchr(pad, '_');
  if (!sep || sep == pad) return 0;
  int32_t n = 0;
  for (const char *p = pad; p < sep; p++) {
    if (!isdigit((unsigned char)*p) || n > 3) return 0;
    n = n * 10 + (*p - '0');
  }
  if (n > 3) return 0;
  for (const ZyKeyName &control : kGamepadControls)
    if (strcmp(sep + 1, control.name) == 0) return n * 64 + control.code;
  return 0;
}

int32_t ZYI_KeyCodeFromName(const char *value) {
  if (!value || !value[0]) return 0;
  if (!value[1]) {
    unsigned char c = (unsigned char)value[0];
    if (isalpha(c)) return toupper(c);
    if (isdigit(c)) return c;
    return 0;
  }
  for (const ZyKeyName &key : kKeyNames)
    if (strcmp(value, key.name) == 0) return key.code;
  if (strncmp(value, "GAMEPAD_", strlen("GAMEPAD_")) == 0) return GamepadCode(value);
  return 0;
}

// ---------------------------------------------------------------------------------
// Queries over the settings
// ---------------------------------------------------------------------------------

// Whether `name` occurs in `features` bounded by the string's ends, ' ', ',' or ';'.
static bool HasWholeWord(const char *features, const char *name, size_t name_len) {
  if (!features) return false;
  for (const char *hit = strstr(features, name); hit; hit = strstr(hit + 1, name)) {
    char before = hit == features ? ' ' : hit[-1];
    char after = hit[name_len];
    bool starts = before == ' ' || before == ',' || before == ';';
    bool ends = after == 0 || after == ' ' || after == ',' || after == ';';
    if (starts && ends) return true;
  }
  return false;
}

bool ZYI_IsFeatureEnabled(const char *name) {
  if (!name || !name[0]) return false;
  size_t len = strlen(name);
  return HasWholeWord(zy::config.app_features, name, len) ||
         HasWholeWord(zy::config.variant_features, name, len);
}

const char *ZYI_GetParameter(const char *key) {
  const char *value = ZYI_DidodozGetAttribute(zy::config.variant_node, key);
  return value ? value : ZYI_DidodozGetAttribute(zy::config.application_node, key);
}

int32_t ZYI_ManifestArrayCount(void) { return zy::config.manifest_count; }

ZyDidodozArray *ZYI_ManifestArray(int32_t index) {
  if (index < 0 || index >= zy::config.manifest_count) return nullptr;
  return zy::config.manifest_arrays[index];
}

void ZYI_ConfigFree(void) {
  ZyConfig &c = zy::config;
  char **owned[] = {&c.app_features,   &c.variant_features,  &c.renderer_module,
                    &c.sound_module,   &c.force_variant,     &c.input_module_list,
                    &c.current_variant, &c.resolutions,      &c.locale,
                    &c.app_packages,   &c.addon_packages,    &c.sfx_folder,
                    &c.music_folder,   &c.developer_packages, &c.pak_folder};
  // Display settings that point at the locale must not be left dangling.
  static const char empty[] = "";
  ZY_DisplaySettings *settings[] = {zy::core.prog ? &zy::core.prog->parms : nullptr,
                                    &zy::core.current_parms, &zy::core.applied_parms};
  for (ZY_DisplaySettings *s : settings)
    if (s && c.locale && s->locale == c.locale) s->locale = empty;
  for (char **field : owned) free(*field);
  for (char *module : c.input_modules) free(module);
  free(c.manifest_arrays);
  memset(&c, 0, sizeof c);
}
