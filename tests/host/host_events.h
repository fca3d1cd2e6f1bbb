// host_events.h — host events as short texts, so the backend tests compare whole event
// sequences at once.
#pragma once

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "host/host.h"

typedef std::vector<std::string> Events;

inline ZyhEvent HostEvent(ZyhEventType type, int key = 0, int x = 0, int y = 0) {
  ZyhEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = type;
  ev.key = key;
  ev.x = x;
  ev.y = y;
  return ev;
}

// "<type> <fields>": key or character, button, wheel delta, activation, dropped path, raw
// mouse (device, motion, button flags in hex) or position and size.
inline std::string Text(const ZyhEvent &e) {
  static const char *const names[] = {"none", "down", "up", "char", "move", "bdown", "bup", "wheel",
                                      "activate", "close", "maximized", "resized", "drop", "raw", "quit"};
  char b[600];
  switch (e.type) {
    case ZYH_EV_KEY_DOWN: case ZYH_EV_KEY_UP: case ZYH_EV_CHAR:
      snprintf(b, sizeof b, " %d%s", e.key, e.alt ? " alt" : ""); break;
    case ZYH_EV_BUTTON_DOWN: case ZYH_EV_BUTTON_UP: snprintf(b, sizeof b, " %d %d,%d", e.button, e.x, e.y); break;
    case ZYH_EV_WHEEL: snprintf(b, sizeof b, " %d", e.delta); break;
    case ZYH_EV_ACTIVATE: snprintf(b, sizeof b, " %d%s", e.active, e.minimized ? " min" : ""); break;
    case ZYH_EV_DROP_FILE: snprintf(b, sizeof b, " %.*s", (int)sizeof e.text, e.text); break;
    case ZYH_EV_RAW_MOUSE: snprintf(b, sizeof b, " %d %d,%d %x", e.device, e.x, e.y, e.buttons); break;
    case ZYH_EV_CLOSE: case ZYH_EV_QUIT: b[0] = '\0'; break;
    default: snprintf(b, sizeof b, " %d,%d", e.x, e.y);
  }
  return names[e.type] + std::string(b);
}

inline Events Drain() {
  Events out;
  for (ZyhEvent ev; ZYH_PollEvent(&ev);) out.push_back(Text(ev));
  return out;
}
