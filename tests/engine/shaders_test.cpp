// Shaders: the table hands each name one record for good (the 33rd name is refused), and
// a shaded bitmap reaches the renderer at once, after the quads batched before it, placed
// as DrawBitmapEx places it and through the vertex hooks.
#include "engine/shaders.h"

#include "engine_test.h"

using ShaderTable = EngineTest;

TEST_F(ShaderTable, NamesGetOneRecordEachUntilTheTableIsFull) {
  ZY_Shader *glow = ZY_GetShader("glow");
  ASSERT_NE(glow, nullptr);
  EXPECT_EQ(ZY_GetShader("glow"), glow);
  EXPECT_EQ(Logged("..caching shader 'glow'"), 1);
  EXPECT_EQ(glow->active, 1);
  EXPECT_EQ(glow->kind, 0);
  EXPECT_EQ(ZY_GetShader("!DOT3_DIRECTIONAL")->kind, 1);
  EXPECT_STREQ(ZY_GetShader(nullptr)->name, "!NONE");
  for (int i = 3; i < ZYI_MAX_SHADERS; i++) EXPECT_NE(ZY_GetShader(std::to_string(i).c_str()), nullptr);
  EXPECT_EQ(ZY_GetShader("one too many"), nullptr);
  EXPECT_EQ(Popups(" ! Zylem out of free shaders.\n"), 1);
  EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "CreateShader glow"), 1);
  EXPECT_EQ(ZY_GetShader("glow"), glow) << "a full table still finds its names";
}

TEST_F(ShaderTable, ShadedBitmapIsDrawnAtOnceAfterTheBatchAsDrawBitmapExPlacesIt) {
  ZY_Bitmap b = enginetest::Ready(5, 4, 0, 0, 0.5f, 1);
  Name(b, "ball");
  ZY_SetShader(ZY_GetShader("tint"));
  ZY_SetShaderParameter(2, 0.5f, nullptr);
  ZY_DrawRect(0, 0, 8, 8);
  ZY_DrawBitmapShaded(&b, 10, 20, 0.5f, 2);
  const auto drawn = std::find(rec.calls.begin(), rec.calls.end(), "DrawShaded ball");
  ASSERT_NE(drawn, rec.calls.end());
  EXPECT_EQ(rec.draws.size(), 1u) << "the rectangle is flushed first, the shaded quad not batched";
  EXPECT_NE(std::find(rec.calls.begin(), drawn, "SetShaderParameter 2 0.5"), drawn);
  const std::vector<ZY_Vertex> shaded = rec.shaded;
  ZY_DrawBitmapEx(&b, 10, 20, 0.5f, 2);
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 2u);
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(memcmp(&rec.draws[1].vertices[i], &shaded[i], sizeof(ZY_Vertex)), 0) << "corner " << i;
  ZY_PushVertexHook([](ZY_Vertex *v, int32_t n, void *) { for (int i = 0; i < n; i++) v[i].x += 100; }, nullptr);
  ZY_DrawBitmapShaded(&b, 10, 20, 0.5f, 2);
  ZY_PopVertexHook();
  EXPECT_FLOAT_EQ(rec.shaded[0].x, shaded[0].x + 100);
}
