// The transform stack, the render-target stack and the vertex hooks.
#include "draw_test.h"

using drawtest::ReadyBitmap;

namespace {

std::array<float, 16> Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

std::array<float, 16> Translation(float x, float y) {
  std::array<float, 16> m = Identity();
  m[3] = x;
  m[7] = y;
  return m;
}

std::array<float, 16> Scaling(float s) {
  std::array<float, 16> m = Identity();
  m[0] = m[5] = s;
  return m;
}

std::array<float, 16> Top() {
  std::array<float, 16> m;
  EXPECT_EQ(ZY_GetTransform(m.data()), m.data());
  return m;
}

void AddX(ZY_Vertex *v, int32_t count, void *data) {
  for (int i = 0; i < count; i++) v[i].x += *(float *)data;
}

void AddY(ZY_Vertex *v, int32_t count, void *data) {
  for (int i = 0; i < count; i++) v[i].y += *(float *)data;
}

}  // namespace

TEST_F(DrawLayerTest, PushMultipliesOntoTheTopAndNullStartsFromTheIdentity) {
  std::array<float, 16> move = Translation(10, 20), twice = Scaling(2);
  ZY_PushTransform(move.data());
  ZY_PushTransform(twice.data());
  // top x matrix: the scale applies first, the translation is kept as it was.
  std::array<float, 16> want = {2, 0, 0, 10, 0, 2, 0, 20, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_EQ(Top(), want);
  ASSERT_EQ(rec.transforms.size(), 2u);
  EXPECT_EQ(rec.transforms[0], move);
  EXPECT_EQ(rec.transforms[1], want);

  ZY_PushTransform(nullptr);
  EXPECT_EQ(Top(), Identity());
  EXPECT_EQ(ZYI_TransformDepth(), 3);

  ZY_PopTransform();
  EXPECT_EQ(rec.transforms.back(), want);
  ZY_PopTransform();
  ZY_PopTransform();
  EXPECT_EQ(rec.transforms.back(), Identity());  // the empty stack sends the identity
  EXPECT_EQ(Top(), Identity());
  EXPECT_EQ(ZYI_TransformDepth(), 0);
}

TEST_F(DrawLayerTest, TheStackHoldsThirtyTwoTransformsAndPoppingAnEmptyOneIsReported) {
  std::array<float, 16> move = Translation(1, 0);
  for (int i = 0; i < 33; i++) ZY_PushTransform(move.data());
  EXPECT_EQ(ZYI_TransformDepth(), 32);
  EXPECT_EQ(rec.transforms.size(), 32u);  // the 33rd was ignored
  EXPECT_EQ(Top()[3], 32.0f);
  for (int i = 0; i < 32; i++) ZY_PopTransform();
  EXPECT_FALSE(PopupShown("Calling ZY_PopTransform() too many times! Check your code!"));
  ZY_PopTransform();
  EXPECT_TRUE(PopupShown("Calling ZY_PopTransform() too many times! Check your code!"));
  EXPECT_EQ(ZYI_TransformDepth(), 0);
}

TEST_F(DrawLayerTest, QuadsAreDrawnBeforeTheTransformChanges) {
  ZY_DrawRect(0, 0, 1, 1);
  std::array<float, 16> move = Translation(5, 5);
  ZY_PushTransform(move.data());
  ZY_DrawRect(0, 0, 1, 1);
  ZY_PopTransform();
  std::vector<std::string> order;
  for (const std::string &c : rec.calls)
    if (c.rfind("DrawIndexed", 0) == 0)
      order.push_back("DrawIndexed");
    else if (c == "SetTransform")
      order.push_back(c);
  EXPECT_EQ(order, (std::vector<std::string>{"DrawIndexed", "SetTransform", "DrawIndexed",
                                             "SetTransform"}));
}

TEST_F(DrawLayerTest, RenderTargetsStackAndSetTheScreenTransformAside) {
  ZY_Bitmap a = ReadyBitmap(32, 32), b = ReadyBitmap(32, 32);
  Name(a, "A");
  Name(b, "B");
  std::array<float, 16> screen = Scaling(3);
  ZY_PushTransform(screen.data());
  rec.calls.clear();

  EXPECT_TRUE(ZY_SetRenderTarget(nullptr));  // already the screen
  EXPECT_TRUE(rec.calls.empty());

  EXPECT_TRUE(ZY_PushRenderTarget(&a));
  EXPECT_EQ(ZYI_CurrentRenderTarget(), &a);
  EXPECT_EQ(ZYI_TransformDepth(), 2);  // an identity on top of the screen's transform
  EXPECT_EQ(rec.transforms.back(), Identity());
  EXPECT_EQ(rec.Calls("SetRenderTarget"), std::vector<std::string>{"SetRenderTarget A"});

  EXPECT_TRUE(ZY_PushRenderTarget(&b));  // bitmap to bitmap: the transform stays
  EXPECT_EQ(ZYI_TransformDepth(), 2);

  EXPECT_TRUE(ZY_PopRenderTarget());
  EXPECT_EQ(ZYI_CurrentRenderTarget(), &a);
  EXPECT_TRUE(ZY_PopRenderTarget());
  EXPECT_EQ(ZYI_CurrentRenderTarget(), nullptr);
  EXPECT_EQ(ZYI_TransformDepth(), 1);
  EXPECT_EQ(rec.transforms.back(), screen);
  EXPECT_EQ(rec.Calls("SetRenderTarget"),
            (std::vector<std::string>{"SetRenderTarget A", "SetRenderTarget B",
                                      "SetRenderTarget A", "SetRenderTarget -"}));

  EXPECT_FALSE(ZY_PopRenderTarget());  // only the screen is left
  EXPECT_TRUE(PopupShown(
      "PopRenderTarget: Render Target Stack is empty! You're calling too many times "
      "PopRenderStack. Make sure you're calling same amount of PushRenderTarget and "
      "PopRenderTarget calls during a render frame."));
  EXPECT_EQ(zy::draw.target_count, 1);
}

TEST_F(DrawLayerTest, TheRenderersAnswerIsReturnedAndTheTargetChangesAnyway) {
  ZY_Bitmap a = ReadyBitmap(32, 32);
  rec.target_answer = false;
  EXPECT_FALSE(ZY_SetRenderTarget(&a));
  EXPECT_EQ(ZYI_CurrentRenderTarget(), &a);
  rec.target_answer = true;
  zy::core.renderer_ready = 0;  // not ready: the renderer is not asked
  rec.calls.clear();
  EXPECT_FALSE(ZY_SetRenderTarget(nullptr));
  EXPECT_TRUE(rec.Calls("SetRenderTarget").empty());
  EXPECT_EQ(ZYI_CurrentRenderTarget(), nullptr);
  EXPECT_EQ(ZYI_TransformDepth(), 0);
}

TEST_F(DrawLayerTest, TheRenderTargetStackGrowsAndShrinks) {
  std::vector<ZY_Bitmap> targets(100, ReadyBitmap(4, 4));
  for (ZY_Bitmap &t : targets) ZY_PushRenderTarget(&t);
  EXPECT_EQ(zy::draw.target_count, 101);
  EXPECT_EQ(zy::draw.target_capacity, 128);
  for (int i = 0; i < 90; i++) ZY_PopRenderTarget();
  EXPECT_EQ(zy::draw.target_count, 11);
  EXPECT_LE(zy::draw.target_capacity, 64);
  EXPECT_GE(zy::draw.target_capacity, zy::draw.target_count);
  EXPECT_EQ(ZYI_CurrentRenderTarget(), &targets[9]);
  for (int i = 0; i < 10; i++) ZY_PopRenderTarget();
  EXPECT_EQ(ZYI_CurrentRenderTarget(), nullptr);
  EXPECT_EQ(ZYI_TransformDepth(), 0);
}

TEST_F(DrawLayerTest, VertexHooksRunAboveTheHighestBarrier) {
  float ten = 10, hundred = 100;
  ZY_PushVertexHook(AddX, &ten);
  ZY_DrawRect(0, 0, 1, 1);
  ZY_PushVertexHook(nullptr, nullptr);  // barrier: AddX is hidden
  ZY_PushVertexHook(AddY, &hundred);
  ZY_DrawRect(0, 0, 1, 1);
  ZY_PopVertexHook();  // only the barrier left on top: nothing applies
  ZY_DrawRect(0, 0, 1, 1);
  ZY_PopVertexHook();  // the barrier goes: AddX applies again
  ZY_DrawRect(0, 0, 1, 1);
  ZYI_Flush();
  const std::vector<ZY_Vertex> &q = OnlyDraw();
  ASSERT_EQ(q.size(), 16u);
  EXPECT_EQ(q[0].x, 10.0f);
  EXPECT_EQ(q[0].y, 0.0f);
  EXPECT_EQ(q[4].x, 0.0f);
  EXPECT_EQ(q[7].y, 101.0f);
  EXPECT_EQ(q[8].x, 0.0f);
  EXPECT_EQ(q[8].y, 0.0f);
  EXPECT_EQ(q[12].x, 10.0f);

  ZY_Vertex one = {};
  ZY_ApplyVertexHooks(&one);
  EXPECT_EQ(one.x, 10.0f);
}

TEST_F(DrawLayerTest, RemovingAHookNeedsTheSameFunctionAndDataAmongTheActiveOnes) {
  float one = 1, two = 2;
  ZY_PushVertexHook(AddX, &one);
  ZY_PushVertexHook(nullptr, nullptr);
  ZY_PushVertexHook(AddX, &two);
  ZY_PushVertexHook(AddY, &one);
  EXPECT_FALSE(ZY_RemoveVertexHook(AddX, &one));  // below the barrier
  EXPECT_FALSE(ZY_RemoveVertexHook(AddY, &two));
  EXPECT_TRUE(ZY_RemoveVertexHook(AddX, &two));
  EXPECT_FALSE(ZY_RemoveVertexHook(AddX, &two));
  ZY_Vertex v = {};
  ZY_ApplyVertexHooks(&v);
  EXPECT_EQ(v.x, 0.0f);
  EXPECT_EQ(v.y, 1.0f);  // AddY moved down and still applies
  EXPECT_EQ(zy::draw.hook_count, 3);
}

TEST_F(DrawLayerTest, SixteenHooksAtMost) {
  float one = 1;
  for (int i = 0; i < 17; i++) ZY_PushVertexHook(AddX, &one);
  ZY_Vertex v = {};
  ZY_ApplyVertexHooks(&v);
  EXPECT_EQ(v.x, 16.0f);
  for (int i = 0; i < 20; i++) ZY_PopVertexHook();  // popping past empty is harmless
  v.x = 0;
  ZY_ApplyVertexHooks(&v);
  EXPECT_EQ(v.x, 0.0f);
}
