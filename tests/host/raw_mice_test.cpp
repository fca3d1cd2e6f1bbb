// Several mice: kernel input records, fed through pipes in the evdev record layout, become
// one raw-mouse event per report with the summed motion and the button transitions.
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "host/backend.h"
#include "zytest.h"

namespace {

// The kernel's input record on 64-bit Linux, and the codes these tests use.
struct Record {
  int64_t sec, usec;
  uint16_t type, code;
  int32_t value;
};
static_assert(sizeof(Record) == 24, "evdev record layout of 64-bit Linux");

enum { EV_SYN = 0, EV_KEY = 1, EV_REL = 2, SYN_REPORT = 0, SYN_DROPPED = 3, REL_X = 0,
       REL_Y = 1, BTN_LEFT = 0x110, BTN_RIGHT = 0x111, BTN_MIDDLE = 0x112, BTN_SIDE = 0x113,
       BTN_EXTRA = 0x114 };

struct FakeMouse {
  int write_fd = -1;
  int index = -1;
};

FakeMouse Attach() {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  FakeMouse m;
  m.write_fd = fds[1];
  m.index = ZYH_RawMiceAttachFd(fds[0]);
  return m;
}

void Send(const FakeMouse &m, std::vector<Record> records) {
  ssize_t size = (ssize_t)(records.size() * sizeof(Record));
  ASSERT_EQ(write(m.write_fd, records.data(), (size_t)size), size);
}

Record R(uint16_t type, uint16_t code, int32_t value) { return Record{0, 0, type, code, value}; }
Record Syn() { return R(EV_SYN, SYN_REPORT, 0); }

std::vector<ZyhEvent> Drain() {
  std::vector<ZyhEvent> out;
  ZyhEvent ev;
  while (ZYH_PollEvent(&ev)) out.push_back(ev);
  return out;
}

class RawMice : public ::testing::Test {
 protected:
  void TearDown() override { ZYH_RawMiceClose(); }
};

}  // namespace

TEST_F(RawMice, EachReportBecomesOneEventWithSummedMotion) {
  FakeMouse m = Attach();
  EXPECT_EQ(m.index, 0);
  Send(m, {R(EV_REL, REL_X, 5), R(EV_REL, REL_Y, -3), R(EV_REL, REL_X, 2), Syn()});
  Send(m, {R(EV_REL, REL_Y, 7), Syn()});
  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].type, ZYH_EV_RAW_MOUSE);
  EXPECT_EQ(ev[0].device, 0);
  EXPECT_EQ(ev[0].x, 7);
  EXPECT_EQ(ev[0].y, -3);
  EXPECT_EQ(ev[0].buttons, 0u);
  EXPECT_EQ(ev[1].x, 0);
  EXPECT_EQ(ev[1].y, 7);
  close(m.write_fd);
}

TEST_F(RawMice, ButtonTransitionsBecomeDownAndUpFlags) {
  FakeMouse m = Attach();
  Send(m, {R(EV_KEY, BTN_LEFT, 1), Syn()});
  Send(m, {R(EV_KEY, BTN_RIGHT, 0), R(EV_KEY, BTN_SIDE, 1), R(EV_REL, REL_X, 1), Syn()});
  Send(m, {R(EV_KEY, BTN_MIDDLE, 1), R(EV_KEY, BTN_EXTRA, 0), Syn()});
  Send(m, {R(EV_KEY, BTN_LEFT, 2), Syn()});  // auto-repeat: no transition, no event
  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].buttons, (unsigned)ZYH_RAW_LEFT_DOWN);
  EXPECT_EQ(ev[1].buttons, (unsigned)(ZYH_RAW_RIGHT_UP | ZYH_RAW_BUTTON4_DOWN));
  EXPECT_EQ(ev[1].x, 1);
  EXPECT_EQ(ev[2].buttons, (unsigned)(ZYH_RAW_MIDDLE_DOWN | ZYH_RAW_BUTTON5_UP));
  close(m.write_fd);
}

TEST_F(RawMice, RecordsSplitAcrossReadsAndDroppedReportsAreHandled) {
  FakeMouse m = Attach();
  std::vector<Record> packet = {R(EV_REL, REL_X, 4), Syn()};
  const char *bytes = (const char *)packet.data();
  ASSERT_EQ(write(m.write_fd, bytes, 10), 10);  // part of the first record only
  EXPECT_TRUE(Drain().empty());
  ASSERT_EQ(write(m.write_fd, bytes + 10, sizeof(Record) * 2 - 10), (ssize_t)(48 - 10));
  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].x, 4);

  // After the kernel drops records the packet is incomplete: skip to the next report.
  Send(m, {R(EV_REL, REL_X, 100), R(EV_SYN, SYN_DROPPED, 0), R(EV_REL, REL_X, 50), Syn()});
  Send(m, {R(EV_REL, REL_Y, 9), Syn()});
  ev = Drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].x, 0);
  EXPECT_EQ(ev[0].y, 9);
  close(m.write_fd);
}

TEST_F(RawMice, SeveralMiceKeepTheirIndicesEvenWhenOneGoesAway) {
  FakeMouse first = Attach();
  FakeMouse second = Attach();
  EXPECT_EQ(first.index, 0);
  EXPECT_EQ(second.index, 1);
  close(first.write_fd);  // unplugged
  Send(second, {R(EV_REL, REL_X, -2), Syn()});
  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].device, 1);
  EXPECT_EQ(ev[0].x, -2);

  ZYH_RawMiceClose();  // no more raw events afterwards
  EXPECT_TRUE(Drain().empty());
  close(second.write_fd);
}
