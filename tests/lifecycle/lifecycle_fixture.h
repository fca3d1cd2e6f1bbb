// lifecycle_fixture.h — a program record on the headless backend whose event callback
// writes every event down while it is delivered, for the window, input and resolution
// tests; the recording renderer of tests/modules stands in for a renderer module.
#pragma once

#include "base/locks.h"
#include "base/state.h"
#include "config/config.h"
#include "engine/modules.h"
#include "lifecycle/input.h"
#include "lifecycle/resolution.h"
#include "lifecycle/state.h"
#include "lifecycle/window.h"
#include "zylem_modules.h"
#include "zytest.h"

// One line per event, taken while the event's texts are still valid.
inline std::string Describe(const ZY_InputEvent &e) {
  char b[1200];
  const ZY_PointerEvent &p = e.pointer;
  switch (e.type) {
    case ZY_EVENT_KEY_DOWN: case ZY_EVENT_KEY_UP: snprintf(b, sizeof b, "%s %d", e.type == 8 ? "down" : "up", e.key.key); break;
    case ZY_EVENT_CHAR: snprintf(b, sizeof b, "char %d", e.character.code); break;
    case ZY_EVENT_POINTER_MOVE: snprintf(b, sizeof b, "move %d %d,%d prev %d,%d", p.index, p.x, p.y, p.prev_x, p.prev_y); break;
    case ZY_EVENT_BUTTON_DOWN: case ZY_EVENT_BUTTON_UP:
      snprintf(b, sizeof b, "%s %d %d %d,%d", e.type == 6 ? "bdown" : "bup", p.index, p.button, p.x, p.y); break;
    case ZY_EVENT_WHEEL: snprintf(b, sizeof b, "wheel %d %d,%d", p.wheel_delta, p.x, p.y); break;
    case ZY_EVENT_ACTIVATE: snprintf(b, sizeof b, "activate %d", e.activate.inactive); break;
    case ZY_EVENT_RESIZE: snprintf(b, sizeof b, "resize %dx%d", e.resize.width, e.resize.height); break;
    case ZY_EVENT_NAMED: snprintf(b, sizeof b, "named %s %s %s%s", e.named.name, e.named.arg1, e.named.arg2, e.named.reserved ? " +" : ""); break;
    default: snprintf(b, sizeof b, "type %u", e.type);
  }
  return b;
}

class LifecycleTest : public ZyTest {
 protected:
  static inline std::vector<std::string> seen;         // Describe() of each event
  static inline std::vector<ZY_InputEvent> received;   // the records themselves
  static inline uint32_t answer;                       // what the callback returns
  ZY_ProgramInterface program{};

  static uint32_t Record(ZY_InputEvent ev) {
    seen.push_back(Describe(ev));
    received.push_back(ev);
    return answer;
  }

  void SetUp() override {
    setenv("ZYLEM_RECORD_FILE", RecordPath().c_str(), 1);
    unsetenv("ZYLEM_HEADLESS_SCREEN");
    ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
    ZYI_ResetState();
    ZYI_CreateLocks();
    seen.clear();
    received.clear();
    answer = 0;
    program.event = Record;
    program.parms.width = 800, program.parms.height = 600, program.parms.windowed = 1;
    zy::core.prog = &program;
    zy::core.core_initialized = 1;
    zy::core.applied_parms = zy::core.current_parms = program.parms;
    zy::core.orientation = zy::core.target_orientation = 8;
  }
  void TearDown() override {
    ZYI_DestroyWindow();
    ZYI_SetInputHooks(nullptr);
    ZYI_InputShutdown();
    ZYI_ConfigFree();
    ZYI_DeleteLocks();
  }

  // The mode wanted, as "<width>x<height> w|fs".
  static std::string Mode() {
    const ZY_DisplaySettings &c = zy::core.current_parms;
    return std::to_string(c.width) + "x" + std::to_string(c.height) + (c.windowed ? " w" : " fs");
  }
  // Autoscaling of a program drawing in ref_w x ref_h on a surface of the mode in force
  // (no window) or of the window.
  void Autoscale(int32_t surface_w, int32_t surface_h, int32_t ref_w, int32_t ref_h, const char *features) {
    zy::core.applied_parms.width = program.parms.width = surface_w;
    zy::core.applied_parms.height = program.parms.height = surface_h;
    program.parms.reference_width = ref_w, program.parms.reference_height = ref_h;
    free(zy::config.app_features);
    zy::config.app_features = features ? strdup(features) : nullptr;
    ZYI_EnableAutoscaling(true);
    ZYI_SetupAutoscaling();
  }
  std::string RecordPath() const { return world.root() + "/record.txt"; }
  // Loads the recording renderer as the renderer module; false when it is not built.
  static bool UseRecordingRenderer() {
    void *lib = ZYH_LoadLibrary((zytest::BuildDir() + "/modules/rmod_record.so").c_str());
    auto get = lib ? (ZYLEM_RendImp_GetInterfaceFunc)ZYH_GetSymbol(lib, ZYLEM_RENDIMP_GET_INTERFACE_NAME) : nullptr;
    zy::modules.renderer = get ? get() : nullptr;
    return zy::modules.renderer != nullptr;
  }
  static ZyhEvent Host(ZyhEventType type, int key = 0, int x = 0, int y = 0, int button = 0) {
    ZyhEvent ev = {};
    ev.type = type, ev.key = key, ev.x = x, ev.y = y, ev.button = button;
    return ev;
  }
  // The key states of the ids, read in order (reading clears pressed bits).
  static std::vector<int> States(std::initializer_list<int> ids) {
    std::vector<int> out;
    for (int id : ids) out.push_back(ZY_GetKeyState(id));
    return out;
  }
  // Injects host events and lets the window procedure handle them.
  static void Pump(std::vector<ZyhEvent> events) {
    for (const ZyhEvent &ev : events) ZYH_InjectEvent(&ev);
    ZYI_PumpEvents();
  }
  static ZY_InputEvent Engine(uint32_t type) {
    ZY_InputEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = type;
    return ev;
  }
};

typedef std::vector<std::string> Lines;
