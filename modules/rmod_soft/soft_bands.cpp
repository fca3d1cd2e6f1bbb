// soft_bands.cpp — the queue of draws and the worker threads that draw it in bands.
//
// The workers sleep on a condition variable between queues. Flush bins the queue by
// band, publishes it (a new generation), takes bands itself like every worker and waits
// until the workers are done; the queue and the bins are only read meanwhile. A forked child has none of the parent's
// workers, so there the calling thread draws the whole queue alone.
#include "soft_bands.h"

#include <string.h>
#include <unistd.h>

namespace soft {

BandQueue::~BandQueue() { StopWorkers(); }

void BandQueue::SetThreads(int32_t threads, bool queue) {
  Flush();
  StopWorkers();
  threads_ = threads < 1 ? 1 : (threads > MAX_THREADS ? MAX_THREADS : threads);
  queue_ = queue;
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
  // A rectangle is planned here once rather than in every band it reaches.
  if (st.fast_paths) {
    Draw draw;
    switch (PlanRectangle(st, a, b, c, d, &draw.rect, &rect_cache_)) {
      case RECT_EMPTY: return;
      case RECT_DRAW:
        draw.kind = RECT;
        draw.state = StateFor(st);
        Push(draw);
        return;
      case RECT_NONE: break;
    }
  }
  Push(Draw{QUAD, StateFor(st), {{a, b, c, d}}});
}

void BandQueue::AddTriangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                            const RasterVertex &c) {
  Push(Draw{TRIANGLE, StateFor(st), {{a, b, c, c}}});
}

void BandQueue::AddClear(const DrawState &st, Colour colour) {
  Draw draw = {CLEAR, StateFor(st), {}};
  draw.v[0].colour = colour;
  Push(draw);
}

void BandQueue::Bin(int32_t height) {
  const int32_t bands = (height + band_rows_ - 1) / band_rows_;
  if (static_cast<int32_t>(bins_.size()) < bands) bins_.resize(static_cast<size_t>(bands));
  for (std::vector<uint32_t> &bin : bins_) bin.clear();
  bands_ = bands;
  for (size_t i = 0; i < draws_.size(); i++) {
    const Draw &d = draws_[i];
    const DrawState &st = states_[d.state];
    // Rows the draw may write: its clip, and for triangles the rows between its lowest
    // and highest corner (pixel centres lie half a pixel inside the rows they cover;
    // a margin of a row keeps snapping out of the question). Non-finite corners fail
    // every comparison and leave the clip's rows to the rasteriser.
    int32_t y0 = st.clip.y0, y1 = st.clip.y1;
    if (d.kind == RECT) {
      y0 = d.rect.y0, y1 = d.rect.y1 + 1;
    } else if (d.kind != CLEAR) {
      const int corners = d.kind == QUAD ? 4 : 3;
      double min_y = d.v[0].y, max_y = d.v[0].y;
      for (int k = 1; k < corners; k++) {
        if (d.v[k].y < min_y) min_y = d.v[k].y;
        if (d.v[k].y > max_y) max_y = d.v[k].y;
      }
      if (min_y - 1.0 > y0) y0 = min_y - 1.0 < y1 ? static_cast<int32_t>(min_y - 1.0) : y1;
      if (max_y + 2.0 < y1) y1 = max_y + 2.0 > y0 ? static_cast<int32_t>(max_y + 2.0) : y0;
    }
    if (y0 < 0) y0 = 0;
    if (y1 > height) y1 = height;
    for (int32_t b = y0 / band_rows_; y0 < y1 && b * band_rows_ < y1; b++)
      bins_[static_cast<size_t>(b)].push_back(static_cast<uint32_t>(i));
  }
}

void BandQueue::DrawBand(int32_t band) const {
  const int32_t y0 = band * band_rows_, y1 = y0 + band_rows_;
  DrawState st = {};
  uint32_t current = UINT32_MAX;  // the state st holds (draws in a row mostly share one)
  for (uint32_t i : bins_[static_cast<size_t>(band)]) {
    const Draw &d = draws_[i];
    if (d.state != current) {
      st = states_[d.state];
      st.band_y0 = y0;
      st.band_y1 = y1;
      current = d.state;
    }
    if (d.kind == CLEAR) {
      Rect rows = st.clip;
      if (rows.y0 < y0) rows.y0 = y0;
      if (rows.y1 > y1) rows.y1 = y1;
      if (rows.y0 < rows.y1) SurfaceFill(st.target, rows, d.v[0].colour);
    } else if (d.kind == RECT) {
      DrawRectangle(st, d.rect);
    } else if (d.kind == QUAD) {
      FillQuad(st, d.v[0], d.v[1], d.v[2], d.v[3]);
    } else {
      FillTriangle(st, d.v[0], d.v[1], d.v[2]);
    }
  }
}

void BandQueue::DrawBands() {
  for (int32_t band; (band = next_band_.fetch_add(1)) < bands_;) DrawBand(band);
}

void BandQueue::Flush() {
  if (draws_.empty()) {
    states_.clear();
    return;
  }
  const Surface *target = states_[0].target;
  const int32_t height = target->height;
  // Bands of about BAND_BYTES, and at least one per thread when the target is tall
  // enough for that.
  int32_t rows = static_cast<int32_t>(BAND_BYTES / (static_cast<size_t>(target->width) * 4));
  const int32_t share = (height + threads_ - 1) / threads_;
  if (rows > share) rows = share;
  if (rows < MIN_BAND_ROWS) rows = MIN_BAND_ROWS;
  band_rows_ = rows;
  Bin(height);
  next_band_.store(0);
  const bool workers = threads_ > 1 && bands_ > 1;
  if (workers && workers_.empty()) StartWorkers();
  if (!workers || owner_pid_ != getpid()) {  // one thread (or a forked child: no workers)
    DrawBands();
  } else {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending_ = static_cast<int32_t>(workers_.size());
      generation_++;
    }
    wake_.notify_all();
    DrawBands();
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
  }
  draws_.clear();
  states_.clear();
}

void BandQueue::StartWorkers() {
  owner_pid_ = getpid();
  stop_ = false;
  for (int32_t i = 1; i < threads_; i++) workers_.emplace_back(&BandQueue::WorkerLoop, this);
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

void BandQueue::WorkerLoop() {
  uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
    }
    DrawBands();
    std::lock_guard<std::mutex> lock(mutex_);
    if (--pending_ == 0) done_.notify_one();
  }
}

}  // namespace soft
