// boot.cpp — the spine of the engine: entry point, pre-initialisation, core
// initialisation, renderer (re)initialisation and the orderly shut-down.
//
// Sections: entry point; pre-initialisation; single instance; core run and frame
// pacing; core initialisation; renderer; sound; shut-down.
// Every step writes its message at its level, and every fatal condition leaves through
// the exit path the engine promises (status 0, 1 or 255).
#include "lifecycle/boot.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "config/config_reader.h"
#include "lifecycle/resolution.h"
#include "lifecycle/entry.h"
#include "lifecycle/input.h"
#include "lifecycle/input_script.h"
#include "lifecycle/launch.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "lifecycle/program.h"
#include "base/state.h"
#include "base/threads.h"
#include "lifecycle/window.h"
#include "engine/bitmaps.h"
#include "engine/draw.h"
#include "lifecycle/interface_table.h"
#include "engine/modules.h"
#include "font/fonts.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "sound/sound.h"
#include "lifecycle/log_file.h"
#include "config/didodoz.h"
#include "console/console.h"
#include "console/diagnostics.h"
#include "lifecycle/diagnostics_info.h"
#include "lifecycle/state.h"
#include "net/net.h"
#include "system/system.h"

// ---------------------------------------------------------------------------------
// Entry point
// ---------------------------------------------------------------------------------

int ZYI_EntryPoint(const char *command_line) {
  // The command line outlives the state reset of pre-initialisation: it is kept here and
  // handed to the state record afterwards.
  static char *kept_command_line;
  free(kept_command_line);
  kept_command_line = strdup(command_line ? command_line : "");
  zy::core.command_line = kept_command_line;
  if (!ZYI_PreInit(nullptr)) {
    ZYI_SystemPopup(ZY_LOG_ERROR,
                    "Failed to initialize the application. You can try the following: 1) "
                    "Reboot your system, 2) Update your drivers, 3) Restart the "
                    "application.\n\nSee generated log for details.");
    return 0;
  }
  return ZYI_CoreRun();
}

// ---------------------------------------------------------------------------------
// Pre-initialisation
// ---------------------------------------------------------------------------------

// Single-instance rule: a second instance of the same program whose window title matches
// raises the first one and ends; any other holder lets start-up go on.
static void CheckSingleInstance(void) {
  ZY_ProgramInterface *prog = zy::core.prog;
  if (zy::core.embedded || !prog->parms.single_instance) return;
  if (ZYH_InstanceLock(prog->id, prog->title) == 0) {
    if (!zy::core.fallback_program) ZYI_UnloadProgram();
    exit(0);
  }
}

// Applies the launcher's --renderer choice over the configured renderer module.
static void ApplyLauncherRenderer(void) {
  if (!zy_launch.renderer) return;
  char name[260];
  snprintf(name, sizeof name, "%s%s", zy_launch.renderer,
           strstr(zy_launch.renderer, ".dll") ? "" : ".dll");
  free(zy::config.renderer_module);
  zy::config.renderer_module = strdup(name);
}

// The parameter check with the program, then resolution selection.
static void CheckParametersWithProgram(void) {
  ZY_ProgramInterface *prog = zy::core.prog;
  zy::core.applied_parms = prog->parms;
  zy::core.current_parms = prog->parms;
  ZY_Log(ZY_LOG_INFO, "Checking parameters with the program before video init.");
  if (prog->event) {
    ZY_InputEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = ZY_EVENT_CHECK_PARMS;
    ev.check_parms.zy = ZYI_EngineInterface();
    ev.check_parms.parms = &prog->parms;
    prog->event(ev);
  }
  ZYI_SelectStartupResolution(prog->parms.windowed, zy::config.force_variant != nullptr);
  zy::core.applied_parms = zy::core.current_parms;
  prog->parms.width = zy::core.current_parms.width;
  prog->parms.height = zy::core.current_parms.height;
  prog->parms.windowed = zy::core.current_parms.windowed;
}

bool ZYI_PreInit(void *embedding_window) {
  ZYI_ThreadsInit();

  char *command_line = zy::core.command_line;
  ZYI_ForgetEngineInterface();
  ZYI_ResetState();
  zy::core.command_line = command_line;
  ZYI_ResetModules();
  ZYI_DrawReset();
  ZYI_DrawSetAutoscaleSource(ZYI_AutoscaleTransform);
  ZYI_BuildEngineInterface();
  zy::core.table_built = 1;
  zy::core.applied_parms.command_line = command_line;
  zy::core.orientation = zy::core.target_orientation = 8;
  if (embedding_window) zy::core.embedded = 1;

  zy::core.main_thread_id = ZYH_ThreadId();
  zy::core.start_time = ZYH_TimeMs();
  ZYI_CreateLocks();
  ZYI_PlatformInfoInit();  // the device id among the machine's facts

  if (!ZYFS_Init()) return false;
  ZYI_NetInit();  // the http:// opener joins the pak and native ones
  if (!ZYI_LoadProgram()) return false;
  ZY_ProgramInterface *prog = zy::core.prog;
  zy::core.current_parms = prog->parms;

  if (!ZYI_ReadConfiguration()) return false;
  ApplyLauncherRenderer();
  if (ZYI_IsFeatureEnabled("MULTITOUCH") || ZYI_IsFeatureEnabled("MULTIMOUSE"))
    prog->parms.multi_mouse = zy::core.current_parms.multi_mouse = 1;
  if (ZYI_IsFeatureEnabled("AUTOSCALE")) ZYI_EnableAutoscaling(true);
  ZYI_SetNonBlockingPopups(ZYI_IsFeatureEnabled("NON_BLOCKING_POPUPS"));
  if (ZYI_IsFeatureEnabled("NO_SOUND")) prog->parms.no_sound = zy::core.current_parms.no_sound = 1;
  ZYI_CheckProgramParameters();
  ZYFS_SetNames(zy::config.developer_folder, zy::config.program_folder);
  ZYI_ReadDesktopSize();

  ZYI_LogOpen();
  ZY_Log(ZY_LOG_SYSTEM, "Logging Verbose Level set to %d.", zy::config.verbose_level);
  CheckSingleInstance();

  // A renderer that loads gets the table again, filled for its colour order. A failure
  // here surfaces when the renderer is initialised.
  if (ZYI_LoadRenderer(zy::config.renderer_module ? zy::config.renderer_module : "rmod_d3d8.dll"))
    ZYI_Renderer()->SetEngineInterface(ZYI_BuildEngineInterface());
  CheckParametersWithProgram();
  ZYI_AddPackageLists();
  ZYI_ApplyOverrideAndOrientation();
  zy::core.current_parms = prog->parms;

  // Both go to the front: res:// first, then user:// before it.
  ZY_AddSearchPath(ZY_GetPath(3, "%s", ""), true);
  ZY_AddSearchPath(ZY_GetPath(1, "%s", ""), true);
  ZYI_BitmapsInit();
  ZYI_FontsInit();
  // Input delivery reaches the subsystems below it through these seams: the console sees
  // events first while it is shown, and a resize asks every render target to be redrawn.
  ZyInputHooks hooks;
  memset(&hooks, 0, sizeof hooks);
  hooks.console_toggle = ZYI_ConsoleToggle;
  hooks.console_visible = ZYI_ConsoleVisible;
  hooks.console_event = ZYI_ConsoleEvent;
  hooks.for_each_render_target = ZYI_ForEachRenderTargetBitmap;
  ZYI_SetInputHooks(&hooks);
  ZYI_ConsoleSetDelivery(ZYI_DeliverEvent);
  ZYI_DiagnosticsSetInfoSource(ZYI_FillDiagnosticsInfo);
  // System queries reach the display, the raw mice and the state record the same way.
  ZySystemHooks system_hooks;
  memset(&system_hooks, 0, sizeof system_hooks);
  system_hooks.allow_all_resolutions = ZYI_AllowAllResolutions;
  system_hooks.refresh_raw_input = ZYI_RefreshRawInput;
  system_hooks.state_size = ZYI_StateSize;
  system_hooks.user_folder_changed = ZYI_LogFollowUserFolder;
  ZYI_SetSystemHooks(&system_hooks);
  ZY_Log(ZY_LOG_SYSTEM, "ZY Core PreInitialized.");
  if (!ZYI_InitImageLoader()) {
    ZY_Log(ZY_LOG_ERROR, "ZYLEM Image Loader unable to initialize.");
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Core run and frame pacing
// ---------------------------------------------------------------------------------

// Launcher --frames and --screenshot: after the requested number of frames the renderer
// writes the last frame and the game is asked to quit. The renderer answers "0" when it
// could not write the screenshot, and nothing when it cannot take one at all: both are
// failures the launcher turns into its exit status.
static void LauncherFrameLimit(void) {
  if (zy_launch.frames <= 0 || zy::core.frames_run < zy_launch.frames) return;
  if (zy::core.quit_requested) return;
  if (zy_launch.screenshot) {
    RendImp *r = zy::modules.renderer;
    const char *answer = r ? r->QueryValue("Screenshot", zy_launch.screenshot) : nullptr;
    if (!answer || !*answer || !strcmp(answer, "0")) {
      zy_launch.screenshot_failed = true;
      ZY_Log(ZY_LOG_ERROR, "Screenshot to '%s' failed.", zy_launch.screenshot);
    }
  }
  ZY_Quit();
}

int ZYI_CoreRun(void) {
  if (!ZYI_Init()) {
    ZYH_MessageBox("ZYLEM", "Core initialization failed.", ZYH_MB_OK, ZYH_ICON_WARNING);
    return 1;
  }
  ZYI_LoadCursors();
  // The window starts with the arrow, or with no cursor at all under HIDE_CURSOR.
  ZY_SetCursor("ARROW");
  zy::core.raw_input_active = zy::core.prog->parms.multi_mouse ? ZYI_RegisterRawInput() : 0;

  uint32_t last = ZYH_TimeMs();
  for (;;) {
    ZYI_PumpEvents();
    if (ZYH_InstanceRaiseRequested()) ZYH_WindowRaise();
    // Sleep in 1 ms steps and spin the last two milliseconds before the frame is due;
    // the interval is read on every test so the program may change it at any time.
    uint32_t now;
    int32_t delta;
    for (;;) {
      now = ZYH_TimeMs();
      delta = (int32_t)(now - last);
      int32_t interval = zy::core.prog->parms.frame_interval_ms;
      if (delta >= interval) break;
      if (delta < interval - 2) ZYH_SleepMs(1);
    }
    last = now;
    // Scripted input arrives like the window's, at the start of its frame.
    ZYI_DeliverScriptedInput(zy::core.frames_run + 1);
    ZYI_Frame(delta);
    zy::core.frames_run++;
    LauncherFrameLimit();
    if (!zy::core.app_active) ZYH_SleepMs(15);
    if (zy::core.quit_requested) break;
  }
  ZYI_Shutdown();
  return 0;
}

// ---------------------------------------------------------------------------------
// Core initialisation
// ---------------------------------------------------------------------------------

bool ZYI_Init(void) {
  ZY_ProgramInterface *prog = zy::core.prog;
  ZY_Log(ZY_LOG_SYSTEM, "Endianness: %d.", 1234);
  ZYI_SetupAutoscaling();
  ZYI_DrawPushScreenTarget();

  if (!ZYI_CreateWindow()) {
    ZY_Popup(ZY_LOG_ERROR, "Unable to create window. Please try rebooting your system.");
    return false;
  }
  if (!ZYI_InitRenderer()) {
    ZY_Log(ZY_LOG_ERROR,
           "Unable to initialize the renderer ('%s'). Tried all listed renderers but was "
           "unable to initialize any.",
           zy::config.renderer_module ? zy::config.renderer_module : "rmod_d3d8.dll");
    char text[1024];
    snprintf(text, sizeof text,
             "Unable to initialize the graphics (%dx%d %s). Please try restarting the "
             "application.\nIf that doesn't help, consider updating your display adapter "
             "driver software.\nFor more information on how to do this, please see your "
             "hardware \nmanufacturer's support page.",
             zy::core.current_parms.width, zy::core.current_parms.height,
             zy::core.current_parms.windowed ? "windowed" : "fullscreen");
    ZYI_SystemPopup(ZY_LOG_ERROR, text);
    ZYI_DestroyWindow();
    return false;
  }

  for (int i = 0; i < 8; i++)
    if (zy::config.input_modules[i] && *zy::config.input_modules[i])
      ZYI_LoadInputModule(zy::config.input_modules[i]);
  ZYI_InitInputModules();
  ZYI_StartSound(prog->parms.no_sound != 0);

  prog->parms.developer_mode = zy::config.developer_mode;
  prog->parms.locale = zy::config.locale ? zy::config.locale : (char *)"";
  ZYI_BitmapsSetReferenceCounting(prog->parms.reference_counting != 0);
  ZYI_SoundsSetReferenceCounting(prog->parms.reference_counting != 0);
  ZYI_FontsSetReferenceCounting(prog->parms.reference_counting != 0);
  ZY_Log(ZY_LOG_INFO, "Initializing Program '%s'..", prog->title);
  if (prog->init())
    zy::core.program_initialized = 1;
  else
    ZY_Popup(ZY_LOG_ERROR, "Program initialization failed.");

  zy::core.show_fps = ZYI_IsFeatureEnabled("SHOW_FPS");
  zy::core.render_stereo = ZYI_IsFeatureEnabled("RENDER_STEREO");
  zy::core.core_initialized = 1;
  return true;
}

// ---------------------------------------------------------------------------------
// Renderer
// ---------------------------------------------------------------------------------

uint8_t ZYI_NormalizeWindowed(int32_t width, int32_t height, uint8_t windowed) {
  if (width < 640 || height < 480) return 1;
  if (zy::config.force_variant) return 1;
  return windowed ? 1 : 0;
}

// Steps after a successful renderer Init: device data, orders, projection.
static void RendererReady(void) {
  RendImp *r = zy::modules.renderer;
  ZY_Log(ZY_LOG_SYSTEM, "Renderer Initialization done.");
  ZYI_DrawCreateBuffers();
  zy::core.prog->parms.renderer_ready = 1;
  zy::modules.pixel_order = r->GetPixelOrder();
  ZYI_SetImagePixelOrder(zy::modules.pixel_order == 1);
  zy::modules.colour_order = r->GetColourOrder();
  ZYI_DrawSendProjection();
  ZYI_RecreateBitmaps(ZYI_PostEvent);
  ZYI_RecreateFontAtlases();
  zy::core.renderer_ready = 1;
}

bool ZYI_InitRenderer(void) {
  for (;;) {
    RendImp *r = zy::modules.renderer;
    if (!r) {
      ZY_Log(ZY_LOG_INFO, "Renderer doesn't exist, can't continue with init.");
      return false;
    }
    if (zy::core.renderer_ready) {
      ZY_Log(ZY_LOG_INFO, "Renderer in ready state, shutting it down before new init.");
      ZYI_ShutdownRenderer();
    }
    ZY_DisplaySettings kept = zy::core.applied_parms;
    zy::core.renderer_ready = 0;
    ZY_DisplaySettings &ap = zy::core.applied_parms;
    ap.width = zy::core.current_parms.width;
    ap.height = zy::core.current_parms.height;
    ap.windowed = ZYI_NormalizeWindowed(ap.width, ap.height, zy::core.current_parms.windowed);
    bool normalisation_changed =
        ap.width != kept.width || ap.height != kept.height || ap.windowed != kept.windowed;
    ZY_Log(ZY_LOG_SYSTEM, "Renderer Initializing: %dx%d %s..", ap.width, ap.height,
           ap.windowed ? "windowed" : "fullscreen");
    zy::modules.host.window = ZYH_WindowNative();
    if (r->Init(ZYI_EngineInterface(), &zy::modules.host, &zy::core.applied_parms)) {
      zy::core.renderer_failures = 0;
      RendererReady();
      return true;
    }
    zy::core.renderer_failures++;
    if (zy::core.renderer_failures > 2 || !normalisation_changed) {
      ZY_Popup(ZY_LOG_ERROR,
               "Unable to initialize the renderer.\n\nPlease try updating your display "
               "adapter drivers and rebooting.");
      return false;
    }
    zy::core.applied_parms = kept;
    ZY_Log(ZY_LOG_SYSTEM, "Rolling back parms..");
    if (r->Init(ZYI_EngineInterface(), &zy::modules.host, &zy::core.applied_parms)) {
      RendererReady();
      return true;
    }
    // Otherwise start again from the top (the renderer may be gone by now).
  }
}

void ZYI_ShutdownRenderer(void) {
  ZY_Log(ZY_LOG_SYSTEM, "Zylem RendImp Shutdown.");
  RendImp *r = zy::modules.renderer;
  if (!r) return;
  ZYI_ReleaseFontsDeviceData();
  ZYI_ReleaseBitmapsDeviceData();
  ZYI_DrawReleaseBuffers();
  r->Shutdown();
  zy::core.renderer_ready = 0;
  if (zy::core.prog) zy::core.prog->parms.renderer_ready = 0;
}

// ---------------------------------------------------------------------------------
// Sound
// ---------------------------------------------------------------------------------

void ZYI_InitSoundImp(void) {
  zy::core.applied_parms.no_sound = zy::core.prog->parms.no_sound;
  ZYI_Sound()->Shutdown();
  ZYI_UnloadSoundModule();
  ZYI_StartSound(zy::core.applied_parms.no_sound != 0);
  ZYI_ReloadSounds();
}

// ---------------------------------------------------------------------------------
// Shut-down
// ---------------------------------------------------------------------------------

// Gives the program's threads up to three seconds to end.
static void WaitForThreads(void) {
  ZY_Log(ZY_LOG_SYSTEM, "Waiting for threads to exit... (%d threads)", ZYI_LiveThreadCount());
  for (int i = 0; i < 60 && ZYI_LiveThreadCount() > 0; i++) ZYH_SleepMs(50);
  if (ZYI_LiveThreadCount() > 0)
    ZY_Log(ZY_LOG_WARNING, "Time out: %d threads left running!", ZYI_LiveThreadCount());
}

void ZYI_Shutdown(void) {
  if (!zy::core.table_built) return;
  ZY_Log(ZY_LOG_SYSTEM, "ZYLEM Shutdown.");
  ZY_Quit();
  ZYI_NetShutdown();  // downloads of the file cache stop too

  WaitForThreads();
  int32_t created = ZYI_CreatedThreadCount();
  ZY_ProgramInterface *prog = zy::core.prog;
  if (zy::core.program_initialized && prog && prog->shutdown) prog->shutdown();
  zy::core.program_initialized = 0;
  // Threads the program starts while shutting down get the same time to end.
  if (ZYI_CreatedThreadCount() != created) WaitForThreads();
  // A thread still running may be inside the program's code and may still call the
  // engine: the module, the locks and the tables it reaches stay in place, and the
  // process ends without tearing them down (ZYI_EndProcess).
  int32_t left = ZYI_LiveThreadCount();
  if (left > 0)
    ZY_Log(ZY_LOG_WARNING, "Keeping the program and its locks in place: %d threads still run.",
           left);

  if (!left) ZYI_ReleaseLeakedBitmaps();
  ZY_Log(ZY_LOG_INFO, "Releasing Input Implementations.");
  ZYI_ShutdownInputModules();
  ZY_Log(ZY_LOG_INFO, "Releasing sounds.");
  if (!left) ZYI_ReleaseLeakedSounds();
  ZY_Log(ZY_LOG_INFO, "Releasing fonts.");
  if (!left) ZYI_ReleaseLeakedFonts();
  ZY_Log(ZY_LOG_INFO, "Releasing Sound Implementation.");
  ZYI_Sound()->Shutdown();
  ZYI_UnloadSoundModule();
  if (!left) ZYI_SoundsFree();

  ZYI_ShutdownRenderer();
  ZYI_UnloadRenderer();
  if (!left) ZYI_FontsFree();
  if (!left) ZYI_BitmapsFree();
  ZYI_ShutdownImageLoader();
  ZYI_DestroyWindow();
  ZYI_InputShutdown();
  ZYI_UnloadInputModules();
  if (!zy::core.fallback_program && !left) ZYI_UnloadProgram();

  ZY_Log(ZY_LOG_INFO, "Closing File Openers...");
  ZYFS_ResetOpeners();
  ZYI_LogSummary(ZYFS_OpenFileCount());
  ZYI_LogClose();
  if (!left) {
    ZYI_ConfigFree();
    ZYI_DidodozFree();
    ZYFS_Shutdown();
    ZYI_DrawShutdown();
    ZYI_DeleteLocks();
  }
  ZYI_ThreadsShutdown();
  __atomic_store_n(&zy::core.table_built, 0, __ATOMIC_RELAXED);  // threads left may read it
}

void ZYI_EndProcess(int status) {
  if (ZYI_LiveThreadCount() > 0) {
    // Exit handlers and static destructors would run under the threads still working;
    // what must reach the disk is flushed, and the process ends at once.
    fflush(NULL);
    _exit(status);
  }
  exit(status);
}
