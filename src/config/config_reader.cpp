// config_reader.cpp — reading the configuration: prog.xml and developer.xml into the
// engine settings and the program's record.
//
// The order matters and is kept in one place, ZYI_ReadConfiguration: the application
// node first (identity, locale, pacing, features, packages, manifests), then the
// developer settings (developer.xml wins over prog.xml's DEVELOPER node), then the
// choice of the build variant and its settings, which override the application's.
// The developer settings come before the variant because force_variant decides which
// variant is read.
//
// Sections: helpers; application node; developer node; variants; the whole read.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "config/config_reader.h"
#include "config/didodoz.h"
#include "config/language.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "fs/fs.h"

ZyConfig zy::config;  // engine state: values read from prog.xml and developer.xml

// ---------------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------------

// Replaces an owned setting with a copy of value (null clears it).
static void SetText(char **field, const char *value) {
  char *copy = value ? strdup(value) : nullptr;
  free(*field);
  *field = copy;
}

// Replaces an owned setting with an already allocated text.
static void TakeText(char **field, char *text) {
  free(*field);
  *field = text;
}

// Copies a text into a fixed field of the program record, cut to fit.
static void CopyField(char *field, size_t size, const char *value) {
  size_t len = strlen(value);
  if (len >= size) len = size - 1;
  memcpy(field, value, len);
  field[len] = 0;
}

// Appends a feature name (or list) to a feature string, joined with ','.
static void AppendFeatures(char **features, const char *extra) {
  if (!*features || !(*features)[0]) {
    SetText(features, extra);
    return;
  }
  size_t a = strlen(*features), b = strlen(extra);
  char *joined = (char *)malloc(a + b + 2);
  if (!joined) return;
  memcpy(joined, *features, a);
  joined[a] = ',';
  memcpy(joined + a + 1, extra, b + 1);
  TakeText(features, joined);
}

// Whether the engine's file access can open the file for reading.
static bool CanOpen(const char *name) {
  ZY_File *f = ZY_OpenFile(name, "rb");
  if (!f) return false;
  ZY_CloseFile(f);
  return true;
}

static const char *Get(const ZyDidodozNode *node, const char *name) {
  return ZYI_DidodozGetAttribute(node, name);
}

// locale: "auto" asks the command line for a language, in lower case ("" when none).
static void SetLocale(const char *value, ZY_ProgramInterface *prog) {
  if (strcmp(value, "auto") == 0) {
    const char *language = ZYI_GetLanguage();
    SetText(&zy::config.locale, language ? language : "");
    for (char *p = zy::config.locale; p && *p; p++)
      if (*p >= 'A' && *p <= 'Z') *p = (char)(*p - 'A' + 'a');
  } else {
    SetText(&zy::config.locale, value);
  }
  prog->parms.locale = zy::config.locale ? zy::config.locale : "";
}

static void SetReferenceResolution(const char *value, ZY_ProgramInterface *prog) {
  ZYI_ParseResolution(value, &prog->parms.reference_width, &prog->parms.reference_height);
}

// Loads each manifest of a comma-separated list and puts its first array in front of
// the manifest list (so the last manifest read is searched first).
static void AddManifests(const char *list) {
  ZyConfig &c = zy::config;
  char *copy = strdup(list);
  if (!copy) return;
  char *save = nullptr;
  for (char *entry = strtok_r(copy, ",", &save); entry; entry = strtok_r(nullptr, ",", &save)) {
    while (*entry == ' ' || *entry == '\t') entry++;
    size_t len = strlen(entry);
    while (len > 0 && (entry[len - 1] == ' ' || entry[len - 1] == '\t')) entry[--len] = 0;
    if (!len) continue;
    ZyDidodozFile *file = ZYI_DidodozGetFile(ZY_GetPath(ZY_ROOT_RES, "%s", entry));
    if (!file || file->array_count == 0) continue;
    if (!ZYI_GrowList((void ***)&c.manifest_arrays, &c.manifest_capacity, c.manifest_count + 1))
      break;
    memmove(c.manifest_arrays + 1, c.manifest_arrays, sizeof(void *) * (size_t)c.manifest_count);
    c.manifest_arrays[0] = file->arrays[0];
    c.manifest_count++;
  }
  free(copy);
}

// ---------------------------------------------------------------------------------
// Application node
// ---------------------------------------------------------------------------------

static void ReadApplication(const ZyDidodozNode *app, ZY_ProgramInterface *prog) {
  ZyConfig &c = zy::config;
  const char *v;
  if ((v = Get(app, "program_id"))) CopyField(prog->id, sizeof prog->id, v);
  if ((v = Get(app, "name"))) CopyField(prog->title, sizeof prog->title, v);
  if ((v = Get(app, "developer")))
    CopyField(prog->developer_name, sizeof prog->developer_name, v);
  if ((v = Get(app, "version"))) CopyField(prog->version, sizeof prog->version, v);
  if ((v = Get(app, "locale"))) SetLocale(v, prog);
  if ((v = Get(app, "fps_limit"))) {
    // Frames per second become the pacing interval: 60 gives 1000 / 62 = 16 ms.
    double fps = strtod(v, nullptr);
    double interval = 1000.0 / (fps + 2.0);
    if (fps > -2.0 && interval < 1e9)  // nothing below -2, no division by zero
      prog->parms.frame_interval_ms = (int32_t)interval;
  }
  if ((v = Get(app, "features"))) SetText(&c.app_features, v);
  if ((v = Get(app, "reference_resolution"))) SetReferenceResolution(v, prog);
  if ((v = Get(app, "packages"))) SetText(&c.app_packages, v);
  if ((v = Get(app, "manifest"))) AddManifests(v);
}

// ---------------------------------------------------------------------------------
// Developer node
// ---------------------------------------------------------------------------------

// PARAMETERS/DEVELOPER of developer.xml when that file exists and has one, else that
// of prog.xml; null when neither has one.
static ZyDidodozNode *FindDeveloperNode(ZyDidodozArray *prog_parameters) {
  ZyDidodozNode *node = nullptr;
  if (CanOpen("res://developer.xml")) {
    ZyDidodozFile *file = ZYI_DidodozGetFile("res://developer.xml");
    node = ZYI_DidodozFindNode(ZYI_DidodozFindArray(file, "PARAMETERS"), "DEVELOPER");
  }
  return node ? node : ZYI_DidodozFindNode(prog_parameters, "DEVELOPER");
}

static void ReadDeveloper(const ZyDidodozNode *dev, ZY_ProgramInterface *prog) {
  ZyConfig &c = zy::config;
  const char *v;
  if ((v = Get(dev, "developer_mode")) && ZYI_ConfigBool(v)) {
    c.developer_mode = 1;
    // Developer popups of the rest of start-up are shown, not only those after it.
    prog->parms.developer_mode = 1;
    SetText(&c.sound_module, "smod_bass.dll");
    AppendFeatures(&c.app_features, "DEVELOPER_MODE");
  }
  if ((v = Get(dev, "logging"))) c.logging = ZYI_ConfigBool(v);
  if ((v = Get(dev, "logging_verbose_level"))) c.verbose_level = ZYI_VerboseLevelFromName(v);
  if ((v = Get(dev, "console"))) c.console = ZYI_ConfigBool(v);
  if ((v = Get(dev, "features"))) AppendFeatures(&c.app_features, v);
  if ((v = Get(dev, "console_toggle_key"))) c.console_toggle_key = ZYI_KeyCodeFromName(v);
  if ((v = Get(dev, "force_variant")) && v[0]) {
    // An empty value is the usual way to switch forcing off, not a variant named "".
    SetText(&c.force_variant, v);
    prog->parms.windowed = 1;
  }
  if ((v = Get(dev, "force_resolution"))) {
    int32_t w, h;
    ZYI_ParseResolution(v, &w, &h);
    prog->parms.width = c.forced_width = w;
    prog->parms.height = c.forced_height = h;
    c.force_resolution = 1;
  }
  if ((v = Get(dev, "force_windowed"))) prog->parms.windowed = ZYI_ConfigBool(v);
  if ((v = Get(dev, "pak_folder"))) {
    size_t len = strlen(v);
    char *folder = (char *)malloc(len + 2);
    if (folder) {
      snprintf(folder, len + 2, (len && v[len - 1] == '/') ? "%s" : "%s/", v);
      TakeText(&c.pak_folder, folder);
    }
  }
}

// ---------------------------------------------------------------------------------
// Variants
// ---------------------------------------------------------------------------------

// Developer mode: names that are no longer used.
static void CheckDeprecatedVariants(const ZyDidodozArray *variants) {
  for (int32_t i = 0; i < ZYI_DidodozNodeCount(variants); i++) {
    const ZyDidodozNode *node = ZYI_DidodozNodeAt(variants, i);
    if (node->id && strcmp(node->id, "METRO") == 0)
      ZY_Popup(ZY_LOG_WARNING,
               "Deprecated variant id METRO found in prog.xml. Replace it with WINDOWS_RT.");
    static const char *const deprecated[] = {"program_library", "music_format", "sound_fx_format"};
    for (const char *parm : deprecated)
      if (Get(node, parm))
        ZY_Popup(ZY_LOG_WARNING, "Deprecated parm '%s' in prog.xml. Remove it.", parm);
  }
}

// The variant this build runs: the forced one, else "<platform>/<screen size>", else
// "<platform>".
static ZyDidodozNode *ChooseVariant(const ZyDidodozArray *variants) {
  if (zy::config.force_variant) return ZYI_DidodozFindNode(variants, zy::config.force_variant);
  char sized[64];
  snprintf(sized, sizeof sized, "%s/%s", ZYI_PlatformName(ZYI_THIS_PLATFORM),
           ZYI_ScreenSizeName(ZYI_THIS_SCREEN_SIZE));
  ZyDidodozNode *node = ZYI_DidodozFindNode(variants, sized);
  return node ? node : ZYI_DidodozFindNode(variants, ZYI_PlatformName(ZYI_THIS_PLATFORM));
}

// One audio data folder: "data-<kind>-<format>", the platform's standard format unless
// the variant still names one with the deprecated parameter.
static void ReadAudioFolder(const ZyDidodozNode *variant, const char *parm, const char *kind,
                            const char *kind_words, const char *standard, char **folder) {
  const char *value = Get(variant, parm);
  const char *format = standard;
  if (value) {
    format = strncmp(value, "@open:", 6) == 0 ? value + 6 : value;
    const char *variant_id = zy::config.current_variant;
    if (strcmp(format, standard) == 0) {
      ZY_Popup(ZY_LOG_WARNING,
               "prog.xml:%s defines deprecated '%s' parameter '%s'. Just remove it.\n\n"
               "This platform always uses %s '%s'.\n\n"
               "See ZYLEM/docs/audio-formats-per-platform.txt for more info.",
               variant_id, parm, value, kind_words, standard);
    } else {
      ZY_Popup(ZY_LOG_WARNING,
               "prog.xml:%s defines deprecated '%s' parameter '%s' but the value differs from "
               "platform standard ('%s'). To fix the issue:\n"
               "1) Remove '%s' from prog.xml for this variant, and\n"
               "2) Add data-%s-%s to addon_packages.\n\n"
               "See ZYLEM/docs/audio-formats-per-platform.txt for more info.",
               variant_id, parm, value, standard, parm, kind, format);
    }
  }
  char name[512];
  snprintf(name, sizeof name, "data-%s-%s", kind, format);
  SetText(folder, name);
}

// Splits the input module list into the module slots (empty entries skipped). The ".dll"
// rule is applied to each entry: applied to the whole list it would leave every entry but
// the last without its extension, and those modules could never load.
static void SetInputModules(const char *list) {
  ZyConfig &c = zy::config;
  for (char *&module : c.input_modules) {
    free(module);
    module = nullptr;
  }
  char *copy = strdup(list);
  if (!copy) return;
  int count = 0;
  char *save = nullptr;
  for (char *entry = strtok_r(copy, ",", &save); entry && count < ZYI_MAX_INPUT_MODULES;
       entry = strtok_r(nullptr, ",", &save)) {
    while (*entry == ' ' || *entry == '\t') entry++;
    size_t len = strlen(entry);
    while (len > 0 && (entry[len - 1] == ' ' || entry[len - 1] == '\t')) entry[--len] = 0;
    if (len) c.input_modules[count++] = ZYI_ModuleFileName(entry);
  }
  free(copy);
}

static void ReadVariant(const ZyDidodozNode *variant, ZY_ProgramInterface *prog) {
  ZyConfig &c = zy::config;
  const char *v;
  if ((v = Get(variant, "name"))) CopyField(prog->title, sizeof prog->title, v);
  if ((v = Get(variant, "developer")))
    CopyField(prog->developer_name, sizeof prog->developer_name, v);
  if ((v = Get(variant, "version"))) CopyField(prog->version, sizeof prog->version, v);
  if ((v = Get(variant, "renderer_implementation")))
    TakeText(&c.renderer_module, ZYI_ModuleFileName(v));
  if ((v = Get(variant, "input_implementations"))) {
    SetText(&c.input_module_list, v);
    SetInputModules(v);
  } else if (Get(variant, "input_implementation")) {
    ZY_Popup(ZY_LOG_WARNING,
             "In prog.xml parameter input_implementation is not in use: use "
             "input_implementations instead (note the s).");
  }
  if ((v = Get(variant, "reference_resolution"))) SetReferenceResolution(v, prog);
  if ((v = Get(variant, "locale"))) SetLocale(v, prog);
  if (!c.force_resolution && (v = Get(variant, "resolutions"))) {
    SetText(&c.resolutions, v);
    ZY_Log(ZY_LOG_INFO, "Supported resolutions: '%s'.", v);
    if (c.force_variant) prog->parms.windowed = 1;
  }
  if ((v = Get(variant, "features"))) SetText(&c.variant_features, v);

  const char *platform = ZYI_VariantPlatform(c.current_variant);
  ReadAudioFolder(variant, "music_format", "music", "music format",
                  ZYI_StandardMusicFormat(platform), &c.music_folder);
  ReadAudioFolder(variant, "sound_fx_format", "sfx", "sound effect format",
                  ZYI_StandardSoundFormat(platform), &c.sfx_folder);

  if ((v = Get(variant, "addon_packages"))) SetText(&c.addon_packages, v);
  if ((v = Get(variant, "sound_implementation")))
    TakeText(&c.sound_module, ZYI_ModuleFileName(v));
  if ((v = Get(variant, "manifest"))) AddManifests(v);
}

// ---------------------------------------------------------------------------------
// The whole read
// ---------------------------------------------------------------------------------

bool ZYI_ReadConfiguration(void) {
  ZY_ProgramInterface *prog = zy::core.prog;
  if (!prog) return false;

  ZYI_ConfigFree();
  ZyConfig &c = zy::config;
  c.renderer_module = strdup("rmod_d3d8.dll");
  c.sound_module = strdup("smod_soft.dll");
  c.resolutions = strdup("*");
  c.locale = strdup("");
  c.console_toggle_key = ZYI_DEFAULT_CONSOLE_TOGGLE_KEY;

  if (!CanOpen("res://prog.xml")) {
    ZYI_SystemPopup(ZY_LOG_ERROR, "Cannot find prog.xml. It should be located in res://.");
    return false;
  }
  ZyDidodozFile *file = ZYI_DidodozGetFile("res://prog.xml");
  ZyDidodozArray *parameters = ZYI_DidodozFindArray(file, "PARAMETERS");

  c.application_node = ZYI_DidodozFindNode(parameters, "APPLICATION");
  if (c.application_node) ReadApplication(c.application_node, prog);

  ZyDidodozNode *developer = FindDeveloperNode(parameters);
  if (developer) ReadDeveloper(developer, prog);

  ZyDidodozArray *variants = ZYI_DidodozFindArray(file, "VARIANTS");
  if (c.developer_mode) CheckDeprecatedVariants(variants);
  ZyDidodozNode *variant = ChooseVariant(variants);
  if (!variant) {
    char text[512];
    snprintf(text, sizeof text,
             "No build variant found for current platform id '%s'.\n\n"
             "Use force_variant to use another platform for development purposes.",
             c.force_variant ? c.force_variant : ZYI_PlatformName(ZYI_THIS_PLATFORM));
    ZYI_SystemPopup(ZY_LOG_ERROR, text);
    fflush(stdout);
    exit(255);
  }
  c.variant_node = variant;
  SetText(&c.current_variant, variant->id);
  ReadVariant(variant, prog);

  if (c.developer_mode && developer)
    SetText(&c.developer_packages, Get(developer, "developer_packages"));
  return true;
}
