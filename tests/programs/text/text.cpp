// The text image-test program: draws the scene named as "scene=NAME" with the fonts the
// test writes to data/latin.mft (LATIN-1 boxes of varied sizes, "A" after "V" kerned by
// -2) and data/cjk.mft (UTF-8: eight ideographs and U+3002 as boxes), for comparison with
// tests/golden/NAME.png. Red dots mark the points a scene aligns text to.
#include <stdio.h>
#include <string.h>

#include "zylem.h"

static ZY_ProgramInterface *prog;
static ZY_EngineInterface *zy;
static ZY_Font *latin, *cjk;

static void Dot(float x, float y) { zy->SetColor(1, 0, 0), zy->DrawRect(x - 1, y - 1, 2, 2), zy->SetColor(1, 1, 1); }

static void SceneMarks(void) {
  zy->DrawText(latin, 4, 6, "AVAVA VVAA");  // kerned pairs sit closer
  zy->DrawText(latin, 4, 22, "ab|ff4040|cd|40ff4080|ef|#4040FF|gh");
  zy->DrawRect(4, 32, 30, 2), zy->SetColor(1, 1, 1), zy->SetAlpha(1);  // in the blue the last tag left
  zy->DrawText(latin, 4, 44, "x|i'data/sprite'|y|i'data/sprite' scale=0.5|z");
  zy->DrawText(latin, 4, 70, "ab|scale=2|cd|scale=1|ef");
  zy->DrawText(latin, 4, 100, "a||b|zz");  // a bar glyph, then an unclosed tag
}

static void SceneLayout(void) {
  float w, h;
  zy->SetTextMaxWidth(50);
  zy->DrawText(latin, 4, 6, "one two three four five");
  zy->GetTextSize(latin, &w, &h, "one two three four five");
  zy->SetColor(0, 0.6f, 1), zy->DrawRect(4, 6 + h, w, 1), zy->SetColor(1, 1, 1);
  zy->SetTextMaxWidth(0);
  const struct { uint32_t flags; float x, y; const char *text; } rows[] = {
      {ZY_TEXT_ALIGN_RIGHT, 150, 10, "right"}, {ZY_TEXT_ALIGN_CENTER, 110, 30, "centre"},
      {ZY_TEXT_ALIGN_BOTTOM, 70, 110, "bottom\nblock"}, {ZY_TEXT_ALIGN_MIDDLE | ZY_TEXT_ALIGN_RIGHT, 150, 90, "mid\nblock"}};
  for (const auto &r : rows) zy->SetTextFlags(r.flags), zy->DrawText(latin, r.x, r.y, "%s", r.text), Dot(r.x, r.y);
  zy->SetTextFlags(0);
}

static void SceneTransform(void) {
  zy->SetTextTransform(2, 1.5f, 0), zy->DrawText(latin, 4, 10, "Scaled"), Dot(4, 10);
  zy->SetTextTransform(1, 1, 0.5f), zy->DrawText(latin, 40, 50, "Turned text"), Dot(40, 50);
  zy->SetTextTransform(1.5f, 1.5f, -0.3f), zy->DrawText(latin, 30, 100, "Both"), Dot(30, 100);
  zy->SetTextTransform(1, 1, 0);
}

static void SceneCjk(void) {
  zy->SetTextMaxWidth(40);  // four ideographs a line; the full stop never starts one
  zy->DrawText(cjk, 4, 6, "\xe4\xb8\xad\xe5\x9b\xbd\xe4\xba\xba\xe5\xa4\xa7\xe4\xb8\x80\xe4\xba\x8c\xe4\xb8\x89"
                          "\xe4\xb8\xad\xe5\x9b\xbd\xe4\xba\xba\xe5\xa4\xa7\xe4\xb8\x80\xe3\x80\x82\xe4\xba\x8c"
                          "\xe4\xb8\x89\xe5\x9b\x9b \xe4\xb8\xad\xe5\x9b\xbd");
  zy->SetTextMaxWidth(0);
}

struct Scene { const char *name; void (*draw)(void); };
static const Scene SCENES[] = {{"text_marks", SceneMarks}, {"text_layout", SceneLayout},
                               {"text_transform", SceneTransform}, {"text_cjk", SceneCjk}};
static const Scene *scene;

static bool Init(void) {
  zy = prog->zy;
  const char *at = strstr(prog->parms.command_line ? prog->parms.command_line : "", "scene=");
  for (const Scene &s : SCENES)
    if (at && !strcmp(at + 6, s.name)) scene = &s;
  latin = zy->LoadFont("data/latin.mft"), cjk = zy->LoadFont("data/cjk.mft");
  zy->SetTextMaxWidth(0);  // no wrapping unless a scene asks for it
  if (!scene || !latin || !cjk) return false;
  zy->Log(ZY_LOG_INFO, "[text] drawing scene '%s'", scene->name);
  return true;
}
static void Shutdown(void) { zy->ReleaseFont(latin), zy->ReleaseFont(cjk); }
static void Update(float) {}
static void Draw(float) { scene->draw(); }

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *p, uint32_t version) {
  if (version != ZY_INTERFACE_VERSION) return false;
  prog = p;
  p->interface_version = ZY_INTERFACE_VERSION;
  snprintf(p->id, sizeof p->id, "zytest.text"), snprintf(p->title, sizeof p->title, "Text Test Scenes");
  snprintf(p->version, sizeof p->version, "1.0"), snprintf(p->developer_name, sizeof p->developer_name, "Zytest");
  p->parms.width = 160, p->parms.height = 120, p->parms.windowed = 1, p->parms.reference_counting = 1;
  p->init = Init, p->shutdown = Shutdown, p->update = Update, p->draw = Draw;
  return true;
}
