// event_queue.cpp — the queue of injected events.
//
// Tests and tools feed synthetic input with ZYH_InjectEvent, from any thread; the main
// thread takes it back in the same order through ZYH_PollEvent before any native event.
// With the headless backend this queue is the only source of window events.
#include <deque>
#include <mutex>

#include "host/backend.h"

namespace {

std::mutex queue_mutex;
std::deque<ZyhEvent> queue;

}  // namespace

void ZYH_QueuePush(const ZyhEvent *ev) {
  if (!ev) return;
  ZyhEvent copy = *ev;
  copy.text[sizeof copy.text - 1] = '\0';  // the reader may rely on a terminated path
  std::lock_guard<std::mutex> hold(queue_mutex);
  queue.push_back(copy);
}

bool ZYH_QueuePop(ZyhEvent *ev) {
  std::lock_guard<std::mutex> hold(queue_mutex);
  if (queue.empty()) return false;
  *ev = queue.front();
  queue.pop_front();
  return true;
}

void ZYH_QueueClear(void) {
  std::lock_guard<std::mutex> hold(queue_mutex);
  queue.clear();
}
