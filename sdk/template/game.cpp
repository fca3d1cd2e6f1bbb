// My Game: a starting point. It draws a line of text and a bitmap that follows the
// mouse, and plays a sound when a mouse button or key is pressed. Everything goes
// through the engine interface table in prog->zy; an operation the engine build does not
// carry is null there, so the optional ones are looked at before use.
#include <stdio.h>
#include <zylem/zylem.h>

static ZY_ProgramInterface *prog;
static ZY_EngineInterface *zy;
static ZY_Font *font;      // the engine's console font (core/console.mft)
static ZY_Bitmap *star;    // data/star.png
static ZY_Sound *beep;     // data/beep.wav
static float clock_seconds;

static bool Init(void) {
  zy = prog->zy;
  font = zy->GetFont ? zy->GetFont("core/console.mft") : NULL;
  star = zy->GetBitmap("data/star");
  beep = zy->GetSound ? zy->GetSound("data/beep.wav") : NULL;
  return true;
}

static void Shutdown(void) {
  if (star) zy->ReleaseBitmap(star);
  if (beep) zy->ReleaseSound(beep);
  if (font) zy->ReleaseFont(font);
}

static void Update(float seconds) { clock_seconds += seconds; }

static void Draw(float) {
  zy->SetColor(1, 1, 1);
  if (font && zy->DrawText) zy->DrawText(font, 20, 20, "Hello from My Game (%.1f s)", clock_seconds);
  float x = zy->GetAxis(ZY_MOUSE_X), y = zy->GetAxis(ZY_MOUSE_Y);
  if (x == 0 && y == 0) x = prog->parms.width * 0.5f, y = prog->parms.height * 0.5f;
  if (star) zy->DrawBitmapEx(star, x, y, clock_seconds, 1.0f);
}

static uint32_t Event(ZY_InputEvent event) {
  if ((event.type == ZY_EVENT_KEY_DOWN || event.type == ZY_EVENT_BUTTON_DOWN) && beep && zy->PlaySound)
    zy->PlaySound(beep, 1.0f, 0.0f, 0);
  return 0;
}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *p, uint32_t version) {
  if (version != ZY_INTERFACE_VERSION) return false;
  prog = p;
  p->interface_version = ZY_INTERFACE_VERSION;
  snprintf(p->id, sizeof p->id, "example.mygame");
  snprintf(p->title, sizeof p->title, "My Game");
  snprintf(p->version, sizeof p->version, "1.0.0");
  snprintf(p->developer_name, sizeof p->developer_name, "My Studio");
  p->parms.width = 640;
  p->parms.height = 480;
  p->parms.windowed = 1;
  p->parms.reference_counting = 1;
  p->init = Init;
  p->shutdown = Shutdown;
  p->update = Update;
  p->draw = Draw;
  p->event = Event;
  return true;
}
