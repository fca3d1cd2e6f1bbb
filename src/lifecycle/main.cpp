// main.cpp — the zylem launcher.
//
// Parses the launcher options, finds the game folder and changes into it (the program
// module and `res://` are found there; a relative --screenshot name is made absolute
// first, so it stays where zylem was started), chooses the display backend, and hands
// the remaining command line to the engine's entry point, whose result is the exit
// status. A screenshot that could not be written makes the status 1.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "font/fonts.h"
#include "lifecycle/entry.h"
#include "lifecycle/input_script.h"
#include "lifecycle/launch.h"
#include "host/host.h"
#include "zylem.h"

// The built-in font, compiled in by the build (weak: a build without it has none).
extern "C" const unsigned char zylem_builtin_font[] __attribute__((weak));
extern "C" const unsigned long zylem_builtin_font_size __attribute__((weak));

int main(int argc, char **argv) {
  if (zylem_builtin_font && &zylem_builtin_font_size)
    ZYI_SetBuiltinFont(zylem_builtin_font, zylem_builtin_font_size);
  char err[512] = "";
  int status = ZYI_ParseLaunchArgs(argc, argv, &zy_launch, err, sizeof err);
  if (status != 0) {
    fprintf(stderr, "%s\n%s\n", err, ZYI_USAGE);
    return status;
  }
  if (zy_launch.help) {
    printf("%s\n\n"
           "Boots the game in DIR (default: the executable's folder when it holds prog.so,\n"
           "else the current folder) and runs it.\n"
           "  --game DIR         game folder holding prog.xml and prog.so\n"
           "  --headless         no window system: virtual window, popups answered from\n"
           "                     ZYLEM_POPUP_ANSWER, dialogs from ZYLEM_DIALOG_ANSWER;\n"
           "                     the renderer becomes rmod_soft\n"
           "  --renderer NAME    use this renderer module instead of the configured one\n"
           "  --frames N         quit after N frames\n"
           "  --screenshot FILE  write the last frame as PNG before quitting (a relative\n"
           "                     FILE is taken from the current folder; exit status 1\n"
           "                     when it cannot be written)\n"
           "  --input-script FILE  deliver the events of FILE at the start of the frames\n"
           "                     it names, as typed input (lines \"FRAME char CODE\",\n"
           "                     \"FRAME text TEXT\", \"FRAME key down|up ID\", \"FRAME mouse\n"
           "                     X Y\", \"FRAME button down|up ID\", \"FRAME wheel DELTA\")\n"
           "  --version          print the version\n",
           ZYI_USAGE);
    return 0;
  }
  if (zy_launch.version) {
    printf("zylem %s (interface %d, core %d)\n", ZYLEM_VERSION_TEXT, ZY_INTERFACE_VERSION,
           ZYI_CORE_VERSION);
    return 0;
  }

  char exe_dir[4096] = "", game[4096];
  ZYH_ExecutableFolder(exe_dir, sizeof exe_dir);
  if (!ZYI_ResolveGameFolder(zy_launch.game_dir, exe_dir, game, sizeof game)) {
    fprintf(stderr, "zylem: game folder '%s' not found\n",
            zy_launch.game_dir ? zy_launch.game_dir : ".");
    return 2;
  }
  // The script is read from where zylem was started, and a bad line stops the launch.
  if (zy_launch.input_script &&
      !ZYI_LoadInputScript(zy_launch.input_script, err, sizeof err)) {
    fprintf(stderr, "zylem: input script '%s': %s\n", zy_launch.input_script, err);
    return 2;
  }
  if (!ZYI_AnchorScreenshot(&zy_launch)) {
    fprintf(stderr, "zylem: cannot resolve the screenshot name '%s'\n", zy_launch.screenshot);
    return 2;
  }
  if (chdir(game) != 0) {
    fprintf(stderr, "zylem: cannot enter game folder '%s'\n", game);
    return 2;
  }
  ZYH_SetGameFolder(game);

  // A desktop window when asked for and possible; the headless backend otherwise, so the
  // engine also runs on machines without a display.
  if (!zy_launch.headless && !ZYH_SelectBackend(ZYH_BACKEND_SDL)) zy_launch.headless = true;
  if (zy_launch.headless) ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
  if (zy_launch.headless && !zy_launch.renderer) zy_launch.renderer = "rmod_soft";

  status = ZYI_EntryPoint(zy_launch.command_line);
  if (zy_launch.screenshot_failed) {
    fprintf(stderr, "zylem: screenshot to '%s' failed\n", zy_launch.screenshot);
    if (status == 0) status = 1;
  }
  ZYI_FreeLaunchArgs(&zy_launch);
  ZYI_FreeInputScript();
  ZYI_EndProcess(status);
}
