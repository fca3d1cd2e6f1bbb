// program.cpp — the handshake with the program module.
//
// The game is a shared library in the working folder. The engine first offers it a
// zeroed record to fill (ZY_GetProgramInterface); only a module without that export is
// asked for a record of its own (ZY_GetInterface). The record's interface version must
// match this engine's exactly; otherwise the library is unloaded, a built-in fallback
// record takes its place so the engine never calls into code it cannot trust, and the
// user is told to rebuild.
#include "lifecycle/program.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "lifecycle/interface_table.h"
#include "host/host.h"

// Storage for the record the engine hands to ZY_GetProgramInterface.
static ZY_ProgramInterface engine_record;

// The fallback program: draws nothing but keeps the frame loop valid.
static bool FallbackInit(void) { return true; }
static void FallbackShutdown(void) {}
static void FallbackUpdate(float) {}
static void FallbackDraw(float) {
  ZY_EngineInterface *zi = ZYI_EngineInterface();
  if (!zi) return;
  if (zi->SetAlpha) zi->SetAlpha(1.0f);
  if (zi->SetColor) zi->SetColor(1.0f, 1.0f, 1.0f);
  if (zi->SetBlendMode) zi->SetBlendMode(0);
  if (zi->Forward3) zi->Forward3(0, 1.0f, 0);
}
static uint32_t FallbackEvent(ZY_InputEvent) { return 0; }

ZY_ProgramInterface *ZYI_FallbackProgram(void) {
  static ZY_ProgramInterface fallback;
  memset(&fallback, 0, sizeof fallback);
  fallback.interface_version = ZY_INTERFACE_VERSION;
  fallback.parms.windowed = 1;
  fallback.parms.single_instance = 1;
  fallback.parms.reference_counting = 1;
  fallback.init = FallbackInit;
  fallback.shutdown = FallbackShutdown;
  fallback.update = FallbackUpdate;
  fallback.draw = FallbackDraw;
  fallback.event = FallbackEvent;
  return &fallback;
}

static const char *const CANNOT_CREATE =
    "Program library file bad: Program couldn't be created. Please download and install "
    "the application again.";

bool ZYI_LoadProgram(void) {
  char path[260];
  snprintf(path, sizeof path, "%s", "prog.dll");
  void *lib = ZYH_LoadLibrary(path);
  if (!lib) {
    ZYI_SystemPopup(ZY_LOG_INFO,
                    "Could not locate Program library file. Please download and install the "
                    "application again.");
    exit(1);
  }

  ZY_ProgramInterface *prog = nullptr;
  memset(&engine_record, 0, sizeof engine_record);
  auto get_program = (ZY_GetProgramInterfaceFunc)ZYH_GetSymbol(lib, ZY_GET_PROGRAM_INTERFACE_NAME);
  if (get_program) {
    if (!get_program(&engine_record, ZY_INTERFACE_VERSION)) {
      ZYI_SystemPopup(ZY_LOG_ERROR, CANNOT_CREATE);
      ZYH_FreeLibrary(lib);
      return false;
    }
    prog = &engine_record;
  } else {
    auto get_interface = (ZY_GetInterfaceFunc)ZYH_GetSymbol(lib, ZY_GET_INTERFACE_NAME);
    if (!get_interface) {
      ZYI_SystemPopup(ZY_LOG_ERROR,
                      "Program library file bad: Interface not found. Please download and "
                      "install the application again.");
      ZYH_FreeLibrary(lib);
      return false;
    }
    prog = get_interface();
    if (!prog) {
      ZYI_SystemPopup(ZY_LOG_ERROR, CANNOT_CREATE);
      ZYH_FreeLibrary(lib);
      return false;
    }
  }
  zy::core.program_library = lib;

  if (prog->interface_version != ZY_INTERFACE_VERSION) {
    unsigned found = prog->interface_version;
    ZYI_UnloadProgram();
    zy::core.prog = ZYI_FallbackProgram();
    zy::core.fallback_program = 1;
    char text[512];
    snprintf(text, sizeof text,
             "Program library uses incompatible ZYLEM interface (%.4d instead of %.4d). This "
             "program cannot run.\n\nUpdate your headers in <this app>/src/include from "
             "ZYLEM/src/include and rebuild your binaries.",
             (int)found, ZY_INTERFACE_VERSION);
    ZYI_SystemPopup(ZY_LOG_ERROR, text);
    exit(0);
  }

  // init, update and draw are called without a test; a module that leaves one out could
  // never run, so it is refused like a module that cannot create its record.
  if (!prog->init || !prog->update || !prog->draw) {
    ZYI_SystemPopup(ZY_LOG_ERROR, CANNOT_CREATE);
    ZYI_UnloadProgram();
    return false;
  }
  prog->zy = ZYI_EngineInterface();
  prog->parms.command_line = zy::core.command_line;
  prog->parms.frame_interval_ms = 8;
  zy::core.prog = prog;
  return true;
}

void ZYI_UnloadProgram(void) {
  if (!zy::core.program_library) return;
  ZY_Log(ZY_LOG_SYSTEM, "Unloading ProgImp Library.\n");
  // A record the module returned lives in the module's own memory: forget it first.
  if (zy::core.prog != &engine_record) zy::core.prog = nullptr;
  ZYH_FreeLibrary(zy::core.program_library);
  zy::core.program_library = nullptr;
}
