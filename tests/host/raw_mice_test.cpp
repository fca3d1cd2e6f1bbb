// Several mice: kernel input records, fed through pipes in the evdev record layout, become
// one raw-mouse event per report with the summed motion and the button transitions.
#include <fcntl.h>
#include <unistd.h>

#include "host/backend.h"
#include "host_events.h"
#include "zytest.h"

namespace {

// The kernel's input record on 64-bit Linux, and the codes these tests use.
struct Record {
  int64_t sec, usec;
  uint16_t type, code;
  int32_t value;
};
enum { SYN = 0, KEY = 1, REL = 2, DROPPED = 3, X = 0, Y = 1, LEFT = 0x110, RIGHT, MIDDLE, SIDE, EXTRA };
const Record REPORT = {0, 0, SYN, 0, 0};

// A pipe attached as the next raw mouse; returns the end to write to.
int Attach(int want_index) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  EXPECT_EQ(ZYH_RawMiceAttachFd(fds[0]), want_index);
  return fds[1];
}

void Send(int fd, std::vector<Record> r) {
  ASSERT_EQ(write(fd, r.data(), r.size() * sizeof(Record)), (ssize_t)(r.size() * sizeof(Record)));
}

}  // namespace

TEST(RawMice, EachReportBecomesOneEventWithSummedMotionAndButtonTransitions) {
  int m = Attach(0), second = Attach(1);
  Send(m, {{0, 0, REL, X, 5}, {0, 0, REL, Y, -3}, {0, 0, REL, X, 2}, REPORT, {0, 0, REL, Y, 7}, REPORT,
           {0, 0, KEY, LEFT, 1}, REPORT, {0, 0, KEY, RIGHT, 0}, {0, 0, KEY, SIDE, 1}, {0, 0, REL, X, 1}, REPORT,
           {0, 0, KEY, MIDDLE, 1}, {0, 0, KEY, EXTRA, 0}, REPORT,
           {0, 0, KEY, LEFT, 2}, REPORT});  // auto-repeat: no transition, no event
  // Flags: 1 left down, 8 right up, 40 button 4 down, 10 middle down, 200 button 5 up.
  EXPECT_EQ(Drain(), (Events{"raw 0 7,-3 0", "raw 0 0,7 0", "raw 0 0,0 1", "raw 0 1,0 48", "raw 0 0,0 210"}));
  // Records split across reads wait for their rest; after the kernel dropped records the
  // report is incomplete and skipped.
  Record packet[2] = {{0, 0, REL, X, 4}, REPORT};
  ASSERT_EQ(write(m, packet, 10), 10);
  EXPECT_EQ(Drain(), Events{});
  ASSERT_EQ(write(m, (char *)packet + 10, sizeof packet - 10), (ssize_t)(sizeof packet - 10));
  Send(m, {{0, 0, REL, X, 100}, {0, 0, SYN, DROPPED, 0}, {0, 0, REL, X, 50}, REPORT, {0, 0, REL, Y, 9}, REPORT});
  EXPECT_EQ(Drain(), (Events{"raw 0 4,0 0", "raw 0 0,9 0"}));
  close(m);  // unplugged: the other mouse keeps its index; after closing nothing comes
  Send(second, {{0, 0, REL, X, -2}, REPORT});
  EXPECT_EQ(Drain(), Events{"raw 1 -2,0 0"});
  Send(second, {{0, 0, REL, X, 3}, REPORT});
  ZYH_RawMiceClose();
  EXPECT_EQ(Drain(), Events{});
  close(second);
}
