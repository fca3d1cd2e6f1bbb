// state.cpp — the reset of the engine state record: every subsystem's part, zeroed together.
//
// Each part is stored by its own subsystem (`ZyFs zy::fs;` in fs/paths.cpp, ...); this file,
// at the top layer, is the one place that knows them all.
#include "lifecycle/state.h"

#include <string.h>

#include "base/state.h"
#include "config/config.h"
#include "config/didodoz.h"
#include "console/console.h"
#include "console/diagnostics.h"
#include "engine/bitmaps.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "font/fonts.h"
#include "engine/shaders.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "lifecycle/input.h"
#include "lifecycle/resolution.h"
#include "lifecycle/window.h"
#include "net/net.h"
#include "sound/sound.h"
#include "system/system.h"

namespace {
template <class Part>
void Zero(Part &part) {
  memset(&part, 0, sizeof part);
}
}  // namespace

void ZYI_ResetState() {
  // What subsystems keep outside the record, or own through it, is released first, so a
  // new boot in the same process starts from nothing and leaks nothing.
  ZYI_PopupsForget();
  ZYI_ConsoleForget();
  ZYI_LogClose();
  ZYH_DesktopForget();
  ZYI_ConfigFree();
  ZYI_DidodozFree();
  ZYFS_Shutdown();
  ZYI_SoundsFree();
  ZYI_FontsFree();
  ZYI_ShadersForget();
  ZYI_SystemForget();
  Zero(zy::core);
  Zero(zy::locks);
  Zero(zy::log);
  Zero(zy::popups);
  Zero(zy::fs);
  Zero(zy::config);
  Zero(zy::didodoz);
  Zero(zy::image);
  Zero(zy::modules);
  Zero(zy::draw);
  Zero(zy::bitmaps);
  Zero(zy::fonts);
  Zero(zy::display);
  Zero(zy::input);
  Zero(zy::window);
  Zero(zy::net);
  Zero(zy::sounds);
  Zero(zy::console);
  Zero(zy::diagnostics);
}

size_t ZYI_StateSize() {
  return sizeof zy::core + sizeof zy::locks + sizeof zy::log + sizeof zy::popups + sizeof zy::fs +
         sizeof zy::config + sizeof zy::didodoz + sizeof zy::image + sizeof zy::modules +
         sizeof zy::draw + sizeof zy::bitmaps + sizeof zy::shaders + sizeof zy::system +
         sizeof zy::display + sizeof zy::input + sizeof zy::window;
}
