// The draw layer on the recording renderer: batches of 64 quads, texture changes, the buffer
// ring, the pass reset, the overdraw view (F9), the renderer-thread rule, triangles and
// lines in both colour orders, the transform, render-target and hook stacks, state changes
// and the clip rectangle.
#include <math.h>

#include "engine_test.h"

using enginetest::Ready;
using Strings = std::vector<std::string>;
using Matrix = std::array<float, 16>;

class DrawLayer : public EngineTest {};
class DrawThreads : public EngineTest {};

namespace {

Matrix Scale(float s, float x = 0, float y = 0) {
  return {s, 0, 0, x, 0, s, 0, y, 0, 0, 1, 0, 0, 0, 0, 1};
}
const Matrix IDENTITY = Scale(1);

void AddX(ZY_Vertex *v, int32_t n, void *d) {
  for (int i = 0; i < n; i++) v[i].x += *(float *)d;
}

}  // namespace

TEST_F(DrawLayer, BuffersAreReleasedUnlockedAndOneTheRendererCannotGiveLeavesNone) {
  ZYI_DrawReleaseBuffers();
  EXPECT_EQ(rec.released, 34);
  rec.fail_store = (int)rec.stores.size() + 7;
  EXPECT_FALSE(ZYI_DrawCreateBuffers());
  EXPECT_EQ(rec.released, 34 + 7 + 2);  // the seven made before and both index buffers
  ZY_DrawRect(0, 0, 10, 10);
  ZYI_Flush();
  EXPECT_TRUE(rec.draws.empty());
  EXPECT_EQ(rec.misuse, 0);  // nothing was released locked
}

TEST_F(DrawLayer, SixtyFiveQuadsOfOneTextureGiveDrawsOf64And1) {
  ZY_Bitmap a = Ready(8, 8);
  Name(a, "A");
  for (int i = 0; i < 65; i++) ZY_DrawBitmap(&a, (float)i, 0);
  ASSERT_EQ(rec.draws.size(), 1u);  // the 64th quad filled the batch
  ZYI_Flush();
  EXPECT_EQ(rec.calls, (Strings{"SetTexture 0 A", "SetTexture 0 A", "DrawIndexed vb0 256 quads 128",
                                "SetTexture 0 A", "DrawIndexed vb1 4 quads 2"}));
  EXPECT_EQ(rec.draws[1].vertices[0].x, 64.0f);
  EXPECT_TRUE(zy::core.batches == 2 && zy::core.triangles == 130 && rec.misuse == 0);
}

TEST_F(DrawLayer, EachTextureChangeDrawsTheBatchAndFlushesWalkARingOf32Buffers) {
  ZY_Bitmap a = Ready(8, 8), b = Ready(8, 8);
  Name(a, "A"), Name(b, "B");
  for (ZY_Bitmap *each : {&a, &b, &a}) ZY_DrawBitmap(each, 0, 0);
  ZY_DrawRect(0, 0, 1, 1);  // untextured: another change
  for (int i = 0; i < 30; i++) ZY_DrawRect(0, 0, 1, 1), ZYI_Flush();
  ZYI_Flush();  // an empty batch draws nothing and keeps its buffer
  ASSERT_EQ(rec.draws.size(), 33u);
  for (int i = 0; i < 33; i++) {
    EXPECT_EQ(rec.draws[i].texture, i < 3 ? (i == 1 ? "B" : "A") : "-") << i;
    EXPECT_EQ(rec.draws[i].buffer, "vb" + std::to_string(i % 32));
  }
  EXPECT_EQ(rec.draws[3].vertex_count, 8);
  EXPECT_EQ(rec.misuse, 0);
}

TEST_F(DrawLayer, APassStartsWithAnEmptyBatchAndForgottenModes) {
  ZY_Bitmap a = Ready(8, 8);
  Name(a, "A");
  ZY_DrawBitmap(&a, 0, 0);
  ZY_SetBlendMode(0);  // already current: nothing reaches the renderer
  ZYI_DrawBeginPass();
  ZYI_Flush();  // the stale quad is gone
  ZY_SetBlendMode(0);
  ZY_SetRenderMode(1);
  ZY_DrawBitmap(&a, 0, 0);  // no texture is current: it binds again
  EXPECT_TRUE(rec.draws.empty());
  EXPECT_EQ(rec.calls,
            (Strings{"SetTexture 0 A", "SetBlendMode 0", "SetRenderMode 1", "SetTexture 0 A"}));
}

TEST_F(DrawLayer, OverdrawViewDrawsWhiteTranslucentUntexturedQuadsWithBlendModeOne) {
  ZY_SetKeyState(ZY_KEY_F9, ZY_KEY_STATE_DOWN);
  ZY_Bitmap a = Ready(8, 8);
  Name(a, "A");
  for (int developer : {1, 0}) {  // without developer mode the key does nothing
    zy::config.developer_mode = developer;
    ZY_SetColor(1.0f, 0.0f, 0.0f);
    ZY_DrawBitmap(&a, 0, 0);
    ZY_SetBlendMode(3);
    ASSERT_EQ(rec.draws.size(), 2u - developer);
    EXPECT_EQ(rec.draws.back().texture, developer ? "-" : "A");
    for (const ZY_Vertex &v : rec.draws.back().vertices)
      EXPECT_EQ(v.color, developer ? 0x19FFFFFFu : 0xFFFF0000u);
  }
  EXPECT_EQ(rec.Calls("SetBlendMode"), (Strings{"SetBlendMode 1", "SetBlendMode 3"}));
}

TEST_F(DrawThreads, OnlyDeveloperModeRefusesFlushesFromOtherThreads) {
  const char *refused = "Call to Flush from non-renderer thread.";
  zy::config.developer_mode = 0;
  ZY_DrawRect(0, 0, 1, 1);
  std::thread([] { ZYI_Flush(); }).join();
  EXPECT_TRUE(rec.draws.size() == 1 && Popups(refused) == 0);
  zy::config.developer_mode = 1;
  ZY_DrawRect(0, 0, 1, 1);
  std::thread([] {  // the flush at 64 is refused too; later quads must not pass the buffer
    ZYI_Flush();
    for (int i = 0; i < 70; i++) ZY_DrawRect(0, 0, 1, 1);
  }).join();
  EXPECT_TRUE(rec.draws.size() == 1 && Popups(refused) >= 1);
  ZYI_Flush();  // the main thread draws what was kept
  ASSERT_EQ(rec.draws.size(), 2u);
  EXPECT_EQ(rec.draws[1].vertex_count, 256);
}

TEST_F(DrawLayer, TrianglesDrawFromAnUnlockedBufferWithTheirCountOrNotAtAll) {
  std::vector<ZY_Vertex> v(257, ZY_Vertex{0, 0, 0, 0x80112233u, 0, 0});
  std::vector<uint16_t> ix(3073);
  for (int i = 0; i < 3073; i++) ix[i] = (uint16_t)((i * 7) % 256), v[i % 257].x = (float)(i % 257);
  const uint16_t three[3] = {0, 1, 2}, bad[3] = {0, 3, 1};
  ZY_DrawRect(0, 0, 1, 1);  // pending quads are drawn first
  ZY_DrawTriangles(nullptr, v.data(), 256, ix.data(), 3072);
  ZY_DrawRect(0, 0, 1, 1);  // the next batch goes to a fresh buffer
  ZYI_Flush();
  zy::modules.colour_order = ZY_COLOUR_ORDER_RGBA_BYTES;  // the program's words converted
  ZY_DrawTriangles(nullptr, v.data(), 3, three, 3);
  ZY_DrawTriangles(nullptr, v.data(), 257, three, 3);
  ZY_DrawTriangles(nullptr, v.data(), 3, ix.data(), 3073);
  ZY_DrawTriangles(nullptr, v.data(), 3, bad, 3);  // would read foreign vertices
  ZY_Bitmap a = Ready(8, 8);
  a.state = ZY_BITMAP_STATE_LOADING;
  ZY_DrawTriangles(&a, v.data(), 3, three, 3);
  EXPECT_EQ(rec.Calls("DrawIndexed"),
            (Strings{"DrawIndexed vb0 4 quads 2", "DrawIndexed vb1 256 triangles 1024",
                     "DrawIndexed vb2 4 quads 2", "DrawIndexed vb3 3 triangles 1"}));
  EXPECT_EQ(rec.draws[1].indices, std::vector<uint16_t>(ix.begin(), ix.end() - 1));
  EXPECT_TRUE(rec.draws[1].vertices[255].x == 255 && rec.draws[1].vertices[0].color == 0x80112233u);
  EXPECT_EQ(rec.draws[3].vertices[2].color, 0x80332211u);
  EXPECT_TRUE(zy::core.triangles == 2 + 1024 + 2 + 1 && rec.misuse == 0);
  for (const char *m : {"Too many vertices (257) for DrawTriangles call. Maximum is 256.",
                        "Too many indices (3073) for DrawTriangles call. Maximum is 3072.",
                        "Index 3 out of range (3 vertices) for DrawTriangles call."})
    EXPECT_EQ(Popups(std::string(m) + " Not drawing anything for this call."), 1) << m;
}

TEST_F(DrawLayer, LinesFlushClearTheTextureAndCarryDepthAndColourInTheRendererOrder) {
  ZY_Bitmap a = Ready(8, 8);
  Name(a, "A");
  ZY_DrawBitmap(&a, 0, 0);
  ZY_SetDrawDepth(0.5f);
  ZY_SetColor(0.0f, 1.0f, 0.0f);
  ZY_DrawLine(1, 2, 3, 4);
  ZY_DrawBitmap(&a, 0, 0);  // after the line the bitmap binds again
  EXPECT_EQ(rec.calls, (Strings{"SetTexture 0 A", "SetTexture 0 A", "DrawIndexed vb0 4 quads 2",
                                "SetTexture 0 -", "DrawLine", "SetTexture 0 A"}));
  const ZY_Vertex &p = rec.lines[0][0], &q = rec.lines[0][1];
  EXPECT_EQ((std::array<float, 6>{p.x, p.y, q.x, q.y, p.z, q.u}),
            (std::array<float, 6>{1, 2, 3, 4, 0.5f, 0}));
  EXPECT_EQ(p.color, 0xFF00FF00u);
  // Vertices given by the program reach the renderer unchanged, or with red and blue
  // swapped for a renderer that takes bytes R, G, B, A.
  ZY_Vertex given[2] = {{5, 6, 7, 0x12345678u, 0.25f, 0.75f}, {8, 9, 10, 0x9ABCDEF0u, 1, 1}};
  ZY_DrawLineVertices(given);
  zy::modules.colour_order = ZY_COLOUR_ORDER_RGBA_BYTES;
  ZY_DrawLineVertices(given);
  EXPECT_EQ(memcmp(rec.lines[1].data(), given, sizeof given), 0);
  EXPECT_TRUE(rec.lines[2][0].color == 0x12785634u && rec.lines[2][1].color == 0x9AF0DEBCu);
}

TEST_F(DrawLayer, ColourChannelsAreClampedAndAlphaZeroHidesRectanglesAndBitmaps) {
  ZY_Bitmap a = Ready(4, 4);
  ZY_SetDrawDepth(0.75f);
  for (float alpha : {0.5f, -3.0f}) {
    rec.draws.clear();
    ZY_SetAlpha(alpha);
    ZY_SetColorRGBA(2, -1, 0.5f);  // no channel spills into its neighbour
    ZY_DrawRect(0, 0, 1, 1);
    ZY_DrawBitmap(&a, 0, 0);
    ZYI_Flush();
    ASSERT_EQ(rec.draws.size(), alpha > 0 ? 2u : 0u);
    for (const auto &d : rec.draws)
      for (const ZY_Vertex &v : d.vertices) EXPECT_TRUE(v.color == 0x7F7F00FFu && v.z == 0.75f);
  }
}

TEST_F(DrawLayer, BitmapsNotReadyOrAbsentDrawNothing) {
  ZY_Bitmap waiting = Ready(8, 8), off_gpu = Ready(8, 8), empty = Ready(0, 0);
  waiting.state = ZY_BITMAP_STATE_WAITING, off_gpu.hw.on_gpu = 0;
  ZY_Point p = {0, 0};
  ZY_ColorF c = {1, 1, 1, 1};
  for (ZY_Bitmap *bm : {&waiting, &off_gpu, (ZY_Bitmap *)nullptr})
    ZY_DrawBitmap(bm, 0, 0), ZY_DrawBitmapEx(bm, 0, 0, 0, 1),
        ZY_DrawBitmapPart(bm, 0, 0, 0, 0, 4, 4), ZY_DrawBitmapLine(bm, &p, &p, 1, 1, &c, &c);
  ZY_DrawBitmapPart(&empty, 0, 0, 0, 0, 4, 4);  // no size: nothing to divide by
  ZYI_Flush();
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(DrawLayer, TransformsMultiplyOntoTheTopAfterAFlushAndTheStackHolds32) {
  const Matrix move = Scale(1, 10, 20), twice = Scale(2), both = Scale(2, 10, 20);
  ZY_DrawRect(0, 0, 1, 1);
  ZY_PushTransform(move.data());
  ZY_PushTransform(twice.data());  // the new one applies first
  ZY_PushTransform(nullptr);       // starts from the identity
  ZY_PopTransform();
  EXPECT_EQ(rec.calls, (Strings{"SetTexture 0 -", "DrawIndexed vb0 4 quads 2", "SetTransform",
                                "SetTransform", "SetTransform", "SetTransform"}));
  EXPECT_EQ(rec.transforms, (std::vector<Matrix>{move, both, IDENTITY, both}));
  ZY_PopTransform();
  ZY_PopTransform();
  EXPECT_EQ(rec.transforms.back(), IDENTITY);  // the empty stack sends the identity
  rec.transforms.clear();
  for (int i = 0; i < 33; i++) ZY_PushTransform(move.data());
  EXPECT_EQ(rec.transforms.size(), 32u);  // the 33rd was ignored
  EXPECT_EQ(rec.transforms.back()[3], 320.0f);
  const char *message = "Calling ZY_PopTransform() too many times! Check your code!";
  for (int i = 0; i < 32; i++) ZY_PopTransform();
  EXPECT_EQ(Popups(message), 0);
  ZY_PopTransform();
  EXPECT_EQ(Popups(message), 1);
  EXPECT_EQ(ZYI_TransformDepth(), 0);
}

TEST_F(DrawLayer, RenderTargetsStackAndSetTheScreenTransformAside) {
  ZY_Bitmap a = Ready(32, 32), b = Ready(32, 32);
  Name(a, "A"), Name(b, "B");
  const Matrix screen = Scale(3);
  ZY_PushTransform(screen.data());
  EXPECT_TRUE(ZY_SetRenderTarget(nullptr));  // already the screen
  EXPECT_TRUE(ZY_PushRenderTarget(&a));
  EXPECT_EQ(ZYI_TransformDepth(), 2);  // an identity on top of the screen's transform
  EXPECT_EQ(rec.transforms.back(), IDENTITY);
  EXPECT_TRUE(ZY_PushRenderTarget(&b));  // bitmap to bitmap: the transform stays
  EXPECT_TRUE(ZY_PopRenderTarget() && ZYI_CurrentRenderTarget() == &a);
  EXPECT_EQ(ZYI_TransformDepth(), 2);
  EXPECT_TRUE(ZY_PopRenderTarget() && ZYI_CurrentRenderTarget() == nullptr);
  EXPECT_EQ(ZYI_TransformDepth(), 1);
  EXPECT_EQ(rec.transforms.back(), screen);
  EXPECT_FALSE(ZY_PopRenderTarget());  // only the screen is left
  EXPECT_EQ(Popups("PopRenderTarget: Render Target Stack is empty! You're calling too many "
                   "times PopRenderStack. Make sure you're calling same amount of "
                   "PushRenderTarget and PopRenderTarget calls during a render frame."),
            1);
  rec.target_answer = false;  // the answer is returned and the target changes anyway
  EXPECT_FALSE(ZY_SetRenderTarget(&a));
  EXPECT_EQ(ZYI_CurrentRenderTarget(), &a);
  zy::core.renderer_ready = 0;  // not ready: not asked
  EXPECT_FALSE(ZY_SetRenderTarget(nullptr));
  EXPECT_EQ(rec.Calls("SetRenderTarget"), (Strings{"SetRenderTarget A", "SetRenderTarget B",
                                                   "SetRenderTarget A", "SetRenderTarget -",
                                                   "SetRenderTarget A"}));
}

TEST_F(DrawLayer, VertexHooksRunAboveTheHighestBarrierSixteenAtMost) {
  float ten = 10, one = 1, two = 2;
  ZY_PushVertexHook(AddX, &ten);
  ZY_DrawRect(0, 0, 1, 1);
  ZY_PushVertexHook(nullptr, nullptr);  // barrier: AddX is hidden
  ZY_PushVertexHook(AddX, &one);
  ZY_PushVertexHook(AddX, &two);
  EXPECT_FALSE(ZY_RemoveVertexHook(AddX, &ten));  // below the barrier
  EXPECT_TRUE(ZY_RemoveVertexHook(AddX, &one));   // the same function and data
  ZY_DrawRect(0, 0, 1, 1);
  ZY_PopVertexHook();  // only the barrier left on top: nothing applies
  ZY_DrawRect(0, 0, 1, 1);
  ZY_PopVertexHook();  // the barrier goes: AddX applies again
  ZY_DrawRect(0, 0, 1, 1);
  ZYI_Flush();
  const std::vector<ZY_Vertex> &q = OnlyDraw();
  ASSERT_EQ(q.size(), 16u);
  EXPECT_EQ((std::array<float, 4>{q[0].x, q[4].x, q[8].x, q[12].x}),
            (std::array<float, 4>{10, 2, 0, 10}));
  for (int i = 0; i < 17; i++) ZY_PushVertexHook(AddX, &one);
  ZY_Vertex v = {};
  ZY_ApplyVertexHooks(&v);
  EXPECT_EQ(v.x, 10.0f + 15.0f);  // sixteen hooks in all
}

TEST_F(DrawLayer, StateChangesFlushFirstAndReachTheRendererOnlyWhenTheyChange) {
  const struct {
    void (*change)();
    const char *call;  // what the renderer sees after the flush; null: nothing
  } cases[] = {{[] { ZY_SetBlendMode(0); }, nullptr},  // the mode after buffer creation
               {[] { ZY_SetBlendMode(2); }, "SetBlendMode 2"},
               {[] { ZY_SetRenderMode(4); }, "SetRenderMode 4"},
               {[] { ZY_SetRenderStateb(10, true); }, "SetRenderState10 1"},
               {[] { ZY_SetRenderStateb(11, false); }, "SetRenderState11 0"},
               {[] { ZY_SetRenderStatei(12, 7); }, "SetRenderState12 7"},
               {[] { ZY_Forward3(4, 0.5f, -2); }, "Forward3 4 0.5 -2"},
               {[] { ZY_Forward1(99); }, "Forward1 99"},
               {[] { ZY_SetProjection(0.05f, 0.5f, 0.01f); }, "SetProjection 0.1 0.5 0.1"},
               {[] { ZY_SetProjection(1, 2, 3); }, "SetProjection 1 2 3"},
               {[] { ZYI_DrawSendProjection(); }, "SetProjection 1 2 3"},  // a new renderer
               {[] { ZY_SetRenderStateb(5, true); }, nullptr},
               {[] { ZY_SetRenderStatef(3, 1.5f); }, nullptr},
               {[] { ZY_SetRenderStatei(7, 9); }, nullptr}};
  for (const auto &c : cases) {
    rec.calls.clear();
    ZY_DrawRect(0, 0, 1, 1);
    c.change();
    ZYI_Flush();
    const std::string want = c.call ? c.call : "DrawIndexed";  // else the flush comes last
    EXPECT_EQ(rec.calls.back().substr(0, want.size()), want);
  }
  for (const char *s : {"SetRenderStateb (5, true)", "SetRenderStatef (3, 1.5)",
                        "SetRenderStatei (7, 9)"})
    EXPECT_EQ(Popups(std::string(s) + " state not supported with this method."), 1) << s;
}

TEST_F(DrawLayer, ClipRectanglePassesThroughOrIsScaledIntoWindowPixelsWhileAutoscaling) {
  EXPECT_TRUE(ZY_SetClipRect(10, 20, 30, 40));
  rec.clip_answer = false;
  EXPECT_FALSE(ZY_SetClipRect(1, 2, 3, 4));  // refused: no transform resent
  ZY_DrawRect(0, 0, 1, 1);
  ZY_ResetClipRect();
  zy::display.autoscale = 1;
  zy::display.scale_x = 0.9375f, zy::display.scale_y = 1.5f;
  zy::display.offset_x = 160.0f, zy::display.offset_y = 3.0f;
  ZY_SetClipRect(10, 20, 30, 41);  // x 169.375, y 33, width 28.125, height 61.5
  EXPECT_EQ(rec.calls, (Strings{"SetClipRect 10 20 30 40", "SetTransform", "SetClipRect 1 2 3 4",
                                "SetTexture 0 -", "DrawIndexed vb0 4 quads 2", "ResetClipRect",
                                "SetTransform", "SetClipRect 169 33 28 61"}));
}
