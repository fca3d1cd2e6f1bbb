// soft_bands.h — drawing in horizontal bands on worker threads.
//
// Unless it runs on one thread without its shortcuts, the renderer does not draw as the
// engine's calls arrive: it queues the triangles, quads and clears of the current target,
// each with its DrawState, and draws the queue when something needs the pixels or
// changes what the queued draws read (the end of the frame, another render target, a
// texture changed or freed, a screenshot, a line). The target is then cut into bands of
// rows small enough for the band to stay in the processor's cache while every draw that
// reaches into it is drawn there, in queue order; the threads take bands one after
// another until all are done. A draw is set up exactly as it would be without bands (the
// band only limits the rows written, never the set-up), and every pixel is written by
// one thread in queue order, so the bytes are those of drawing everything at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "soft_internal.h"
#include "soft_raster.h"

namespace soft {

constexpr int32_t MAX_THREADS = 64;        // ZYLEM_SOFT_THREADS is cut to this
constexpr int32_t MIN_BAND_ROWS = 16;      // fewer rows per band are not worth a thread
constexpr size_t BAND_BYTES = 256 * 1024;  // target bytes of one band (fits a level-2 cache)
constexpr size_t MAX_QUEUED_DRAWS = 65536; // the queue is drawn when it holds this many

class BandQueue {
 public:
  ~BandQueue();

  // Threads drawing each queue, the calling one included (at least 1), and whether draws
  // are queued at all (else they are drawn at once). Stops the workers of an earlier count.
  void SetThreads(int32_t threads, bool queue);
  // True when draws are queued rather than drawn at once.
  bool Deferring() const { return queue_; }

  // Queue one draw with its state (all of one target; a draw for another target draws
  // the queue first).
  void AddQuad(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
               const RasterVertex &c, const RasterVertex &d);
  void AddTriangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                   const RasterVertex &c);
  // Fills the state's clip rectangle with the colour.
  void AddClear(const DrawState &st, Colour colour);

  // Draws everything queued and empties the queue; returns when every band is done.
  void Flush();

 private:
  enum Kind : uint8_t { QUAD, TRIANGLE, CLEAR, RECT };
  struct Draw {
    Kind kind;
    uint32_t state;  // index into states_
    union {
      RasterVertex v[4];  // the clear's colour is v[0].colour
      RectPlan rect;      // a quad planned as a rectangle when it was queued
    };
  };

  // The state index for a new draw, the queue drawn first when the target changes.
  uint32_t StateFor(const DrawState &st);
  void Push(const Draw &draw);
  // Puts every draw into the bins of the bands it reaches.
  void Bin(int32_t height);
  // Draws the queued draws of band `band` into its rows.
  void DrawBand(int32_t band) const;
  // Takes bands and draws them until none is left.
  void DrawBands();
  void StartWorkers();
  void StopWorkers();
  void WorkerLoop();

  int32_t threads_ = 1;
  bool queue_ = false;
  std::vector<DrawState> states_;
  std::vector<Draw> draws_;
  RectCache rect_cache_;  // for planning queued rectangles (the engine's thread only)
  std::vector<std::vector<uint32_t>> bins_;  // per band the draws reaching into it, in order
  std::atomic<int32_t> next_band_{0};        // the next band a thread takes

  std::vector<std::thread> workers_;  // threads_ - 1 of them once started
  int owner_pid_ = 0;                 // the process the workers run in
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  uint64_t generation_ = 0;           // counts the queues handed to the workers
  int32_t pending_ = 0;               // workers still drawing the current queue
  int32_t band_rows_ = MIN_BAND_ROWS; // rows per band of the current queue
  int32_t bands_ = 0;                 // bands of the current queue
  bool stop_ = false;
};

}  // namespace soft
