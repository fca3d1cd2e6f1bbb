// engine_table.cpp — the published engine interface table.
#include "base/engine_table.h"

#include <atomic>

// Read from any thread (a loader thread may log through it), written by the main thread
// at boot and shut-down.
static std::atomic<ZY_EngineInterface *> published{nullptr};

ZY_EngineInterface *ZYI_EngineInterface(void) { return published.load(std::memory_order_acquire); }

void ZYI_PublishEngineInterface(ZY_EngineInterface *table) {
  published.store(table, std::memory_order_release);
}
