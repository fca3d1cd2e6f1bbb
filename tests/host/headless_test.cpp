// The headless backend: scripted message-box answers with their echo, the virtual window,
// the injected event queue, the clipboard, the screen size and cursors.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "zytest.h"

namespace {

struct BoxCase {
  const char *env;           // ZYLEM_POPUP_ANSWER, or null when unset
  ZyhAnswer ok, okcancel, yesnocancel;  // expected answer of each button set
};

ZyhEvent Event(ZyhEventType type, int key = 0) {
  ZyhEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = type;
  ev.key = key;
  return ev;
}

}  // namespace

TEST(HeadlessPopup, AnswersComeFromTheEnvironmentAndOnlyAsTheSetOffers) {
  const BoxCase cases[] = {
      {nullptr, ZYH_ID_OK, ZYH_ID_OK, ZYH_ID_YES},
      {"ok", ZYH_ID_OK, ZYH_ID_OK, ZYH_ID_YES},  // Yes/No/Cancel offers no OK: default
      {"cancel", ZYH_ID_OK, ZYH_ID_CANCEL, ZYH_ID_CANCEL},
      {"yes", ZYH_ID_OK, ZYH_ID_OK, ZYH_ID_YES},
      {"no", ZYH_ID_OK, ZYH_ID_OK, ZYH_ID_NO},
      {"NO", ZYH_ID_OK, ZYH_ID_OK, ZYH_ID_NO},
      {"Cancel", ZYH_ID_OK, ZYH_ID_CANCEL, ZYH_ID_CANCEL},
      {"maybe", ZYH_ID_OK, ZYH_ID_OK, ZYH_ID_YES},
      {"", ZYH_ID_OK, ZYH_ID_OK, ZYH_ID_YES},
  };
  for (const BoxCase &c : cases) {
    zytest::RunResult r = zytest::RunInChild([&] {
      if (c.env)
        setenv("ZYLEM_POPUP_ANSWER", c.env, 1);
      else
        unsetenv("ZYLEM_POPUP_ANSWER");
      int ok = ZYH_MessageBox("ZYLEM", "plain", ZYH_MB_OK, ZYH_ICON_NONE);
      int okcancel =
          ZYH_MessageBox("Game Warning", "Careful.\nReally?", ZYH_MB_OKCANCEL, ZYH_ICON_WARNING);
      int yesnocancel =
          ZYH_MessageBox("Game Error", "Broken", ZYH_MB_YESNOCANCEL, ZYH_ICON_ERROR);
      printf("%d %d %d", ok, okcancel, yesnocancel);
    });
    const char *name = c.env ? c.env : "(unset)";
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.out, std::to_string(c.ok) + " " + std::to_string(c.okcancel) + " " +
                         std::to_string(c.yesnocancel))
        << name;
    EXPECT_EQ(r.err,
              "[popup] ZYLEM: plain\n"
              "[popup] Game Warning: Careful.\nReally?\n"
              "[popup] Game Error: Broken\n")
        << name;
  }
}

TEST(HeadlessPopup, UnknownButtonSetBehavesAsOk) {
  zytest::RunResult r = zytest::RunInChild([] {
    setenv("ZYLEM_POPUP_ANSWER", "cancel", 1);
    printf("%d", ZYH_MessageBox(nullptr, nullptr, (ZyhButtons)7, ZYH_ICON_INFO));
  });
  EXPECT_EQ(r.out, std::to_string(ZYH_ID_OK));
  EXPECT_EQ(r.err, "[popup] : \n");
}

TEST(HeadlessWindow, VirtualWindowKeepsItsSizeAndIsUnique) {
  EXPECT_EQ(ZYH_CurrentBackend(), ZYH_BACKEND_HEADLESS);
  EXPECT_TRUE(ZYH_SelectBackend(ZYH_BACKEND_HEADLESS));
  int w = -1, h = -1;
  EXPECT_FALSE(ZYH_WindowExists());
  EXPECT_FALSE(ZYH_WindowSize(&w, &h));

  ZyhWindowDesc desc = {};
  desc.title = "Game";
  desc.width = 320;
  desc.height = 240;
  desc.windowed = true;
  ASSERT_TRUE(ZYH_WindowCreate(&desc));
  EXPECT_TRUE(ZYH_WindowExists());
  ASSERT_TRUE(ZYH_WindowSize(&w, &h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_EQ(ZYH_WindowNative(), nullptr);
  ZYH_WindowRaise();

  desc.width = 800;
  EXPECT_FALSE(ZYH_WindowCreate(&desc)) << "one window only";
  ZYH_WindowDestroy();
  EXPECT_FALSE(ZYH_WindowExists());
  ASSERT_TRUE(ZYH_WindowCreate(&desc));
  ZYH_WindowSize(&w, &h);
  EXPECT_EQ(w, 800);
  ZYH_WindowDestroy();

  desc.height = 0;
  EXPECT_FALSE(ZYH_WindowCreate(&desc));
  EXPECT_FALSE(ZYH_WindowCreate(nullptr));
}

TEST(HeadlessWindow, ScreenSizeComesFromTheEnvironmentWhenWellFormed) {
  const struct { const char *env; int w, h; } cases[] = {
      {nullptr, 1920, 1080}, {"800x600", 800, 600},  {"1280x720", 1280, 720},
      {"800x", 1920, 1080},  {"0x600", 1920, 1080},  {"800x600junk", 1920, 1080},
      {"-5x600", 1920, 1080}, {"wide", 1920, 1080},
  };
  for (auto &c : cases) {
    if (c.env)
      setenv("ZYLEM_HEADLESS_SCREEN", c.env, 1);
    else
      unsetenv("ZYLEM_HEADLESS_SCREEN");
    int w = 0, h = 0;
    ZYH_ScreenSize(&w, &h);
    EXPECT_EQ(w, c.w) << (c.env ? c.env : "(unset)");
    EXPECT_EQ(h, c.h) << (c.env ? c.env : "(unset)");
  }
  unsetenv("ZYLEM_HEADLESS_SCREEN");
}

TEST(HeadlessEvents, InjectedEventsComeBackInOrder) {
  ZyhEvent out;
  EXPECT_FALSE(ZYH_PollEvent(&out));
  ZyhEvent move = Event(ZYH_EV_MOUSE_MOVE);
  move.x = 10;
  move.y = 20;
  ZyhEvent down = Event(ZYH_EV_KEY_DOWN, 0x41);
  down.alt = true;
  ZyhEvent drop = Event(ZYH_EV_DROP_FILE);
  memset(drop.text, 'p', sizeof drop.text);  // unterminated on purpose
  ZYH_InjectEvent(&move);
  ZYH_InjectEvent(&down);
  ZYH_InjectEvent(&drop);
  ZYH_InjectEvent(nullptr);  // ignored

  ASSERT_TRUE(ZYH_PollEvent(&out));
  EXPECT_EQ(out.type, ZYH_EV_MOUSE_MOVE);
  EXPECT_EQ(out.x, 10);
  EXPECT_EQ(out.y, 20);
  ASSERT_TRUE(ZYH_PollEvent(&out));
  EXPECT_EQ(out.type, ZYH_EV_KEY_DOWN);
  EXPECT_EQ(out.key, 0x41);
  EXPECT_TRUE(out.alt);
  ASSERT_TRUE(ZYH_PollEvent(&out));
  EXPECT_EQ(out.type, ZYH_EV_DROP_FILE);
  EXPECT_EQ(strlen(out.text), sizeof out.text - 1) << "the path is terminated";
  EXPECT_FALSE(ZYH_PollEvent(&out));
  EXPECT_FALSE(ZYH_PollEvent(nullptr));
}

TEST(HeadlessEvents, EventsFromSeveralThreadsAllArriveEachInItsOrder) {
  const int THREADS = 4, EACH = 500;
  std::vector<std::thread> feeders;
  for (int t = 0; t < THREADS; t++)
    feeders.emplace_back([t] {
      for (int i = 0; i < EACH; i++) {
        ZyhEvent ev = Event(ZYH_EV_CHAR, i);
        ev.device = t;
        ZYH_InjectEvent(&ev);
      }
    });
  for (auto &f : feeders) f.join();
  std::vector<int> next(THREADS, 0);
  ZyhEvent ev;
  int total = 0;
  while (ZYH_PollEvent(&ev)) {
    ASSERT_EQ(ev.type, ZYH_EV_CHAR);
    ASSERT_GE(ev.device, 0);
    ASSERT_LT(ev.device, THREADS);
    EXPECT_EQ(ev.key, next[ev.device]++);
    total++;
  }
  EXPECT_EQ(total, THREADS * EACH);
}

TEST(HeadlessDesktop, ClipboardRoundTrip) {
  char *text = ZYH_ClipboardGet();
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "");
  free(text);

  EXPECT_TRUE(ZYH_ClipboardSet("h\xc3\xa9llo\nworld"));
  text = ZYH_ClipboardGet();
  EXPECT_STREQ(text, "h\xc3\xa9llo\nworld");
  free(text);

  EXPECT_TRUE(ZYH_ClipboardSet(""));
  text = ZYH_ClipboardGet();
  EXPECT_STREQ(text, "");
  free(text);
  EXPECT_TRUE(ZYH_ClipboardSet(nullptr));
}

TEST(HeadlessDesktop, CursorIsRememberedAndOutOfRangeMeansArrow) {
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_ARROW);
  ZYH_SetCursor(ZYH_CURSOR_HAND);
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_HAND);
  ZYH_SetCursor(ZYH_CURSOR_HIDDEN);
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_HIDDEN);
  ZYH_SetCursor((ZyhCursor)99);
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_ARROW);
  ZYH_SetCursor((ZyhCursor)-1);
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_ARROW);
}

TEST(HeadlessDesktop, UrlsCannotBeOpenedAndSaySo) {
  zytest::RunResult r = zytest::RunInChild([] {
    bool opened = ZYH_OpenUrl("https://example.com/");
    printf("%d%d", opened, ZYH_OpenUrl(nullptr));
  });
  EXPECT_EQ(r.out, "00");
  EXPECT_NE(r.err.find("https://example.com/"), std::string::npos) << r.err;
}
