// The headless backend: the injected event queue (also fed from several threads) and the
// desktop state a new boot forgets (cursor, clipboard, pending events, the virtual
// window). Its scripted message boxes are what the popup tests of tests/base answer.
#include <stdlib.h>

#include <thread>

#include "host_events.h"
#include "lifecycle/state.h"
#include "zytest.h"

namespace {

// Each test starts from what a new boot leaves of the display layer.
class HeadlessDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
    ZYI_ResetState();
  }
};
class HeadlessEventThreads : public HeadlessDesktop {};

}  // namespace

TEST_F(HeadlessDesktop, InjectedEventsComeBackInOrderWithTheirPathsTerminated) {
  ZyhEvent move = HostEvent(ZYH_EV_MOUSE_MOVE, 0, 10, 20), down = HostEvent(ZYH_EV_KEY_DOWN, 0x41),
           drop = HostEvent(ZYH_EV_DROP_FILE);
  down.alt = true;
  memset(drop.text, 'p', sizeof drop.text);  // unterminated on purpose
  for (const ZyhEvent *ev : {&move, &down, &drop, (ZyhEvent *)nullptr}) ZYH_InjectEvent(ev);  // null is ignored
  EXPECT_EQ(Drain(), (Events{"move 10,20", "down 65 alt", "drop " + std::string(sizeof drop.text - 1, 'p')}));
  EXPECT_FALSE(ZYH_PollEvent(nullptr));
}

TEST_F(HeadlessEventThreads, EventsFromSeveralThreadsAllArriveEachInItsOrder) {
  const int THREADS = 4, EACH = 500;
  std::vector<std::thread> feeders;
  for (int t = 0; t < THREADS; t++)
    feeders.emplace_back([t] {
      for (int i = 0; i < EACH; i++) {
        ZyhEvent ev = HostEvent(ZYH_EV_CHAR, i);
        ev.device = t;
        ZYH_InjectEvent(&ev);
      }
    });
  // The main thread takes events while the feeders still add them; one out of its
  // feeder's order is not counted.
  std::vector<int> next(THREADS, 0);
  int total = 0;
  ZyhEvent ev;
  for (int spins = 0; total < THREADS * EACH && spins < 10000000; spins++)
    if (ZYH_PollEvent(&ev)) total += ev.device >= 0 && ev.device < THREADS && ev.key == next[ev.device]++;
  for (auto &f : feeders) f.join();
  EXPECT_EQ(total, THREADS * EACH);
  EXPECT_FALSE(ZYH_PollEvent(&ev));
}

TEST_F(HeadlessDesktop, CursorAndClipboardAreKeptUntilANewBootForgetsThem) {
  auto clip = [] {
    char *t = ZYH_ClipboardGet();
    std::string s = t ? t : "(null)";
    free(t);
    return s;
  };
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_ARROW);
  for (int c : {(int)ZYH_CURSOR_HAND, (int)ZYH_CURSOR_HIDDEN, 99, -1}) {  // out of range means the arrow
    ZYH_SetCursor((ZyhCursor)c);
    EXPECT_EQ((int)ZYH_GetCursor(), c == 99 || c == -1 ? ZYH_CURSOR_ARROW : c);
  }
  EXPECT_EQ(clip(), "");
  EXPECT_TRUE(ZYH_ClipboardSet("h\xc3\xa9llo\nworld"));
  EXPECT_EQ(clip(), "h\xc3\xa9llo\nworld");
  // A new boot's state reset forgets all of it, and events nobody took.
  ZYH_SetCursor(ZYH_CURSOR_WAIT);
  ZyhEvent ev = HostEvent(ZYH_EV_CLOSE);
  ZYH_InjectEvent(&ev);
  ZyhWindowDesc desc = {"Game", 10, 10, true, false, false, false, false};
  ASSERT_TRUE(ZYH_WindowCreate(&desc));
  ZYI_ResetState();
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_ARROW);
  EXPECT_TRUE(Drain().empty() && !ZYH_WindowExists() && clip().empty());
}
