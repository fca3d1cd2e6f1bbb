// render.cpp — `zyfont render`: the text drawn exactly as a game would draw it.
//
// The font's atlas is packed and uploaded by the engine's own atlas code, the text is
// laid out and drawn by the engine's text drawing into the render command layer, and
// the software renderer module (rmod_soft, looked for beside the tool and in the build's
// modules folder) rasterises the frame, which its Screenshot query writes as PNG.
#include "render.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "base/engine_table.h"
#include "base/state.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "font/fonts.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "tool_core.h"
#include "zylem_modules.h"

namespace {

const int32_t MARGIN = 4;         // pixels around the text
const int32_t MAX_CANVAS = 4096;  // a larger text is cut at the canvas edge

// rmod_soft beside the tool, else where the build puts it.
void *LoadSoftRenderer() {
  char folder[1024];
  if (ZYH_ExecutableFolder(folder, sizeof folder))
    if (void *lib = ZYH_LoadLibrary((std::string(folder) + "/rmod_soft.so").c_str())) return lib;
  return ZYH_LoadLibrary(ZYFONT_MODULE_DIR "/rmod_soft.so");
}

int32_t CanvasSide(float extent) {
  int32_t side = (int32_t)ceilf(extent) + 2 * MARGIN;
  return side < 1 ? 1 : side > MAX_CANVAS ? MAX_CANVAS : side;
}

}  // namespace

bool RenderText(ZY_Font *font, const char *text, float wrap_width, const char *out_png) {
  void *library = LoadSoftRenderer();
  auto get = library ? (ZYLEM_RendImp_GetInterfaceFunc)ZYH_GetSymbol(library, ZYLEM_RENDIMP_GET_INTERFACE_NAME)
                     : nullptr;
  RendImp *renderer = get ? get() : nullptr;
  if (!renderer) {
    fprintf(stderr, "zyfont: the software renderer module rmod_soft.so cannot be loaded\n");
    ZYH_FreeLibrary(library);
    return false;
  }
  // Image tags name bitmaps relative to the current folder.
  char cwd[1024];
  if (!ToolCoreStart(getcwd(cwd, sizeof cwd) ? cwd : ".")) {
    ZYH_FreeLibrary(library);
    return false;
  }
  ZYI_FontsInit();
  ZY_SetTextMaxWidth(wrap_width);
  float width = 0, height = 0;
  ZYI_MeasureTextString(font, text, &width, &height);

  ZY_HostInfo host = {};
  host.zy = ZYI_EngineInterface();
  ZY_DisplaySettings parms = {};
  parms.width = CanvasSide(width);
  parms.height = CanvasSide(height);
  parms.windowed = 1;
  renderer->SetEngineInterface(ZYI_EngineInterface());
  bool ok = renderer->Init(ZYI_EngineInterface(), &host, &parms);
  if (ok) {
    zy::modules.renderer = renderer;
    zy::modules.pixel_order = renderer->GetPixelOrder();
    zy::modules.colour_order = renderer->GetColourOrder();
    // The font was read in R, G, B, A; a renderer that wants B, G, R, A gets it so.
    if (zy::modules.pixel_order == ZY_PIXEL_ORDER_BGRA) {
      ZYI_SetImagePixelOrder(true);
      for (int32_t g = 0; g < font->glyph_count; g++) {
        ZY_Bitmap &p = font->glyphs[g].picture;
        uint8_t *px = (uint8_t *)p.pixels;
        for (size_t i = 0; px && i < (size_t)p.width * p.height; i++) {
          uint8_t red = px[i * 4];
          px[i * 4] = px[i * 4 + 2], px[i * 4 + 2] = red;
        }
      }
    }
    zy::core.renderer_ready = 1;
    ZYI_DrawReset();
    ok = ZYI_DrawCreateBuffers();
  }
  if (ok) {
    ZYI_DrawPushScreenTarget();
    ZY_RecreateFontAtlas(font);
    renderer->BeginFrame(0);
    ZYI_DrawBeginPass();
    ZYI_DrawTextString(font, MARGIN, MARGIN, text);
    ZYI_Flush();
    renderer->EndFrame();
    const char *answer = renderer->QueryValue("Screenshot", out_png);
    ok = answer && strcmp(answer, "1") == 0;
    if (!ok) fprintf(stderr, "zyfont: cannot write '%s'\n", out_png);
    else printf("zyfont: wrote '%s' (%dx%d)\n", out_png, parms.width, parms.height);
    ZYI_ReleaseFontTextures(font);
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
  } else {
    fprintf(stderr, "zyfont: the software renderer did not start\n");
  }
  renderer->Shutdown();
  zy::modules.renderer = nullptr;
  zy::core.renderer_ready = 0;
  ToolCoreStop();
  ZYH_FreeLibrary(library);
  return ok;
}
