// state.h — the one engine state record.
//
// The engine keeps all of its process-wide data in `zy`, one ZyState made of one
// sub-struct per subsystem. Each sub-struct is defined in its subsystem's own header and
// written only by that subsystem's functions; others call those functions. Every
// sub-struct is plain data (fixed arrays, pointers to malloc'd memory, no C++ objects),
// so the whole record resets to zero with one statement (ZYI_ResetState) and the engine
// can be booted and shut down repeatedly in one process.
#pragma once

#include <type_traits>

#include "config/config.h"
#include "config/didodoz.h"
#include "config/resolution.h"
#include "core/input.h"
#include "core/lifecycle.h"
#include "core/locks.h"
#include "core/log.h"
#include "core/popup.h"
#include "core/window.h"
#include "engine/bitmaps.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "fs/fs.h"
#include "image/image_loader.h"

struct ZyState {
  ZyLifecycle core;    // host block, lifecycle flags, display settings copies
  ZyConfig config;     // values read from prog.xml and developer.xml
  ZyDidodoz didodoz;   // the loaded data-array files (prog.xml, manifests, ...)
  ZyLocks locks;       // the twelve named locks and the program mutexes
  ZyLog log;           // log counters, history, file name and console state
  ZyPopups popups;     // developer popups waiting for the main thread
  ZyFs fs;             // roots, search paths, openers, mounted paks, path ring
  ZyInput input;       // key states, axes, input event queue, cursors, several mice
  ZyWindow window;     // the engine's window and the style it was made with
  ZyDisplay display;   // desktop, resolution choice, orientation, autoscaling
  ZyDraw draw;         // render command layer: batch, colour, stacks, hooks
  ZyModules modules;   // renderer, input and sound modules; the host info record
  ZyImage image;       // the engine-wide image loader
  ZyBitmaps bitmaps;   // the bitmap table and the upload and texture release queues
};

extern ZyState zy;

static_assert(std::is_trivially_copyable<ZyState>::value,
              "the engine state must stay plain data so one reset clears it");

// Zeroes the whole engine state record.
void ZYI_ResetState();
