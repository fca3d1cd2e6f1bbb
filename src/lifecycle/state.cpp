// state.cpp — storage of the engine state record: every subsystem's part, reset together.
#include "lifecycle/state.h"

#include <string.h>

#include "base/state.h"
#include "config/config.h"
#include "config/didodoz.h"
#include "engine/bitmaps.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "lifecycle/input.h"
#include "lifecycle/resolution.h"
#include "lifecycle/window.h"

namespace zy {
ZyLifecycle core;    // host block, lifecycle flags, display settings copies
ZyLocks locks;       // the twelve named locks and the program mutexes
ZyLog log;           // log counters, history, file name and console state
ZyPopups popups;     // developer popups waiting for the main thread
ZyFs fs;             // roots, search paths, openers, mounted paks, path ring
ZyConfig config;     // values read from prog.xml and developer.xml
ZyDidodoz didodoz;   // the loaded data-array files (prog.xml, manifests, ...)
ZyImage image;       // the engine-wide image loader
ZyModules modules;   // renderer, input and sound modules; the host info record
ZyDraw draw;         // render command layer: batch, colour, stacks, hooks
ZyBitmaps bitmaps;   // the bitmap table and the upload and texture release queues
ZyDisplay display;   // desktop, resolution choice, orientation, autoscaling
ZyInput input;       // key states, axes, input event queue, cursors, several mice
ZyWindow window;     // the engine's window and the style it was made with
}  // namespace zy

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
  ZYI_LogClose();
  ZYH_DesktopForget();
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
  Zero(zy::display);
  Zero(zy::input);
  Zero(zy::window);
}
