// config.h — the engine settings read from prog.xml and developer.xml.
//
// Filled once during pre-initialisation by the configuration reader; read by every
// subsystem through the fields below (strings are owned, malloc'd copies or null).
#pragma once

#include <stdint.h>

struct ZyConfig {
  // Developer settings
  uint8_t developer_mode;   // developer popups, F-key diagnostics, file dropping
  uint8_t logging;          // the log is written to user://logs
  uint8_t console;          // the log (and console) starts at all
  int16_t verbose_level;    // lines below this level are not written (0..3)
  int32_t console_toggle_key;  // key code that toggles the console (default -89)

  // Identity and features
  char *app_features;       // application feature string
  char *variant_features;   // feature string of the chosen variant
};
