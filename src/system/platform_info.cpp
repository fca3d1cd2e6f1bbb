// platform_info.cpp — the platform-information record and the PlatformInfo answers.
//
// The record is filled once at pre-initialisation. The unique id is the hardware address
// of the machine's first network interface (twelve hex digits and a line feed, the form
// games have always stored), so it survives reboots; a machine without one gets an id
// made from the time and a random number, as the engine always did. A forced build
// variant makes the platform and screen-size answers those of the variant, so a game can
// be tried as another platform during development.
#include "system/system.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "base/popup.h"
#include "base/state.h"
#include "config/config.h"
#include "config/config_reader.h"
#include "engine/modules.h"
#include "host/host.h"

namespace {

void BuildUniqueId(char *id, size_t size) {
  snprintf(id, size, "UNKNOWN");
  char mac[32];
  if (ZYH_DeviceMac(mac, sizeof mac)) {
    snprintf(id, size, "%s\n", mac);
    return;
  }
  snprintf(id, size, "TIME%lxx%x", (unsigned long)time(nullptr), (unsigned)rand());
}

const char *ForcedScreenSize(const char *variant) {
  const char *slash = strchr(variant, '/');
  if (!slash) return "LARGE";
  if (!strcmp(slash + 1, "LARGE")) return "LARGE";
  if (!strcmp(slash + 1, "MEDIUM")) return "MEDIUM";
  return "SMALL";
}

const char *Desktop(int index) {
  int size[2] = {0, 0};
  ZYH_ScreenSize(&size[0], &size[1]);
  snprintf(zy::system.desktop[index], sizeof zy::system.desktop[index], "%d", size[index]);
  return zy::system.desktop[index];
}

// The renderer names the GPU once it can (a renderer loaded later may know more).
const char *GpuDescription(void) {
  ZyPlatformInfo &p = zy::system.platform;
  RendImp *r = ZYI_Renderer();
  const char *told = r ? r->QueryValue("PlatformInfo", "GPUDesc") : nullptr;
  if (told && *told) snprintf(p.gpu_description, sizeof p.gpu_description, "%s", told);
  return p.gpu_description;
}

}  // namespace

void ZYI_PlatformInfoInit(void) {
  ZyPlatformInfo &p = zy::system.platform;
  memset(&p, 0, sizeof p);
  p.platform_id = ZYI_THIS_PLATFORM;
  p.screen_size_id = ZYI_THIS_SCREEN_SIZE;
  snprintf(p.device_model, sizeof p.device_model, "PC");
  int major = 0, minor = 0, patch = 0;
  char distribution[96];
  bool kernel = ZYH_OsVersion(&major, &minor, &patch);
  bool named = ZYH_OsDistribution(distribution, sizeof distribution);
  if (kernel && named)
    snprintf(p.os_description, sizeof p.os_description, "Linux %d.%d.%d (%s)", major, minor,
             patch, distribution);
  else if (kernel)
    snprintf(p.os_description, sizeof p.os_description, "Linux %d.%d.%d", major, minor, patch);
  else
    snprintf(p.os_description, sizeof p.os_description, "Linux");
  ZYH_CpuModel(p.cpu_description, sizeof p.cpu_description);
  BuildUniqueId(p.unique_id, sizeof p.unique_id);
}

bool ZYI_PlatformInfoQuery(const char *arg, const char **answer) {
  ZyPlatformInfo &p = zy::system.platform;
  const char *forced = zy::config.force_variant;
  *answer = nullptr;
  if (!arg) return false;
  if (!strcmp(arg, "DeviceModel")) {
    *answer = p.device_model;
  } else if (!strcmp(arg, "UniqueId")) {
    *answer = p.unique_id;
  } else if (!strcmp(arg, "GPUDesc")) {
    *answer = GpuDescription();
  } else if (!strcmp(arg, "CPUDesc")) {
    *answer = p.cpu_description;
  } else if (!strcmp(arg, "OSDesc")) {
    *answer = p.os_description;
  } else if (!strcmp(arg, "DesktopWidth") || !strcmp(arg, "DesktopHeight")) {
    *answer = Desktop(strcmp(arg, "DesktopWidth") ? 1 : 0);
  } else if (!strcmp(arg, "PlatformId")) {
    const char *platform = forced ? ZYI_VariantPlatform(forced) : nullptr;
    *answer = platform ? platform : forced ? "UNKNOWN" : ZYI_PlatformName(p.platform_id);
  } else if (!strcmp(arg, "ScreenSizeId")) {
    *answer = forced ? ForcedScreenSize(forced) : ZYI_ScreenSizeName(p.screen_size_id);
  } else if (!strcmp(arg, "OSMajor") || !strcmp(arg, "OSMinor") || !strcmp(arg, "ZylemImp")) {
    ZY_Popup(ZY_LOG_WARNING, "PlatformInfo.%s is removed.", arg);
  } else {
    return false;
  }
  return true;
}
