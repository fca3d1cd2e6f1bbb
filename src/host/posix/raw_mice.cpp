// raw_mice.cpp — several mice read separately, from the kernel's evdev devices.
//
// When a game asks for several mice, every readable /dev/input/event* device that reports
// relative X/Y motion and a left button is opened without blocking. The kernel sends a
// device's changes as a packet of records closed by a SYN_REPORT; each packet becomes one
// ZYH_EV_RAW_MOUSE event with the summed motion and the button transitions, like one raw
// input report. A device that goes away is closed and keeps its index, so the indices
// the engine has handed to the game stay meaningful. Everything here runs on the main
// thread, from ZYH_PollEvent.
#include <errno.h>
#include <fcntl.h>
#include <linux/input.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "host/backend.h"

namespace {

struct RawMouse {
  int fd;               // -1 once the device is gone
  int dx, dy;           // motion of the packet being read
  unsigned buttons;     // ZYH_RAW_* flags of the packet being read
  bool dropped;         // the kernel dropped records: skip to the next SYN_REPORT
  unsigned char partial[sizeof(struct input_event)];  // bytes of an incomplete record
  size_t partial_len;
};

std::vector<RawMouse> mice;
std::deque<ZyhEvent> ready;

bool HasBit(const unsigned long *bits, int bit) {
  const int per = (int)(8 * sizeof(unsigned long));
  return (bits[bit / per] >> (bit % per)) & 1ul;
}

bool IsMouse(int fd) {
  const int per = (int)(8 * sizeof(unsigned long));
  unsigned long rel[(REL_MAX + per) / per] = {};
  unsigned long key[(KEY_MAX + per) / per] = {};
  if (ioctl(fd, EVIOCGBIT(EV_REL, sizeof rel), rel) < 0) return false;
  if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof key), key) < 0) return false;
  return HasBit(rel, REL_X) && HasBit(rel, REL_Y) && HasBit(key, BTN_LEFT);
}

// event0, event1, ..., event10: by number, so the order matches the kernel's.
bool CollectEventNode(const char *name, bool, void *user) {
  if (!strncmp(name, "event", 5) && name[5]) ((std::vector<std::string> *)user)->push_back(name);
  return true;
}

unsigned ButtonFlag(int code, int value) {
  static const struct { int code; unsigned down, up; } table[] = {
      {BTN_LEFT, ZYH_RAW_LEFT_DOWN, ZYH_RAW_LEFT_UP},
      {BTN_RIGHT, ZYH_RAW_RIGHT_DOWN, ZYH_RAW_RIGHT_UP},
      {BTN_MIDDLE, ZYH_RAW_MIDDLE_DOWN, ZYH_RAW_MIDDLE_UP},
      {BTN_SIDE, ZYH_RAW_BUTTON4_DOWN, ZYH_RAW_BUTTON4_UP},
      {BTN_EXTRA, ZYH_RAW_BUTTON5_DOWN, ZYH_RAW_BUTTON5_UP},
  };
  for (auto &b : table)
    if (b.code == code) return value == 1 ? b.down : value == 0 ? b.up : 0;  // 2: repeat
  return 0;
}

void Apply(RawMouse &m, int index, const struct input_event &rec) {
  if (rec.type == EV_SYN && rec.code == SYN_DROPPED) {
    m.dropped = true;
    return;
  }
  if (rec.type == EV_SYN && rec.code == SYN_REPORT) {
    if (!m.dropped && (m.dx || m.dy || m.buttons)) {
      ZyhEvent ev;
      memset(&ev, 0, sizeof ev);
      ev.type = ZYH_EV_RAW_MOUSE;
      ev.device = index;
      ev.x = m.dx;
      ev.y = m.dy;
      ev.buttons = m.buttons;
      ready.push_back(ev);
    }
    m.dx = m.dy = 0;
    m.buttons = 0;
    m.dropped = false;
    return;
  }
  if (rec.type == EV_REL && rec.code == REL_X) m.dx += rec.value;
  if (rec.type == EV_REL && rec.code == REL_Y) m.dy += rec.value;
  if (rec.type == EV_KEY) m.buttons |= ButtonFlag(rec.code, rec.value);
}

void Drain(RawMouse &m, int index) {
  unsigned char buf[64 * sizeof(struct input_event)];
  for (;;) {
    memcpy(buf, m.partial, m.partial_len);
    ssize_t n = read(m.fd, buf + m.partial_len, sizeof buf - m.partial_len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
        close(m.fd);  // unplugged (or the feeding end closed)
        m.fd = -1;
      }
      return;
    }
    size_t have = m.partial_len + (size_t)n, at = 0;
    for (; at + sizeof(struct input_event) <= have; at += sizeof(struct input_event)) {
      struct input_event rec;
      memcpy(&rec, buf + at, sizeof rec);
      Apply(m, index, rec);
    }
    m.partial_len = have - at;
    memcpy(m.partial, buf + at, m.partial_len);
  }
}

}  // namespace

int ZYH_RawMiceAttachFd(int fd) {
  RawMouse m;
  memset(&m, 0, sizeof m);
  m.fd = fd;
  mice.push_back(m);
  return (int)mice.size() - 1;
}

void ZYH_RawMiceClose(void) {
  for (RawMouse &m : mice)
    if (m.fd >= 0) close(m.fd);
  mice.clear();
  ready.clear();
}

int ZYH_RawMiceOpen(void) {
  ZYH_RawMiceClose();
  std::vector<std::string> nodes;
  ZYH_ListDir("/dev/input", CollectEventNode, &nodes);
  std::sort(nodes.begin(), nodes.end(), [](const std::string &a, const std::string &b) {
    return atoi(a.c_str() + 5) < atoi(b.c_str() + 5);
  });
  for (const std::string &node : nodes) {
    std::string path = "/dev/input/" + node;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    if (!IsMouse(fd)) {
      close(fd);
      continue;
    }
    ZYH_RawMiceAttachFd(fd);
  }
  return (int)mice.size();
}

bool ZYH_RawMicePoll(ZyhEvent *ev) {
  if (ready.empty())
    for (size_t i = 0; i < mice.size(); i++)
      if (mice[i].fd >= 0) Drain(mice[i], (int)i);
  if (ready.empty()) return false;
  *ev = ready.front();
  ready.pop_front();
  return true;
}
