// minimal.cpp — the smallest complete game, written against zylem.h alone.
//
// It fills the program interface record in ZY_GetProgramInterface, logs through the
// engine interface table, draws one rectangle per frame and asks the engine to quit
// after a few frames. Tests boot it to see the handshake and the frame loop work, and it
// shows that the public header is all a game needs.
#include <string.h>

#include "zylem.h"

namespace {

const int kFramesBeforeQuit = 3;  // update calls before the program asks to quit

ZY_ProgramInterface *g_prog;  // the record the engine handed us
int g_frames;                 // update calls so far

ZY_EngineInterface *Zy() { return g_prog->zy; }

bool Init() {
  Zy()->Log(ZY_LOG_INFO, "minimal: init at %dx%d (%s)", g_prog->parms.width,
            g_prog->parms.height, g_prog->parms.windowed ? "windowed" : "fullscreen");
  return true;
}

void Shutdown() { Zy()->Print("minimal: shutdown after %d frames", g_frames); }

void Update(float seconds) {
  (void)seconds;
  if (++g_frames == kFramesBeforeQuit) {
    Zy()->Log(ZY_LOG_INFO, "minimal: quitting after %d frames", g_frames);
    Zy()->Quit();
  }
}

void Draw(float seconds) {
  (void)seconds;
  Zy()->SetColor(0.2f, 0.4f, 0.8f);
  Zy()->SetAlpha(1.0f);
  Zy()->DrawRect(10.0f, 10.0f, 100.0f, 50.0f);
}

uint32_t Event(ZY_InputEvent event) {
  switch (event.type) {
    case ZY_EVENT_KEY_DOWN:
      if (event.key.key == ZY_KEY_ESCAPE) Zy()->Quit();
      break;
    case ZY_EVENT_CHECK_PARMS:
      // The last chance to adjust the display settings before the window opens.
      event.check_parms.parms->windowed = 1;
      break;
    case ZY_EVENT_NAMED:
      Zy()->Log(ZY_LOG_INFO, "minimal: event '%s'", event.named.name);
      break;
    default:
      break;
  }
  return 0;
}

void CopyText(char *field, size_t size, const char *text) {
  strncpy(field, text, size - 1);
  field[size - 1] = '\0';
}

}  // namespace

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t version) {
  (void)version;  // the engine checks the version we write below
  prog->interface_version = ZY_INTERFACE_VERSION;
  CopyText(prog->id, sizeof prog->id, "zylem-minimal");
  CopyText(prog->title, sizeof prog->title, "Minimal");
  CopyText(prog->version, sizeof prog->version, "1.0.0");
  CopyText(prog->developer_name, sizeof prog->developer_name, "ZylemTests");
  prog->parms.width = 640;
  prog->parms.height = 480;
  prog->parms.windowed = 1;
  prog->parms.reference_counting = 1;
  prog->parms.reference_width = 640;
  prog->parms.reference_height = 480;
  prog->init = Init;
  prog->shutdown = Shutdown;
  prog->update = Update;
  prog->draw = Draw;
  prog->event = Event;
  g_prog = prog;
  g_frames = 0;
  return true;
}
