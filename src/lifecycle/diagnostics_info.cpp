// diagnostics_info.cpp — fills the information panel's record from the display block,
// the boot settings and the program's own settings.
#include "lifecycle/diagnostics_info.h"

#include "base/core_block.h"
#include "config/config_reader.h"
#include "lifecycle/resolution.h"

void ZYI_FillDiagnosticsInfo(ZyDiagnosticsInfo *in) {
  const ZyDisplay &d = zy::display;
  in->screen_width = d.screen_width;
  in->screen_height = d.screen_height;
  in->desktop_width = d.desktop_width;
  in->desktop_height = d.desktop_height;
  in->orientation = zy::core.orientation;
  const ZY_DisplaySettings &boot = zy::core.applied_parms;
  in->boot_width = boot.width;
  in->boot_height = boot.height;
  in->windowed = boot.windowed != 0;
  in->autoscaling = ZYI_AutoscaleActive();
  in->scale_x = d.scale_x;
  in->scale_y = d.scale_y;
  in->offset_x = d.offset_x;
  in->offset_y = d.offset_y;
  in->validated_width = zy::core.current_parms.width;
  in->validated_height = zy::core.current_parms.height;
  if (ZY_ProgramInterface *prog = zy::core.prog) {
    in->current_width = prog->parms.width;
    in->current_height = prog->parms.height;
    in->reference_width = prog->parms.reference_width;
    in->reference_height = prog->parms.reference_height;
    in->title = prog->title;
    in->version = prog->version;
  }
  in->platform = ZYI_PlatformName(ZYI_THIS_PLATFORM);
}
