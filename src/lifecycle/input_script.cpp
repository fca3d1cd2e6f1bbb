// input_script.cpp — reading an input script and playing it into the window procedure.
//
// Every line is checked when the script is read, so a mistake stops the launch with its
// line number instead of surfacing frames later as input that never came. The events
// become the same host events a window produces and go through ZYI_HandleHostEvent, so
// the console and the program cannot tell them from typed input.
#include "lifecycle/input_script.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/config_reader.h"
#include "host/host.h"
#include "lifecycle/window.h"

namespace {

const size_t MAX_LINE = 4096;            // characters of one line
const size_t MAX_SCRIPT = 64u << 20;     // bytes of a whole script

struct ScriptedEvent {
  int32_t frame;
  ZyhEvent event;
};

std::vector<ScriptedEvent> script;  // sorted by frame, file order within a frame
size_t next_event;                  // first event not delivered yet

// Splits at runs of spaces and tabs.
std::vector<std::string> Words(const std::string &text) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = text.find_first_not_of(" \t", at)) != std::string::npos) {
    size_t end = text.find_first_of(" \t", at);
    words.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end;
  }
  return words;
}

// A whole decimal number within low..high.
bool Number(const std::string &word, long low, long high, long *out) {
  if (word.empty()) return false;
  errno = 0;
  char *end = nullptr;
  long v = strtol(word.c_str(), &end, 10);
  if (errno || *end || v < low || v > high) return false;
  *out = v;
  return true;
}

// A key: one character names its own key, a longer number is a virtual-key code, any
// other word a key name of the configuration files.
bool KeyId(const std::string &word, long *out) {
  if (word.size() > 1 && word.find_first_not_of("0123456789") == std::string::npos)
    return Number(word, 1, 2047, out);
  int32_t code = ZYI_KeyCodeFromName(word.c_str());
  if (code <= 0 || code > 2047) return false;
  *out = code;
  return true;
}

bool DownUp(const std::string &word, bool *down) {
  if (word != "down" && word != "up") return false;
  *down = word == "down";
  return true;
}

// Parses one line into events; false with the reason in *why.
bool ParseLine(const std::string &line, int *mouse_x, int *mouse_y,
               std::vector<ScriptedEvent> *out, std::string *why) {
  std::vector<std::string> w = Words(line);
  long frame = 0;
  if (!Number(w[0], 1, INT32_MAX, &frame)) return *why = "the frame must be a number from 1 on", false;
  if (w.size() < 2) return *why = "an event kind must follow the frame", false;
  const std::string kind = w[1];  // a copy: w is split again below
  ZyhEvent ev;
  memset(&ev, 0, sizeof ev);
  long a = 0, b = 0;
  bool down = false;
  long args = (long)w.size() - 2;
  if (kind == "text") {
    // The text is the rest of the line after one separator, '#' and spaces included.
    size_t at = line.find("text") + 4;
    std::string text = at < line.size() ? line.substr(at + 1) : "";
    if (text.empty()) return *why = "text needs the characters to type", false;
    for (unsigned char c : text) {
      ev.type = ZYH_EV_CHAR;
      ev.key = c;
      out->push_back({(int32_t)frame, ev});
    }
    return true;
  }
  // Elsewhere a '#' starts a comment.
  size_t hash = line.find('#');
  if (hash != std::string::npos) {
    w = Words(line.substr(0, hash));
    args = (long)w.size() - 2;
  }
  if (kind == "char") {
    if (args != 1 || !Number(w[2], 0, 255, &a)) return *why = "char needs one code 0..255", false;
    ev.type = ZYH_EV_CHAR;
    ev.key = (int)a;
  } else if (kind == "key") {
    if (args != 2 || !DownUp(w[2], &down) || !KeyId(w[3], &a))
      return *why = "key needs down or up and a key code 1..2047 or key name", false;
    ev.type = down ? ZYH_EV_KEY_DOWN : ZYH_EV_KEY_UP;
    ev.key = (int)a;
  } else if (kind == "mouse") {
    if (args != 2 || !Number(w[2], -1000000, 1000000, &a) || !Number(w[3], -1000000, 1000000, &b))
      return *why = "mouse needs a position X Y", false;
    ev.type = ZYH_EV_MOUSE_MOVE;
    *mouse_x = ev.x = (int)a;
    *mouse_y = ev.y = (int)b;
  } else if (kind == "button") {
    if (args != 2 || !DownUp(w[2], &down) || !Number(w[3], 0, 512, &a) || (a > 2 && a < 510))
      return *why = "button needs down or up and 0, 1, 2 (or 510, 511, 512)", false;
    ev.type = down ? ZYH_EV_BUTTON_DOWN : ZYH_EV_BUTTON_UP;
    ev.button = (int)(a >= 510 ? a - 510 : a);
    ev.x = *mouse_x;
    ev.y = *mouse_y;
  } else if (kind == "wheel") {
    if (args != 1 || !Number(w[2], -32768, 32767, &a)) return *why = "wheel needs a delta", false;
    ev.type = ZYH_EV_WHEEL;
    ev.delta = (int)a;
  } else {
    return *why = "unknown event '" + kind + "' (char, text, key, mouse, button, wheel)", false;
  }
  out->push_back({(int32_t)frame, ev});
  return true;
}

}  // namespace

bool ZYI_ParseInputScript(const char *text, size_t size, char *err, size_t err_size) {
  ZYI_FreeInputScript();
  std::vector<ScriptedEvent> events;
  std::string why;
  int mouse_x = 0, mouse_y = 0, number = 0;
  bool ok = true;
  for (size_t at = 0; ok && at < size;) {
    const char *end = (const char *)memchr(text + at, '\n', size - at);
    const size_t len = end ? (size_t)(end - (text + at)) : size - at;
    std::string line(text + at, len);
    at += len + 1;
    number++;
    if (len > MAX_LINE) {
      why = "longer than 4096 characters", ok = false;
    } else if (line.find('\0') != std::string::npos) {
      why = "holds a NUL byte", ok = false;
    } else {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::vector<std::string> words = Words(line);
      if (!words.empty() && words[0][0] != '#') ok = ParseLine(line, &mouse_x, &mouse_y, &events, &why);
    }
  }
  if (!ok) {
    snprintf(err, err_size, "line %d: %s", number, why.c_str());
    return false;
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const ScriptedEvent &a, const ScriptedEvent &b) { return a.frame < b.frame; });
  script = std::move(events);
  return true;
}

bool ZYI_LoadInputScript(const char *path, char *err, size_t err_size) {
  FILE *f = path ? fopen(path, "rb") : nullptr;
  if (!f) {
    snprintf(err, err_size, "cannot read '%s': %s", path ? path : "", strerror(errno));
    return false;
  }
  std::string text;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) {
    if (text.size() + n > MAX_SCRIPT) {
      fclose(f);
      snprintf(err, err_size, "longer than %zu bytes", MAX_SCRIPT);
      return false;
    }
    text.append(chunk, n);
  }
  bool failed = ferror(f) != 0;
  fclose(f);
  if (failed) {
    snprintf(err, err_size, "cannot read '%s'", path);
    return false;
  }
  return ZYI_ParseInputScript(text.data(), text.size(), err, err_size);
}

void ZYI_DeliverScriptedInput(int32_t frame) {
  // Frames before this one are over: their events went, or the game was not running yet.
  while (next_event < script.size() && script[next_event].frame < frame) next_event++;
  while (next_event < script.size() && script[next_event].frame == frame)
    ZYI_HandleHostEvent(&script[next_event++].event);
}

void ZYI_FreeInputScript(void) {
  script.clear();
  script.shrink_to_fit();
  next_event = 0;
}
