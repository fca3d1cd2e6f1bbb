// Hello ZYLEM: a small sample game.
//
// It animates a few shapes — a rotating fan of triangles, a bouncing square, a colour
// gradient quad and a ring of lines that follows the mouse — and two bitmaps from the
// game folder's data/ folder: a star that spins in the bouncing square and glowing orbs
// circling the fan. It reacts to input: the arrow keys move the square, space pauses the
// animation, the left mouse button leaves a trail, Escape quits. Everything goes through
// the engine interface table in prog->zy. The images are made by make_data.py.
// The square blips when it bounces (panned to where it hits) over looping music; on a
// machine without a sound device the engine's null sound module answers and all is quiet.
// Text is drawn in three fonts the build generates from fonts/*.mft.xml (DrawTexts): a title,
// the controls with a coloured word, the frame rate, and a Chinese line wrapped in a box.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <zylem/zylem.h>

// Windows virtual-key codes the engine uses for key states.
enum { VK_SPACE = 32, VK_ESCAPE = 27, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40 };

static ZY_ProgramInterface *prog;
static ZY_EngineInterface *zy;

static struct {
  float time;           // animation clock in seconds
  bool paused;
  float box_x, box_y;   // the square the arrow keys move
  float vx, vy;         // its bounce velocity
  float trail[32][2];   // positions left by the mouse while the left button is down
  int trail_count;
  ZY_Bitmap *star, *orb;  // data/star.png and data/orb.png
  ZY_Sound *bounce, *music;  // data/bounce.wav and data/music.ogg
  ZY_Font *title, *text, *cjk;  // fonts/title.mft, fonts/text.mft, fonts/cjk.mft (UTF-8)
  float fps;            // smoothed frame rate
  ZY_Bitmap *flame;       // the sequence data/flame.bms
} game;

// Sounds are named without their extension too: the engine tries .wav, .ogg and .mp3.
static void StartSound(void) {
  game.bounce = zy->GetSound("data/bounce");
  game.music = zy->GetSound("data/music");
  zy->PlayMusic(game.music, 0.6f, 2.0f);  // music always loops; it fades in over 2 s
}

// The blip comes from the side the square hit (pan -1 left .. 1 right).
static void PlayBounce(float x, float width) {
  zy->PlaySound(game.bounce, 0.8f, 2 * x / width - 1, 0);
}

static void StopSound(void) {
  zy->StopMusic(0);
  zy->ReleaseSound(game.bounce);
  zy->ReleaseSound(game.music);
}

// Bitmaps are named without their extension; the engine finds data/star.png in the game
// folder. A missing one is drawn as nothing.
static ZY_Bitmap *GameBitmap(const char *name) {
  ZY_Bitmap *b = zy->GetBitmap(name);
  if (!b || b->state != ZY_BITMAP_STATE_READY)
    zy->Log(ZY_LOG_WARNING, "Hello ZYLEM: bitmap '%s' is missing.", name);
  return b;
}

static bool Init(void) {
  zy = prog->zy;
  game.box_x = 120;
  game.box_y = 380;
  game.vx = 140;
  game.vy = -90;
  game.star = GameBitmap("data/star");
  game.orb = GameBitmap("data/orb");
  game.title = zy->GetFont("fonts/title.mft");
  game.text = zy->GetFont("fonts/text.mft");
  game.cjk = zy->GetFont("fonts/cjk.mft");
  game.flame = GameBitmap("data/flame.bms");
  zy->Log(ZY_LOG_INFO, "Hello ZYLEM: %dx%d, arrows move, space pauses, Escape quits.",
          prog->parms.width, prog->parms.height);
  StartSound();
  return true;
}

static void Shutdown(void) {
  zy->ReleaseBitmap(game.star);
  zy->ReleaseBitmap(game.orb);
  StopSound();
  zy->ReleaseFont(game.title);
  zy->ReleaseFont(game.text);
  zy->ReleaseFont(game.cjk);
  zy->ReleaseBitmap(game.flame);
  zy->Log(ZY_LOG_INFO, "Hello ZYLEM: bye after %.1f s.", game.time);
}

static void Update(float dt) {
  if (dt > 0) game.fps = game.fps > 0 ? game.fps * 0.9f + 0.1f / dt : 1.0f / dt;
  if (zy->GetKeyState(VK_ESCAPE) & 1) zy->Quit();
  if (zy->GetKeyState(VK_SPACE) & 1) game.paused = !game.paused;
  float speed = 240 * dt;
  if (zy->GetKeyState(VK_LEFT)) game.box_x -= speed;
  if (zy->GetKeyState(VK_RIGHT)) game.box_x += speed;
  if (zy->GetKeyState(VK_UP)) game.box_y -= speed;
  if (zy->GetKeyState(VK_DOWN)) game.box_y += speed;
  if (!game.paused) {
    game.time += dt;
    game.box_x += game.vx * dt;
    game.box_y += game.vy * dt;
    float w = (float)prog->parms.width, h = (float)prog->parms.height;
    bool bounced = false;
    if (game.box_x < 0 || game.box_x > w - 60) game.vx = -game.vx, bounced = true;
    if (game.box_y < 0 || game.box_y > h - 60) game.vy = -game.vy, bounced = true;
    if (bounced) PlayBounce(game.box_x + 30, w);
    game.box_x = fminf(fmaxf(game.box_x, 0), w - 60);
    game.box_y = fminf(fmaxf(game.box_y, 0), h - 60);
  }
  if (zy->GetKeyState(ZY_MOUSE_BUTTON_LEFT) & 2) {
    int i = game.trail_count++ % 32;
    game.trail[i][0] = zy->GetAxis(ZY_MOUSE_X);
    game.trail[i][1] = zy->GetAxis(ZY_MOUSE_Y);
  }
}

// A vertex with a colour word 0xAARRGGBB (the engine converts it for the renderer).
static ZY_Vertex V(float x, float y, uint32_t argb) {
  ZY_Vertex v;
  memset(&v, 0, sizeof v);
  v.x = x;
  v.y = y;
  v.color = argb;
  return v;
}

static void DrawFan(float cx, float cy, float radius) {
  ZY_Vertex v[13];
  uint16_t idx[36];
  v[0] = V(cx, cy, 0xFFFFFFFFu);
  for (int i = 0; i < 12; i++) {
    float a = game.time * 0.8f + i * (6.2831853f / 12);
    uint32_t c = (i & 1) ? 0xFF3080FFu : 0xFFFFB030u;
    v[i + 1] = V(cx + cosf(a) * radius, cy + sinf(a) * radius, c);
    idx[i * 3] = 0;
    idx[i * 3 + 1] = (uint16_t)(i + 1);
    idx[i * 3 + 2] = (uint16_t)((i + 1) % 12 + 1);
  }
  zy->DrawTriangles(NULL, v, 13, idx, 36);
}

// The texts: a title, the controls with a coloured word (a colour tag), the frame rate
// right-aligned, and a Chinese line in a UTF-8 font wrapped inside a box.
static void DrawTexts(float w, float h) {
  if (!zy->DrawText) return;
  zy->SetTextFlags(0);
  zy->SetTextMaxWidth(0);
  zy->SetColor(1, 1, 1);
  zy->DrawText(game.title, 24, 18, "Hello ZYLEM");
  zy->DrawText(game.text, 26, 58, "Arrows move the |40ff80|square|ffffff|, space pauses, Escape quits.");
  zy->SetTextFlags(1);  // right-aligned at x
  zy->SetColor(1.0f, 0.9f, 0.3f);
  zy->DrawText(game.text, w - 16, 18, "%.0f fps", game.fps);
  zy->SetTextFlags(0);

  float box_x = 24, box_y = h - 96, box_w = 300, box_h = 70;
  zy->SetColor(0, 0, 0);
  zy->SetAlpha(0.55f);
  zy->DrawRect(box_x, box_y, box_w, box_h);
  zy->SetAlpha(1);
  zy->SetColor(0.6f, 0.7f, 1.0f);
  zy->DrawLine(box_x, box_y, box_x + box_w, box_y);
  zy->DrawLine(box_x + box_w, box_y, box_x + box_w, box_y + box_h);
  zy->DrawLine(box_x + box_w, box_y + box_h, box_x, box_y + box_h);
  zy->DrawLine(box_x, box_y + box_h, box_x, box_y);
  zy->SetColor(1, 1, 1);
  zy->SetTextMaxWidth(box_w - 24);
  zy->DrawText(game.cjk, box_x + 12, box_y + 12, "你好，世界！这行字体由文泉驿微米黑生成，在框内自动换行。");
  zy->SetTextMaxWidth(0);
}

// A flickering flame from a bitmap sequence. data/flame.bms is built by the engine the
// first time it is asked for, from data/flame_0000.png to flame_0007.png: the frames
// that repeat earlier ones are stored once, all of them share one atlas texture.
static void DrawFlame(float x, float y) {
  if (!game.flame || game.flame->frame_count <= 0) return;
  zy->SelectBitmapFrame(game.flame, (int32_t)(game.time * 12));
  zy->DrawBitmapEx(game.flame, x, y, 0, 3);
}

static void Draw(float) {
  if (!zy->DrawRect) return;  // an engine without drawing: nothing to show
  float w = (float)prog->parms.width, h = (float)prog->parms.height;

  // Background gradient.
  ZY_Vertex bg[4] = {V(0, 0, 0xFF101830u), V(w, 0, 0xFF101830u), V(0, h, 0xFF402050u),
                     V(w, h, 0xFF402050u)};
  zy->DrawQuad(NULL, bg);

  DrawFan(w * 0.72f, h * 0.38f, 150);

  // Glowing orbs circle the fan, growing and shrinking; additive blending makes them
  // brighten whatever they pass over.
  zy->SetBlendMode(1);
  for (int i = 0; i < 6; i++) {
    float a = -game.time * 0.6f + i * (6.2831853f / 6);
    float scale = 2.5f + 1.5f * sinf(game.time * 2 + i);
    zy->DrawBitmapEx(game.orb, w * 0.72f + cosf(a) * 175, h * 0.38f + sinf(a) * 175, 0, scale);
  }
  zy->SetBlendMode(0);

  // The bouncing square, half transparent, with an outline.
  zy->SetColor(0.2f, 0.9f, 0.5f);
  zy->SetAlpha(0.75f);
  zy->DrawRect(game.box_x, game.box_y, 60, 60);
  zy->SetAlpha(1.0f);
  zy->SetColor(1, 1, 1);
  zy->DrawLine(game.box_x, game.box_y, game.box_x + 60, game.box_y);
  zy->DrawLine(game.box_x + 60, game.box_y, game.box_x + 60, game.box_y + 60);
  zy->DrawLine(game.box_x + 60, game.box_y + 60, game.box_x, game.box_y + 60);
  zy->DrawLine(game.box_x, game.box_y + 60, game.box_x, game.box_y);
  // A star spins in the middle of the square (DrawBitmapEx turns it about its centre).
  zy->DrawBitmapEx(game.star, game.box_x + 30, game.box_y + 30, game.time * 2.5f, 1.5f);

  // Pulsing bars drawn under a rotating transform around their centre.
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float a = sinf(game.time) * 0.4f;
  m[0] = cosf(a);
  m[1] = -sinf(a);
  m[4] = sinf(a);
  m[5] = cosf(a);
  m[3] = 200;
  m[7] = 160;
  zy->PushTransform(m);
  for (int i = 0; i < 8; i++) {
    float pulse = 0.5f + 0.5f * sinf(game.time * 3 + i * 0.7f);
    zy->SetColor(1.0f, 0.3f + 0.08f * i, 0.2f);
    zy->DrawRect(-120 + i * 30.0f, 40 - 80 * pulse, 20, 80 * pulse);
  }
  zy->PopTransform();
  zy->SetColor(1, 1, 1);

  DrawFlame(w - 70, h - 80);

  // Mouse ring and trail (the ring waits in the middle until the mouse first moves).
  float mx = zy->GetAxis(ZY_MOUSE_X), my = zy->GetAxis(ZY_MOUSE_Y);
  if (mx == 0 && my == 0) {
    mx = w * 0.5f;
    my = h * 0.5f;
  }
  for (int i = 0; i < 16; i++) {
    float a0 = i * 6.2831853f / 16, a1 = (i + 1) * 6.2831853f / 16;
    zy->DrawLine(mx + cosf(a0) * 14, my + sinf(a0) * 14, mx + cosf(a1) * 14, my + sinf(a1) * 14);
  }
  zy->SetColor(1.0f, 0.9f, 0.2f);
  int n = game.trail_count < 32 ? game.trail_count : 32;
  for (int i = 0; i < n; i++) zy->DrawRect(game.trail[i][0] - 3, game.trail[i][1] - 3, 6, 6);
  zy->SetColor(1, 1, 1);

  DrawTexts(w, h);
}

static uint32_t Event(ZY_InputEvent ev) {
  if (ev.type == ZY_EVENT_CLOSE) zy->Log(ZY_LOG_INFO, "Hello ZYLEM: window closed.");
  return 0;
}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *p, uint32_t version) {
  if (version != ZY_INTERFACE_VERSION) return false;
  prog = p;
  p->interface_version = ZY_INTERFACE_VERSION;
  snprintf(p->id, sizeof p->id, "zylem.hello");
  snprintf(p->title, sizeof p->title, "Hello ZYLEM");
  snprintf(p->version, sizeof p->version, "1.0.0");
  snprintf(p->developer_name, sizeof p->developer_name, "ZYLEM Samples");
  p->parms.width = 800;
  p->parms.height = 600;
  p->parms.windowed = 1;
  p->parms.single_instance = 1;
  p->parms.reference_counting = 1;
  p->init = Init;
  p->shutdown = Shutdown;
  p->update = Update;
  p->draw = Draw;
  p->event = Event;
  return true;
}
