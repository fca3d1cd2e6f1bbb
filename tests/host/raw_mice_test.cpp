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

enum { EV_SYN = 0, EV_KEY = 1, EV_REL = 2, SYN_REPORT = 0, SYN_DROPPED = 3, REL_X = 0, REL_Y = 1,
       BTN_LEFT = 0x110, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE, BTN_EXTRA };

Record R(uint16_t type, uint16_t code, int32_t value) { return Record{0, 0, type, code, value}; }
const Record SYN = {0, 0, EV_SYN, SYN_REPORT, 0};

class RawMice : public ::testing::Test {
 protected:
  void TearDown() override { ZYH_RawMiceClose(); }
  // A pipe attached as the next raw mouse; returns the end to write to.
  static int Attach(int want_index) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    EXPECT_EQ(ZYH_RawMiceAttachFd(fds[0]), want_index);
    return fds[1];
  }
  static void Send(int fd, std::vector<Record> records) {
    ssize_t size = (ssize_t)(records.size() * sizeof(Record));
    ASSERT_EQ(write(fd, records.data(), (size_t)size), size);
  }
};

}  // namespace

TEST_F(RawMice, EachReportBecomesOneEventWithSummedMotionAndButtonTransitions) {
  int m = Attach(0);
  Send(m, {R(EV_REL, REL_X, 5), R(EV_REL, REL_Y, -3), R(EV_REL, REL_X, 2), SYN, R(EV_REL, REL_Y, 7), SYN});
  Send(m, {R(EV_KEY, BTN_LEFT, 1), SYN, R(EV_KEY, BTN_RIGHT, 0), R(EV_KEY, BTN_SIDE, 1), R(EV_REL, REL_X, 1), SYN});
  Send(m, {R(EV_KEY, BTN_MIDDLE, 1), R(EV_KEY, BTN_EXTRA, 0), SYN});
  Send(m, {R(EV_KEY, BTN_LEFT, 2), SYN});  // auto-repeat: no transition, no event
  char flags[3][16];
  snprintf(flags[0], 16, "%#x", ZYH_RAW_LEFT_DOWN);
  snprintf(flags[1], 16, "%#x", ZYH_RAW_RIGHT_UP | ZYH_RAW_BUTTON4_DOWN);
  snprintf(flags[2], 16, "%#x", ZYH_RAW_MIDDLE_DOWN | ZYH_RAW_BUTTON5_UP);
  EXPECT_EQ(Drain(), (Events{"raw 0 7,-3 0", "raw 0 0,7 0", "raw 0 0,0 " + std::string(flags[0]),
                             "raw 0 1,0 " + std::string(flags[1]), "raw 0 0,0 " + std::string(flags[2])}));
  close(m);
}

TEST_F(RawMice, RecordsSplitAcrossReadsAndDroppedReportsAreHandled) {
  int m = Attach(0);
  Record packet[2] = {R(EV_REL, REL_X, 4), SYN};
  const char *bytes = (const char *)packet;
  ASSERT_EQ(write(m, bytes, 10), 10);  // part of the first record only
  EXPECT_EQ(Drain(), Events{});
  ASSERT_EQ(write(m, bytes + 10, sizeof packet - 10), (ssize_t)(sizeof packet - 10));
  EXPECT_EQ(Drain(), Events{"raw 0 4,0 0"});
  // After the kernel drops records the packet is incomplete: skip to the next report.
  Send(m, {R(EV_REL, REL_X, 100), R(EV_SYN, SYN_DROPPED, 0), R(EV_REL, REL_X, 50), SYN, R(EV_REL, REL_Y, 9), SYN});
  EXPECT_EQ(Drain(), Events{"raw 0 0,9 0"});
  close(m);
}

TEST_F(RawMice, SeveralMiceKeepTheirIndicesEvenWhenOneGoesAway) {
  int first = Attach(0), second = Attach(1);
  close(first);  // unplugged
  Send(second, {R(EV_REL, REL_X, -2), SYN});
  EXPECT_EQ(Drain(), Events{"raw 1 -2,0 0"});
  Send(second, {R(EV_REL, REL_X, 3), SYN});
  ZYH_RawMiceClose();  // no more raw events afterwards
  EXPECT_EQ(Drain(), Events{});
  close(second);
}
