// imod_record: an input module for the tests. Records its calls like rmod_record (same
// ZYLEM_RECORD_FILE).
#include <string.h>

#include "../record.h"
#include "zylem_modules.h"

namespace {

class RecordingInput final : public InputImp {
 public:
  bool IsSupported() override { return true; }
  void Init(ZY_HostInfo *host) override { Record("Input Init table=%d", host && host->zy); }
  void Shutdown() override { Record("Input Shutdown"); }
  void SetActive(bool a) override { Record("Input SetActive %d", a); }
  void BeginFrame() override { Record("Input BeginFrame"); }
  void EndFrame() override { Record("Input EndFrame"); }
  // One key of its own, as input modules may define them.
  const char *QueryValue(const char *name, const char *) override {
    return name && !strcmp(name, "imod_record.ping") ? "pong" : nullptr;
  }
};

RecordingInput input;

}  // namespace

extern "C" ZY_EXPORT InputImp *ZYLEM_InputImp_GetInterface(void) { return &input; }
