// system_values.cpp — ZY_GetSystemValue: the order keys are tried in, and the queries.
//
// A key the engine handles answers here, null included; only a key nobody here knows
// (and GetLanguage without a language on the command line) reaches the modules. The
// queries table matches the key and, where it lists them, the argument: a known key
// with an argument of its own is the modules' to answer.
#include "system/system.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/engine_table.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "config/config.h"
#include "config/language.h"
#include "console/console.h"
#include "engine/modules.h"
#include "fs/fs.h"
#include "host/host.h"

ZySystem zy::system;  // engine state: platform information, answer buffers, dialogs

namespace {

ZySystemHooks hooks;  // kept across boots, like the input seams

bool Is(const char *a, const char *b) { return a && strcmp(a, b) == 0; }

// The program record's id ("null" without a record); it need not be terminated.
const char *ProgramId(void) {
  const ZY_ProgramInterface *prog = zy::core.prog;
  if (!prog) return "null";
  snprintf(zy::system.program_id, sizeof zy::system.program_id, "%.*s",
           (int)sizeof prog->id, prog->id);
  return zy::system.program_id;
}

const char *Features(void) {
  const char *app = zy::config.app_features ? zy::config.app_features : "";
  const char *variant = zy::config.variant_features ? zy::config.variant_features : "";
  snprintf(zy::system.features, sizeof zy::system.features, "%s%s%s", app,
           *app && *variant ? "," : "", variant);
  return zy::system.features;
}

const char *DateAnswer(bool with_time) {
  int t[6];
  ZYH_LocalDateTime(t);
  if (!with_time) {
    snprintf(zy::system.date, sizeof zy::system.date, "%d-%.2d-%.2d", t[0], t[1], t[2]);
    return zy::system.date;
  }
  snprintf(zy::system.time_stamp, sizeof zy::system.time_stamp, "%d-%.2d-%.2d:%.2d-%.2d", t[0],
           t[1], t[2], t[3], t[4]);
  return zy::system.time_stamp;
}

// SwitchProgramBasePath: a new program folder for both user-data paths.
void SwitchProgramBasePath(const char *folder) {
  if (!folder || strstr(folder, "..")) {
    ZY_Log(ZY_LOG_WARNING, "SwitchProgramBasePath new path parameter invalid.");
    return;
  }
  char developer[sizeof zy::fs.developer];  // the names are rebuilt in place
  memcpy(developer, zy::fs.developer, sizeof developer);
  ZYFS_SetNames(developer, folder);
  if (zy::config.logging) ZY_CreateDir("user://logs");
}

// SwitchUserDataPath (kind 0) and SwitchSharedUserDataPath (kind 1). A path that does not
// fit is refused rather than cut, which would send the files somewhere else.
void SwitchRoot(const char *key, int32_t kind, const char *path) {
  if (path && strlen(path) >= ZYFS_PATH_SIZE) {
    ZY_Log(ZY_LOG_WARNING, "%s path is longer than %d characters.", key, ZYFS_PATH_SIZE - 1);
    return;
  }
  ZYFS_SetRoot(kind, path ? path : "");
}

// The queries table. True when the key (with its argument, where the table lists them)
// is one of its entries; its answer in *answer.
bool Query(const char *key, const char *arg, const char **answer) {
  *answer = nullptr;
  if (Is(key, "Console_AddCommand")) {
    if (arg) ZYI_ConsoleAddCommand(arg);
  } else if (Is(key, "Renderer") && Is(arg, "EyeMode")) {
    *answer = zy::core.eye == 1 ? "Left" : zy::core.eye == 2 ? "Right" : "Mono";
  } else if (Is(key, "ProgramInfo") && Is(arg, "ProgramId")) {
    *answer = ProgramId();
  } else if (Is(key, "ProgramInfo") && Is(arg, "Features")) {
    *answer = Features();
  } else if (Is(key, "GetProductValue")) {
    *answer = arg ? ZYI_GetParameter(arg) : nullptr;
  } else if (Is(key, "PlatformInfo")) {
    return ZYI_PlatformInfoQuery(arg, answer);
  } else if (Is(key, "GetDate") || Is(key, "GetTimeStamp")) {
    *answer = DateAnswer(Is(key, "GetTimeStamp"));
  } else if (Is(key, "Hacks") && Is(arg, "AllowAllResolutions")) {
    if (hooks.allow_all_resolutions) hooks.allow_all_resolutions(true);
  } else if (Is(key, "UI") && (Is(arg, "BeginKeyboardInput") || Is(arg, "EndKeyboardInput"))) {
    ZY_Popup(ZY_LOG_WARNING, "Unimplemented.");
  } else if (Is(key, "RefreshMemUsageEstimates")) {
    ZYI_RefreshMemUsageEstimates();
  } else if (Is(key, "ListResourceUsage")) {
    ZYI_ListResourceUsage();
  } else if (Is(key, "SwitchProgramBasePath")) {
    SwitchProgramBasePath(arg);
  } else if (Is(key, "SwitchUserDataPath") || Is(key, "SwitchSharedUserDataPath")) {
    SwitchRoot(key, Is(key, "SwitchUserDataPath") ? 0 : 1, arg);
  } else {
    return false;
  }
  return true;
}

// Keys nobody here knows: the renderer first, then each input module (without the
// argument), the first answer winning.
const char *AskModules(const char *key, const char *arg) {
  if (RendImp *r = ZYI_Renderer())
    if (const char *a = r->QueryValue(key, arg)) return a;
  for (int32_t i = 0; i < zy::modules.input_count; i++)
    if (InputImp *in = zy::modules.inputs[i])
      if (const char *a = in->QueryValue(key, nullptr)) return a;
  return nullptr;
}

}  // namespace

void ZYI_SetSystemHooks(const ZySystemHooks *h) {
  if (h)
    hooks = *h;
  else
    memset(&hooks, 0, sizeof hooks);
}

const ZySystemHooks &ZYI_SystemHooks(void) { return hooks; }

const char *ZY_GetSystemValue(const char *key, const char *argument) {
  if (!key) return nullptr;
  const char *answer = nullptr;
  if (ZYI_ExtensionCall(key, argument, &answer)) return answer;
  if (Is(key, "GetLanguage")) {
    if (const char *language = ZYI_GetLanguage()) return language;
    return AskModules(key, argument);  // no language given: asked like an unknown key
  }
  const ZY_ProgramInterface *prog = zy::core.prog;
  if (prog && prog->parms.developer_mode &&
      (Is(key, "Facebook_IsAvailable") || Is(key, "Twitter_IsAvailable") ||
       Is(key, "_SinaWeibo_IsAvailable")))
    return "YES";
  if (Query(key, argument, &answer)) return answer;
  return AskModules(key, argument);
}

void ZYI_SystemForget(void) { memset(&zy::system, 0, sizeof zy::system); }
