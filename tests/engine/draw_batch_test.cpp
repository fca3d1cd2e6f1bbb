// The quad batcher: buffers, batch limits, texture changes, the buffer ring, the pass
// reset, the overdraw view, the renderer-thread rule, triangles and lines.
#include <thread>

#include "draw_test.h"
#include "config/config.h"

using drawtest::ReadyBitmap;
using drawtest::RecordingRenderer;

TEST_F(DrawLayerTest, BuffersAreCreatedWithTheQuadIndexPatternAndReleasedUnlocked) {
  ASSERT_EQ(rec.vertex_buffers.size(), 32u);
  for (const auto &vb : rec.vertex_buffers) EXPECT_EQ(vb->vertices.size(), 256u);
  ASSERT_EQ(rec.index_buffers.size(), 2u);
  const std::vector<uint16_t> &quad = rec.index_buffers[0]->indices;
  ASSERT_EQ(quad.size(), 384u);
  for (int q = 0; q < 64; q++) {
    const uint16_t want[6] = {uint16_t(4 * q), uint16_t(4 * q + 1), uint16_t(4 * q + 2),
                              uint16_t(4 * q + 1), uint16_t(4 * q + 2), uint16_t(4 * q + 3)};
    for (int i = 0; i < 6; i++) ASSERT_EQ(quad[6 * q + i], want[i]) << "quad " << q;
  }
  EXPECT_EQ(rec.index_buffers[1]->indices.size(), 3072u);
  EXPECT_TRUE(rec.vertex_buffers[0]->locked);  // the first buffer waits for quads

  ZYI_DrawReleaseBuffers();
  EXPECT_EQ(rec.released, 34);
  EXPECT_EQ(rec.misuse, 0);  // the locked buffer was unlocked before its release
  ZY_DrawRect(0, 0, 1, 1);   // nothing to draw into any more: ignored
  ZYI_Flush();
  EXPECT_TRUE(rec.draws.empty());
}

TEST_F(DrawLayerTest, ABufferTheRendererCannotGiveLeavesNothingBehind) {
  ZYI_DrawReleaseBuffers();
  RecordingRenderer failing;
  failing.fail_vertex_buffer = 7;
  zy::modules.renderer = &failing;
  EXPECT_FALSE(ZYI_DrawCreateBuffers());
  EXPECT_EQ(failing.released, 7 + 2);  // the seven made before and both index buffers
  ZY_DrawRect(0, 0, 10, 10);
  ZYI_Flush();
  EXPECT_TRUE(failing.draws.empty());
  EXPECT_EQ(failing.misuse, 0);
}

TEST_F(DrawLayerTest, SixtyFiveQuadsOfOneTextureGiveDrawsOf64And1) {
  ZY_Bitmap a = ReadyBitmap(8, 8);
  Name(a, "A");
  for (int i = 0; i < 65; i++) ZY_DrawBitmap(&a, (float)i, 0);
  ASSERT_EQ(rec.draws.size(), 1u);  // the 64th quad filled the batch
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 2u);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{
                           "SetTexture 0 A", "Unlock vb0", "SetTexture 0 A",
                           "DrawIndexed vb0 256 quads 128", "Lock vb1", "Unlock vb1",
                           "SetTexture 0 A", "DrawIndexed vb1 4 quads 2", "Lock vb2"}));
  EXPECT_EQ(rec.draws[1].vertices[0].x, 64.0f);
  EXPECT_EQ(zy::core.batches, 2);
  EXPECT_EQ(zy::core.triangles, 130);
  EXPECT_EQ(rec.misuse, 0);
}

TEST_F(DrawLayerTest, AlternatingTexturesGiveOneDrawPerQuad) {
  ZY_Bitmap a = ReadyBitmap(8, 8), b = ReadyBitmap(8, 8);
  Name(a, "A");
  Name(b, "B");
  for (int i = 0; i < 4; i++) ZY_DrawBitmap(i % 2 ? &b : &a, 0, 0);
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 4u);
  const char *want[4] = {"A", "B", "A", "B"};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(rec.draws[i].texture, want[i]);
    EXPECT_EQ(rec.draws[i].vertex_count, 4);
  }
  // An untextured quad is another texture change.
  ZY_DrawRect(0, 0, 1, 1);
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 5u);
  EXPECT_EQ(rec.draws[4].texture, "-");
}

TEST_F(DrawLayerTest, FlushesWalkTheRingOfThirtyTwoBuffers) {
  for (int i = 0; i < 33; i++) {
    ZY_DrawRect(0, 0, 1, 1);
    ZYI_Flush();
  }
  ASSERT_EQ(rec.draws.size(), 33u);
  for (int i = 0; i < 32; i++) EXPECT_EQ(rec.draws[i].buffer, "vb" + std::to_string(i));
  EXPECT_EQ(rec.draws[32].buffer, "vb0");
  EXPECT_EQ(rec.misuse, 0);
  // An empty batch draws nothing and keeps its buffer.
  ZYI_Flush();
  EXPECT_EQ(rec.draws.size(), 33u);
}

TEST_F(DrawLayerTest, APassStartsWithAnEmptyBatchAndForgottenModes) {
  ZY_Bitmap a = ReadyBitmap(8, 8);
  Name(a, "A");
  ZY_DrawBitmap(&a, 0, 0);
  ZY_SetBlendMode(0);  // already current: nothing reaches the renderer
  EXPECT_TRUE(rec.Calls("SetBlendMode").empty());

  ZYI_DrawBeginPass();
  ZYI_Flush();
  EXPECT_TRUE(rec.draws.empty());  // the stale quad is gone
  ZY_SetBlendMode(0);
  ZY_SetRenderMode(1);
  EXPECT_EQ(rec.Calls("SetBlendMode"), std::vector<std::string>{"SetBlendMode 0"});
  EXPECT_EQ(rec.Calls("SetRenderMode"), std::vector<std::string>{"SetRenderMode 1"});
  // No texture is current, so the same bitmap binds again.
  rec.calls.clear();
  ZY_DrawBitmap(&a, 0, 0);
  EXPECT_EQ(rec.calls.front(), "SetTexture 0 A");
}

TEST_F(DrawLayerTest, OverdrawViewDrawsWhiteTranslucentUntexturedQuadsWithBlendModeOne) {
  zy::config.developer_mode = 1;
  ZY_SetKeyState(ZY_KEY_F9, ZY_KEY_STATE_DOWN);
  ZY_Bitmap a = ReadyBitmap(8, 8);
  Name(a, "A");
  ZY_SetColor(1.0f, 0.0f, 0.0f);
  ZY_DrawBitmap(&a, 0, 0);
  ZY_SetBlendMode(3);
  ASSERT_EQ(rec.draws.size(), 1u);
  EXPECT_EQ(rec.draws[0].texture, "-");
  for (const ZY_Vertex &v : rec.draws[0].vertices) EXPECT_EQ(v.color, 0x19FFFFFFu);
  EXPECT_EQ(rec.Calls("SetBlendMode"), std::vector<std::string>{"SetBlendMode 1"});

  // Without developer mode the key does nothing.
  zy::config.developer_mode = 0;
  ZY_DrawBitmap(&a, 0, 0);
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 2u);
  EXPECT_EQ(rec.draws[1].texture, "A");
  EXPECT_EQ(rec.draws[1].vertices[0].color, 0xFFFF0000u);
}

TEST_F(DrawLayerTest, OnlyDeveloperModeRefusesFlushesFromOtherThreads) {
  ZY_DrawRect(0, 0, 1, 1);
  std::thread([] { ZYI_Flush(); }).join();  // outside developer mode: allowed
  EXPECT_EQ(rec.draws.size(), 1u);
  EXPECT_FALSE(PopupShown("Call to Flush from non-renderer thread."));

  rec.draws.clear();
  zy::config.developer_mode = 1;
  ZY_DrawRect(0, 0, 1, 1);
  std::thread([] {
    ZYI_Flush();
    // Filling the batch from here: the flush at 64 is refused and further quads have no
    // room; none may be written past the buffer.
    for (int i = 0; i < 70; i++) ZY_DrawRect(0, 0, 1, 1);
  }).join();
  EXPECT_TRUE(rec.draws.empty());
  EXPECT_TRUE(PopupShown("Call to Flush from non-renderer thread."));
  EXPECT_EQ(zy::draw.quads, 64);
  ZYI_Flush();  // the main thread draws what was kept
  ASSERT_EQ(rec.draws.size(), 1u);
  EXPECT_EQ(rec.draws[0].vertex_count, 256);
}

TEST_F(DrawLayerTest, WithoutARendererDrawingDoesNothing) {
  ZYI_DrawReleaseBuffers();
  zy::modules.renderer = nullptr;
  rec.calls.clear();
  ZY_Bitmap a = ReadyBitmap(8, 8);
  ZY_DrawRect(0, 0, 5, 5);
  ZY_DrawBitmap(&a, 0, 0);
  ZY_DrawLine(0, 0, 1, 1);
  ZY_PushTransform(nullptr);
  ZY_PopTransform();
  EXPECT_FALSE(ZY_SetClipRect(0, 0, 1, 1));
  ZY_SetBlendMode(2);
  ZYI_Flush();
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(DrawLayerTest, TrianglesDrawFromAnUnlockedBufferWithTheirRealVertexCount) {
  std::vector<ZY_Vertex> vertices(256);
  for (int i = 0; i < 256; i++) vertices[i].x = (float)i;
  std::vector<uint16_t> indices(3072);
  for (int i = 0; i < 3072; i++) indices[i] = (uint16_t)((i * 7) % 256);
  ZY_DrawRect(0, 0, 1, 1);  // pending quads are drawn first
  ZY_DrawTriangles(nullptr, vertices.data(), 256, indices.data(), 3072);
  ASSERT_EQ(rec.draws.size(), 2u);
  const drawtest::Draw &t = rec.draws[1];
  EXPECT_EQ(t.index_buffer, "triangles");
  EXPECT_EQ(t.vertex_count, 256);
  EXPECT_EQ(t.triangles, 1024);
  EXPECT_EQ(t.buffer, "vb1");
  EXPECT_EQ(t.vertices[255].x, 255.0f);
  EXPECT_EQ(t.indices, indices);
  EXPECT_EQ(zy::core.triangles, 2 + 1024);
  EXPECT_EQ(zy::core.batches, 2);
  EXPECT_EQ(rec.misuse, 0);
  // The next batch goes to a fresh buffer.
  ZY_DrawRect(0, 0, 1, 1);
  ZYI_Flush();
  EXPECT_EQ(rec.draws.back().buffer, "vb2");
}

TEST_F(DrawLayerTest, TrianglesOverTheLimitsDrawNothingAndSayWhy) {
  std::vector<ZY_Vertex> vertices(257);
  std::vector<uint16_t> indices(3073, 0);
  ZY_DrawTriangles(nullptr, vertices.data(), 257, indices.data(), 3);
  EXPECT_TRUE(PopupShown("Too many vertices (257) for DrawTriangles call. Maximum is 256. Not "
                         "drawing anything for this call."));
  ZY_DrawTriangles(nullptr, vertices.data(), 3, indices.data(), 3073);
  EXPECT_TRUE(PopupShown("Too many indices (3073) for DrawTriangles call. Maximum is 3072. Not "
                         "drawing anything for this call."));
  // An index past the vertices given would read foreign memory in the renderer.
  indices[1] = 3;
  ZY_DrawTriangles(nullptr, vertices.data(), 3, indices.data(), 3);
  EXPECT_TRUE(PopupShown("Index 3 out of range (3 vertices) for DrawTriangles call. Not drawing "
                         "anything for this call."));
  EXPECT_TRUE(rec.draws.empty());
  EXPECT_EQ(zy::core.triangles, 0);
}

TEST_F(DrawLayerTest, TexturedTrianglesBindTheirBitmapAndSkipOneThatIsNotReady) {
  ZY_Bitmap a = ReadyBitmap(8, 8);
  Name(a, "A");
  ZY_Vertex v[3] = {};
  uint16_t ix[3] = {0, 1, 2};
  ZY_DrawTriangles(&a, v, 3, ix, 3);
  ASSERT_EQ(rec.draws.size(), 1u);
  EXPECT_EQ(rec.draws[0].texture, "A");
  a.state = ZY_BITMAP_STATE_LOADING;
  ZY_DrawTriangles(&a, v, 3, ix, 3);
  EXPECT_EQ(rec.draws.size(), 1u);
}

TEST_F(DrawLayerTest, LinesFlushClearTheTextureAndCarryDepthAndColour) {
  ZY_Bitmap a = ReadyBitmap(8, 8);
  Name(a, "A");
  ZY_DrawBitmap(&a, 0, 0);
  ZY_SetDrawDepth(0.5f);
  ZY_SetColor(0.0f, 1.0f, 0.0f);
  ZY_DrawLine(1, 2, 3, 4);
  std::vector<std::string> tail(rec.calls.end() - 5, rec.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"SetTexture 0 A", "DrawIndexed vb0 4 quads 2",
                                            "Lock vb1", "SetTexture 0 -", "DrawLine"}));
  ASSERT_EQ(rec.lines.size(), 1u);
  const ZY_Vertex &p = rec.lines[0][0], &q = rec.lines[0][1];
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_EQ(p.y, 2.0f);
  EXPECT_EQ(q.x, 3.0f);
  EXPECT_EQ(q.y, 4.0f);
  EXPECT_EQ(p.z, 0.5f);
  EXPECT_EQ(p.color, 0xFF00FF00u);
  EXPECT_EQ(p.u, 0.0f);
  EXPECT_EQ(q.v, 0.0f);
  // After the line the bitmap binds again.
  rec.calls.clear();
  ZY_DrawBitmap(&a, 0, 0);
  EXPECT_EQ(rec.calls.front(), "SetTexture 0 A");

  // Line vertices given by the program reach the renderer unchanged.
  ZY_Vertex given[2] = {{5, 6, 7, 0x12345678u, 0.25f, 0.75f}, {8, 9, 10, 0x9ABCDEF0u, 1, 1}};
  ZY_DrawLineVertices(given);
  ASSERT_EQ(rec.lines.size(), 2u);
  EXPECT_EQ(memcmp(&rec.lines[1][0], &given[0], sizeof given[0]), 0);
  EXPECT_EQ(memcmp(&rec.lines[1][1], &given[1], sizeof given[1]), 0);

  // A renderer that takes R, G, B, A bytes gets the program's words converted.
  zy::modules.colour_order = ZY_COLOUR_ORDER_RGBA_BYTES;
  ZY_DrawLineVertices(given);
  ASSERT_EQ(rec.lines.size(), 3u);
  EXPECT_EQ(rec.lines[2][0].color, 0x12785634u);
  EXPECT_EQ(rec.lines[2][1].color, 0x9AF0DEBCu);
  EXPECT_EQ(rec.lines[2][0].x, 5.0f);
}
