// soft_bands.cpp — the queue of draws and the worker threads that draw it in bands.
//
// The workers sleep on a condition variable between queues. Flush publishes the queue
// (a new generation), draws the first band itself and waits until the workers have drawn
// theirs; the queue is only read meanwhile. A forked child has none of the parent's
// workers, so there the calling thread draws the whole queue alone.
#include "soft_bands.h"

#include <string.h>
#include <unistd.h>

namespace soft {

BandQueue::~BandQueue() { StopWorkers(); }

void BandQueue::SetThreads(int32_t threads) {
  Flush();
  StopWorkers();
  threads_ = threads < 1 ? 1 : (threads > MAX_THREADS ? MAX_THREADS : threads);
}

uint32_t BandQueue::StateFor(const DrawState &st) {
  if (!states_.empty() && states_.back().target != st.target) Flush();
  if (states_.empty() || memcmp(&states_.back(), &st, sizeof st) != 0) states_.push_back(st);
  return static_cast<uint32_t>(states_.size() - 1);
}

void BandQueue::Push(const Draw &draw) {
  draws_.push_back(draw);
  if (draws_.size() >= MAX_QUEUED_DRAWS) Flush();
}

void BandQueue::AddQuad(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                        const RasterVertex &c, const RasterVertex &d) {
  Push(Draw{QUAD, StateFor(st), {a, b, c, d}});
}

void BandQueue::AddTriangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                            const RasterVertex &c) {
  Push(Draw{TRIANGLE, StateFor(st), {a, b, c, c}});
}

void BandQueue::AddClear(const DrawState &st, Colour colour) {
  Draw draw = {CLEAR, StateFor(st), {}};
  draw.v[0].colour = colour;
  Push(draw);
}

void BandQueue::DrawBand(int32_t y0, int32_t y1) const {
  for (const Draw &d : draws_) {
    DrawState st = states_[d.state];
    st.band_y0 = y0;
    st.band_y1 = y1;
    if (d.kind == CLEAR) {
      Rect rows = st.clip;
      if (rows.y0 < y0) rows.y0 = y0;
      if (rows.y1 > y1) rows.y1 = y1;
      if (rows.y0 < rows.y1) SurfaceFill(st.target, rows, d.v[0].colour);
      continue;
    }
    // A draw wholly above or below the band touches none of its rows (pixel centres
    // lie half a pixel inside the rows they cover). Non-finite positions fail both
    // tests and are left to the rasteriser.
    const int corners = d.kind == QUAD ? 4 : 3;
    double min_y = d.v[0].y, max_y = d.v[0].y;
    for (int i = 1; i < corners; i++) {
      if (d.v[i].y < min_y) min_y = d.v[i].y;
      if (d.v[i].y > max_y) max_y = d.v[i].y;
    }
    if (max_y < y0 - 1.0 || min_y > y1 + 1.0) continue;
    if (d.kind == QUAD)
      FillQuad(st, d.v[0], d.v[1], d.v[2], d.v[3]);
    else
      FillTriangle(st, d.v[0], d.v[1], d.v[2]);
  }
}

void BandQueue::Flush() {
  if (draws_.empty()) {
    states_.clear();
    return;
  }
  const int32_t height = states_[0].target ? states_[0].target->height : 0;
  int32_t bands = height / MIN_BAND_ROWS;
  if (bands > threads_) bands = threads_;
  if (bands < 1) bands = 1;
  if (bands > 1 && (workers_.empty() || owner_pid_ != getpid())) {
    if (workers_.empty()) StartWorkers();
    if (owner_pid_ != getpid()) bands = 1;  // a forked child: no workers here
  }
  if (bands == 1) {
    DrawBand(0, height);
  } else {
    const int32_t rows = (height + bands - 1) / bands;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      band_rows_ = rows;
      bands_ = bands;
      pending_ = bands - 1;
      generation_++;
    }
    wake_.notify_all();
    DrawBand(0, rows);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
  }
  draws_.clear();
  states_.clear();
}

void BandQueue::StartWorkers() {
  owner_pid_ = getpid();
  stop_ = false;
  for (int32_t i = 1; i < threads_; i++) workers_.emplace_back(&BandQueue::WorkerLoop, this, i);
}

void BandQueue::StopWorkers() {
  if (workers_.empty()) return;
  if (owner_pid_ == getpid()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread &t : workers_) t.join();
  } else {
    for (std::thread &t : workers_) t.detach();  // they belong to the parent process
  }
  workers_.clear();
}

void BandQueue::WorkerLoop(int32_t index) {
  uint64_t seen = 0;
  for (;;) {
    int32_t y0, y1;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
      if (index >= bands_) continue;  // fewer bands than threads this time
      y0 = index * band_rows_;
      y1 = y0 + band_rows_;
    }
    DrawBand(y0, y1);
    std::lock_guard<std::mutex> lock(mutex_);
    if (--pending_ == 0) done_.notify_one();
  }
}

}  // namespace soft
