// Modes, renderer states, forwards, projection and depth, the clip rectangle with and
// without autoscaling, and the developer counters.
#include "draw_test.h"
#include "config/config.h"
#include "lifecycle/resolution.h"


TEST_F(DrawLayerTest, ModesReachTheRendererOnlyWhenTheyChangeAndAfterAFlush) {
  ZY_DrawRect(0, 0, 1, 1);
  ZY_SetBlendMode(2);
  ZY_SetBlendMode(2);
  ZY_SetRenderMode(1);  // the current render mode after buffer creation
  ZY_SetRenderMode(4);
  std::vector<std::string> want = {"Unlock vb0", "SetTexture 0 -", "DrawIndexed vb0 4 quads 2",
                                   "Lock vb1", "SetBlendMode 2", "SetRenderMode 4"};
  EXPECT_EQ(rec.calls, want);
}

TEST_F(DrawLayerTest, RenderStatesGoToTheirOperationsOrAreReported) {
  ZY_DrawRect(0, 0, 1, 1);
  ZY_SetRenderStateb(10, true);
  EXPECT_EQ(rec.draws.size(), 1u);  // flushed first
  ZY_SetRenderStateb(11, false);
  ZY_SetRenderStatei(12, 7);
  ZY_SetRenderStateb(5, true);
  ZY_SetRenderStatef(3, 1.5f);
  ZY_SetRenderStatei(7, 9);
  EXPECT_EQ(rec.Calls("SetRenderState"),
            (std::vector<std::string>{"SetRenderState10 1", "SetRenderState11 0",
                                      "SetRenderState12 7"}));
  EXPECT_TRUE(PopupShown("SetRenderStateb (5, true) state not supported with this method."));
  EXPECT_TRUE(PopupShown("SetRenderStatef (3, 1.5) state not supported with this method."));
  EXPECT_TRUE(PopupShown("SetRenderStatei (7, 9) state not supported with this method."));
}

TEST_F(DrawLayerTest, ForwardsFlushAndPassTheirValuesUnchanged) {
  ZY_DrawRect(0, 0, 1, 1);
  ZY_Forward3(4, 0.5f, -2);
  ZY_DrawRect(0, 0, 1, 1);
  ZY_Forward1(99);
  std::vector<std::string> seen;
  for (const std::string &c : rec.calls)
    if (c.rfind("Forward", 0) == 0 || c.rfind("DrawIndexed", 0) == 0) seen.push_back(c);
  EXPECT_EQ(seen, (std::vector<std::string>{"DrawIndexed vb0 4 quads 2", "Forward3 4 0.500000 -2",
                                            "DrawIndexed vb1 4 quads 2", "Forward1 99"}));
}

TEST_F(DrawLayerTest, ProjectionKeepsNearAtLeastATenthAndFarAtLeastNear) {
  ZY_SetProjection(0.05f, 0.5f, 0.01f);
  ZY_SetProjection(0.1f, 2.0f, 5.0f);
  ZY_SetProjection(1.0f, 2.0f, 3.0f);
  EXPECT_EQ(rec.Calls("SetProjection"),
            (std::vector<std::string>{"SetProjection 0.100000 0.500000 0.100000",
                                      "SetProjection 0.100000 2.000000 5.000000",
                                      "SetProjection 1.000000 2.000000 3.000000"}));
  // After a renderer initialisation the kept values are sent again.
  ZY_SetDrawDepth(0.25f);
  rec.calls.clear();
  ZYI_DrawSendProjection();
  EXPECT_EQ(rec.calls, std::vector<std::string>{"SetProjection 1.000000 2.000000 3.000000"});
  EXPECT_EQ(ZY_GetDrawDepth(), 0.25f);
  for (int i = 0; i < 4; i++) EXPECT_EQ(zy::draw.quad[i].z, 0.25f);
}

TEST_F(DrawLayerTest, ClipRectanglePassesThroughWithoutAutoscaling) {
  EXPECT_TRUE(ZY_SetClipRect(10, 20, 30, 40));
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"SetClipRect 10 20 30 40", "SetTransform"}));
  rec.clip_answer = false;
  rec.calls.clear();
  EXPECT_FALSE(ZY_SetClipRect(1, 2, 3, 4));
  EXPECT_EQ(rec.calls, std::vector<std::string>{"SetClipRect 1 2 3 4"});  // no transform resent
  rec.calls.clear();
  ZY_DrawRect(0, 0, 1, 1);
  ZY_ResetClipRect();
  std::vector<std::string> tail(rec.calls.end() - 3, rec.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Lock vb1", "ResetClipRect", "SetTransform"}));
  EXPECT_EQ(rec.draws.size(), 1u);
}

TEST_F(DrawLayerTest, ClipRectangleIsScaledIntoWindowPixelsWhileAutoscaling) {
  zy::display.autoscale = 1;
  zy::display.scale_x = 0.9375f;
  zy::display.scale_y = 1.5f;
  zy::display.offset_x = 160.0f;
  zy::display.offset_y = 3.0f;
  EXPECT_TRUE(ZY_SetClipRect(10, 20, 30, 41));
  // x 10 * 0.9375 + 160 = 169.375, y 20 * 1.5 + 3 = 33, width 28.125, height 61.5.
  EXPECT_EQ(rec.Calls("SetClipRect"), std::vector<std::string>{"SetClipRect 169 33 28 61"});
}

TEST_F(DrawLayerTest, F10ShowsTheCountersOfThePassInDeveloperMode) {
  ZYI_DrawCounters();  // not developer mode: nothing
  zy::config.developer_mode = 1;
  ZYI_DrawCounters();  // F10 not held: nothing
  EXPECT_TRUE(rec.calls.empty());

  ZY_SetKeyState(ZY_KEY_F10, ZY_KEY_STATE_DOWN);
  zy::core.batches = 3;
  zy::core.triangles = 12;
  ZYI_DrawCounters();
  const std::vector<ZY_Vertex> &q = OnlyDraw();  // the box, flushed at once
  ASSERT_EQ(q.size(), 4u);
  EXPECT_EQ(q[0].x, 45.0f);
  EXPECT_EQ(q[0].y, 5.0f);
  EXPECT_EQ(q[3].x, 445.0f);
  EXPECT_EQ(q[3].y, 35.0f);
  EXPECT_EQ(q[0].color, 0xFF000000u);  // opaque black
  EXPECT_EQ(zy::draw.color, 0xFFFFFFFFu);  // white again afterwards
  EXPECT_EQ(zy::core.batches, 4);
}
