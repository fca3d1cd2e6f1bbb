// The render command layer driving the real software renderer module, in both of its
// colour orders: what the layer writes must come out as the same pixels.
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/state.h"
#include "base/threads.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "rmod_soft_fixture.h"
#include "lifecycle/state.h"

namespace {

using rmodsoft::Image;

class DrawSoftTest : public ZyTest {
 protected:
  void TearDown() override {
    Unload();
    unsetenv("ZYLEM_SOFT_BGRA");
  }
  // Gives the buffers back and shuts the module down and unloads it.
  void Unload() {
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
    if (r_) r_->Shutdown();
    zy::modules.renderer = nullptr;
    if (lib_) dlclose(lib_);
    r_ = nullptr;
    lib_ = nullptr;
  }

  // Loads and starts the module, gives the layer its buffers and begins a frame; then a
  // red rectangle and a blue line drawn with a white bitmap, read back as a screenshot.
  Image DrawScene() {
    lib_ = dlopen(ZYTEST_BUILD_DIR "/modules/rmod_soft.so", RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(lib_, nullptr) << dlerror();
    if (!lib_) return Image();
    auto get = (ZYLEM_RendImp_GetInterfaceFunc)dlsym(lib_, ZYLEM_RENDIMP_GET_INTERFACE_NAME);
    r_ = get ? get() : nullptr;
    EXPECT_NE(r_, nullptr);
    if (!r_) return Image();

    ZYI_ResetState();
    zy::core.main_thread_id = ZY_GetCurrentThreadId();
    memset(&table_, 0, sizeof table_);
    memset(&host_, 0, sizeof host_);
    memset(&parms_, 0, sizeof parms_);
    host_.zy = &table_;
    parms_.width = 64;
    parms_.height = 48;
    parms_.windowed = 1;
    r_->SetEngineInterface(&table_);
    EXPECT_TRUE(r_->Init(&table_, &host_, &parms_));
    zy::modules.renderer = r_;
    zy::modules.colour_order = r_->GetColourOrder();
    zy::core.renderer_ready = 1;
    ZYI_DrawReset();
    EXPECT_TRUE(ZYI_DrawCreateBuffers());
    ZYI_DrawPushScreenTarget();

    r_->BeginFrame(ZY_EYE_MONO);
    ZYI_DrawBeginPass();
    ZY_SetBlendMode(0);
    ZY_SetRenderMode(1);
    // The colour operation the engine interface table holds for this renderer.
    auto set_color = zy::modules.colour_order ? ZY_SetColor : ZY_SetColorRGBA;
    set_color(1.0f, 0.0f, 0.0f);
    ZY_DrawRect(8, 8, 16, 12);

    uint32_t white[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    memset(&bitmap_, 0, sizeof bitmap_);
    bitmap_.width = bitmap_.height = 2;
    bitmap_.pixels = white;
    bitmap_.pack_mode = ZY_PACK_PAD_EXPAND;
    EXPECT_TRUE(r_->LoadBitmapToGpu(&bitmap_));
    bitmap_.state = ZY_BITMAP_STATE_READY;
    ZY_Point a = {40, 10}, b = {40, 40};
    ZY_ColorF blue = {0, 0, 1, 1};
    ZY_DrawBitmapLine(&bitmap_, &a, &b, 8, 8, &blue, &blue);

    ZYI_Flush();
    r_->EndFrame();
    const std::string path = world.root() + "/scene.png";
    EXPECT_STREQ(r_->QueryValue("Screenshot", path.c_str()), "1");
    r_->FreeBitmapFromGpu(&bitmap_.hw);
    return rmodsoft::ReadPng(path);
  }

  void ExpectScene(const Image &s) {
    ASSERT_EQ(s.width, 64);
    ASSERT_EQ(s.height, 48);
    using namespace rmodsoft;
    ExpectPixels(s, {{8, 8, RED}, {23, 19, RED}, {24, 19, BLACK}, {7, 8, BLACK}, {40, 25, BLUE},
                     {37, 25, BLUE}, {40, 45, BLACK}});
  }

  void *lib_ = nullptr;
  RendImp *r_ = nullptr;
  ZY_EngineInterface table_;
  ZY_HostInfo host_;
  ZY_DisplaySettings parms_;
  ZY_Bitmap bitmap_;
};

}  // namespace

TEST_F(DrawSoftTest, BothRendererColourOrdersShowTheColoursDrawn) {
  unsetenv("ZYLEM_SOFT_BGRA");
  Image word = DrawScene();
  EXPECT_NE(zy::modules.colour_order, ZY_COLOUR_ORDER_RGBA_BYTES);
  ExpectScene(word);
  Unload();  // the byte-order module is loaded afresh
  setenv("ZYLEM_SOFT_BGRA", "1", 1);
  Image bytes = DrawScene();
  EXPECT_EQ(zy::modules.colour_order, ZY_COLOUR_ORDER_RGBA_BYTES);
  ExpectScene(bytes);
}
