// soft_bands.h — drawing in horizontal bands on worker threads.
//
// With more than one thread, the renderer does not draw as the engine's calls arrive: it
// queues the triangles, quads and clears of the current target, each with its DrawState,
// and draws the queue when something needs the pixels or changes what the queued draws
// read (the end of the frame, another render target, a texture changed or freed, a
// screenshot, a line). The target is then cut into one band of rows per thread and every
// thread draws the whole queue, in order, into its own band only. A draw is set up
// exactly as it would be without bands (the band only limits the rows written, never the
// set-up), and every pixel is written by one thread in queue order, so the bytes are
// those of drawing on one thread.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "soft_internal.h"

namespace soft {

constexpr int32_t MAX_THREADS = 64;        // ZYLEM_SOFT_THREADS is cut to this
constexpr int32_t MIN_BAND_ROWS = 16;      // fewer rows per band are not worth a thread
constexpr size_t MAX_QUEUED_DRAWS = 65536; // the queue is drawn when it holds this many

class BandQueue {
 public:
  ~BandQueue();

  // Threads drawing each queue, the calling one included; 1 (or less) draws at once.
  // Stops the workers of an earlier count.
  void SetThreads(int32_t threads);
  // True when draws are queued rather than drawn at once.
  bool Deferring() const { return threads_ > 1; }

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
  enum Kind : uint8_t { QUAD, TRIANGLE, CLEAR };
  struct Draw {
    Kind kind;
    uint32_t state;     // index into states_
    RasterVertex v[4];  // the clear's colour is v[0].colour
  };

  // The state index for a new draw, the queue drawn first when the target changes.
  uint32_t StateFor(const DrawState &st);
  void Push(const Draw &draw);
  // Draws the queue into the rows y0 .. y1 - 1.
  void DrawBand(int32_t y0, int32_t y1) const;
  void StartWorkers();
  void StopWorkers();
  void WorkerLoop(int32_t index);

  int32_t threads_ = 1;
  std::vector<DrawState> states_;
  std::vector<Draw> draws_;

  std::vector<std::thread> workers_;  // threads_ - 1 of them once started
  int owner_pid_ = 0;                 // the process the workers run in
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  uint64_t generation_ = 0;           // counts the queues handed to the workers
  int32_t pending_ = 0;               // worker bands of the current queue not yet drawn
  int32_t band_rows_ = 0;             // rows per band of the current queue
  int32_t bands_ = 0;                 // bands of the current queue
  bool stop_ = false;
};

}  // namespace soft
