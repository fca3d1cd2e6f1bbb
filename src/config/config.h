// config.h — the engine settings read from prog.xml and developer.xml.
//
// Filled once during pre-initialisation by the configuration reader (config_reader.h);
// read by every subsystem through the fields below (strings are owned, malloc'd copies
// or null) and through the two queries declared at the end: *is feature enabled* (a
// whole-word test over the two feature strings) and *get parameter* (a setting of the
// chosen build variant, else of the application).
#pragma once

#include "base/state_part.h"

#include <stdint.h>

struct ZyDidodozArray;
struct ZyDidodozNode;

#define ZYI_MAX_INPUT_MODULES 8  // input modules the configuration can name

struct ZyConfig {
  // Developer settings
  uint8_t developer_mode;   // developer popups, F-key diagnostics, file dropping
  uint8_t logging;          // the log is written to user://logs
  uint8_t console;          // the log (and console) starts at all
  int16_t verbose_level;    // lines below this level are not written (0..3)
  int32_t console_toggle_key;  // key code that toggles the console (default -89)

  // Identity and features
  char *app_features;       // application feature string
  char *variant_features;   // feature string of the chosen variant

  // Implementation modules (file names as configured, e.g. "rmod_soft.dll")
  char *renderer_module;      // renderer module file (default "rmod_d3d8.dll")
  char *input_modules[ZYI_MAX_INPUT_MODULES];  // input module files in configuration order (null: none)
  char *sound_module;         // sound module file (default "smod_soft.dll")
  char *force_variant;        // forced build variant id, or null
  char *input_module_list;    // input_implementations as configured (".dll" rule applied)

  // Build variant and display
  char *current_variant;      // id of the chosen variant node
  char *resolutions;          // supported-resolution list (default "*")
  uint8_t force_resolution;   // force_resolution was given
  int32_t forced_width;       // ... its width and height
  int32_t forced_height;
  char *locale;               // configured locale ("" when none; "auto" already resolved)

  // Packages (comma-separated lists with optional "@condition:" prefixes)
  char *app_packages;         // packages of the application node
  char *addon_packages;       // addon_packages of the variant
  char *sfx_folder;           // sound-effect data folder, e.g. "data-sfx-WAV_22050_MONO"
  char *music_folder;         // music data folder, e.g. "data-music-OGG_44100"
  char *developer_packages;   // developer_packages (developer mode only)
  char *pak_folder;           // folder of pak archives, ending in "/"

  // Configuration data (owned by the Didodoz database)
  ZyDidodozArray **manifest_arrays;  // image manifests, first array first (malloc'd list)
  int32_t manifest_count;
  int32_t manifest_capacity;
  ZyDidodozNode *application_node;   // PARAMETERS/APPLICATION of prog.xml, or null
  ZyDidodozNode *variant_node;       // the chosen VARIANTS node

  // User-data folder names derived from the program's identity
  char developer_folder[64];  // developer_name, or "Qarvel"
  char program_folder[128];   // title with unsafe characters as '_', or "unknown"
};
ZYI_STATE_PART(ZyConfig, config)

// Reads res://prog.xml (and res://developer.xml) into zy::config and the program record
// zy::core.prog. False when there is no program record or no prog.xml (after a popup).
// Exits the process with status 255 when no build variant fits this platform.
bool ZYI_ReadConfiguration(void);
// Adds the search paths of the five package lists, in order: application, add-on,
// sound-effect folder, music folder (at the front), developer packages (at the end).
// Conditions compare against zy::core.current_parms.
void ZYI_AddPackageLists(void);
// Derives the user-data folder names from the program record and shows a developer
// popup for each empty identity field (title, id, version, developer name).
void ZYI_CheckProgramParameters(void);

// True when `name` occurs as a whole word (bounded by the string's ends, ' ', ',' or
// ';'; case-sensitive) in the application or the variant feature string.
bool ZYI_IsFeatureEnabled(const char *name);
// Value of attribute `key` in the chosen variant's node, else in the APPLICATION node;
// null when neither has it.
const char *ZYI_GetParameter(const char *key);
// Image manifest arrays, first array first: the count, and the array at an index (null
// outside 0..count-1).
int32_t ZYI_ManifestArrayCount(void);
ZyDidodozArray *ZYI_ManifestArray(int32_t index);

// Frees every owned setting and clears zy::config (the Didodoz files stay).
void ZYI_ConfigFree(void);
