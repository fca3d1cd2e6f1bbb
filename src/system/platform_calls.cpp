// platform_calls.cpp — the extension calls: named platform services of ZY_GetSystemValue.
//
// Each reaches the platform through the host layer: the clipboard of the desktop (an
// in-process one when headless), the desktop's URL opener (not run when headless), the
// locale's country, the raw mice, and the dialogs of dialogs.cpp. A handled call answers
// here, null included, and goes no further.
#include "system/system.h"

#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "host/host.h"

namespace {

const char *ClipboardText(void) {
  char *text = ZYH_ClipboardGet();
  char *out = zy::system.clipboard;
  out[0] = '\0';
  // Text too long for the answer counts as none rather than arriving cut.
  if (text && strlen(text) <= ZYI_CLIPBOARD_TEXT_MAX) strcpy(out, text);
  free(text);
  return out;
}

void OpenUrl(const char *key, const char *url) {
  if (!url || !*url) return;
  if (!ZYH_OpenUrl(url)) ZY_Log(ZY_LOG_INFO, "%s: '%s' was not opened.", key, url);
}

const char *Region(void) {
  return ZYH_LocaleRegion(zy::system.region, sizeof zy::system.region) ? zy::system.region
                                                                         : nullptr;
}

}  // namespace

bool ZYI_ExtensionCall(const char *key, const char *arg, const char **answer) {
  *answer = nullptr;
  if (!strcmp(key, "Clipboard_SetText")) {
    ZYH_ClipboardSet(arg ? arg : "");
  } else if (!strcmp(key, "Clipboard_GetText")) {
    *answer = ClipboardText();
  } else if (!strcmp(key, "OpenURL") || !strcmp(key, "IPHONE_OpenURL") ||
             !strcmp(key, "ComposeMail")) {
    OpenUrl(key, arg);
  } else if (!strcmp(key, "GetRegion")) {
    *answer = Region();
  } else if (!strcmp(key, "SystemInfo")) {
    *answer = "DEPRECATED";
  } else if (!strcmp(key, "RawInput")) {
    if (arg && !strcmp(arg, "Refresh") && ZYI_SystemHooks().refresh_raw_input)
      ZYI_SystemHooks().refresh_raw_input();
  } else if (!strcmp(key, "OpenFileDialog") || !strcmp(key, "SaveFileDialog")) {
    *answer = arg ? ZYI_FileDialog(key[0] == 'S', arg) : nullptr;
  } else if (!strncmp(key, "EditValue", 9)) {
    *answer = ZYI_EditValueDialog(arg, key);
  } else if (!strcmp(key, "EditUIComp")) {
    *answer = arg ? ZYI_EditComponentDialog(arg) : nullptr;
  } else {
    return false;
  }
  return true;
}
