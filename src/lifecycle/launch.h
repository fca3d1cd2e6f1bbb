// launch.h — the launcher's options: what `zylem` was asked to do on its command line.
//
// The options live outside the engine state record because pre-initialisation zeroes
// that record; they are parsed once by main() and read by the boot code.
#pragma once

#include <stddef.h>

struct ZyLaunch {
  const char *game_dir;    // --game DIR, or null
  bool headless;           // --headless: no window system, scripted popups
  const char *renderer;    // --renderer NAME, or null (headless implies "rmod_soft")
  long frames;             // --frames N: quit after N frames (0: run until the game quits)
  const char *screenshot;  // --screenshot FILE: written from the last frame before quitting
  const char *input_script;  // --input-script FILE: events to deliver by frame, or null
  bool help, version;      // --help, --version
  char *command_line;      // remaining arguments joined by single spaces (malloc'd, never null)
  char *screenshot_path;   // absolute form of a relative --screenshot (malloc'd, or null)
  bool screenshot_failed;  // the renderer could not write the screenshot
};

// The options of this process (zeroed until main parses them).
extern ZyLaunch zy_launch;

// Parses argv into opt. Returns 0 on success, or 2 with a message in err (for example an
// unknown option) that main prints with the usage line.
int ZYI_ParseLaunchArgs(int argc, char **argv, ZyLaunch *opt, char *err, size_t err_size);
// Frees what ZYI_ParseLaunchArgs and ZYI_AnchorScreenshot allocated.
void ZYI_FreeLaunchArgs(ZyLaunch *opt);
// Makes a relative --screenshot name absolute against the current folder (the one zylem
// was started in), before the launcher changes into the game folder. False when the
// current folder cannot be read.
bool ZYI_AnchorScreenshot(ZyLaunch *opt);

// Chooses the game folder: the --game folder; else the executable's folder when it holds
// prog.so; else the current folder. Writes an absolute path; false when it does not exist.
bool ZYI_ResolveGameFolder(const char *game_dir, const char *exe_dir, char *out, size_t size);

// The usage text printed by --help and after option errors.
extern const char *const ZYI_USAGE;
