// Font atlases on a recording renderer: a font loaded on a program thread waits in the
// bitmap upload queue for the main thread, the atlas goes with the device and comes back
// with the next one, and a text is drawn in batches of 64 glyphs of the one atlas texture.
#include <thread>

#include "../engine/engine_test.h"
#include "font_test.h"

namespace {

class FontAtlasThreads : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ZYI_FontsInit();
    ZYI_FontsSetReferenceCounting(true);
  }
  void TearDown() override { ZYI_FontsFree(), EngineTest::TearDown(); }
};

TEST_F(FontAtlasThreads, ThreadLoadWaitsForTheMainThreadAndTheAtlasOutlivesTheDevice) {
  fonttest::WriteFontFile(world.game() + "/a.mft", false);
  ZY_Font *f = nullptr;
  std::thread([&] { f = ZY_LoadFont("a.mft"); }).join();
  ASSERT_TRUE(f && f->atlas.pixels);
  EXPECT_TRUE(ZYI_BitmapQueuedForUpload(&f->atlas) && !f->atlas.hw.on_gpu);
  ZYI_ProcessResourceQueues();
  EXPECT_TRUE(f->atlas.hw.on_gpu);
  EXPECT_EQ(rec.live.size(), 1u);  // one texture for every glyph
  ZYI_ReleaseFontsDeviceData();
  EXPECT_TRUE(rec.live.empty() && !f->atlas.hw.on_gpu);
  ZYI_RecreateFontAtlases();
  ASSERT_TRUE(f->atlas.hw.on_gpu);
  Name(f->atlas, "atlas");
  rec.draws.clear();
  ZY_DrawText(f, 0, 0, "%s", std::string(65, 'x').c_str());
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 2u);
  EXPECT_EQ(rec.draws[0].vertex_count * 100 + rec.draws[1].vertex_count, 256 * 100 + 4);
  EXPECT_EQ(rec.draws[0].texture + rec.draws[1].texture, "atlasatlas");
  ZYI_FontsSetReferenceCounting(false), ZY_ReleaseFont(f);
  EXPECT_TRUE(rec.live.empty());
  EXPECT_EQ(f->name, nullptr);
}

}  // namespace
