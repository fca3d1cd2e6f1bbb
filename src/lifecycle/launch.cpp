// launch.cpp — command-line options of the zylem launcher and the game folder rule.
//
// Launcher options are consumed here; everything else (words that are not options, and
// everything after "--") is joined with single spaces into the command line that the
// game receives. An unknown option before "--" is an error, so a typo never silently
// becomes a game argument.
#include "lifecycle/launch.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "host/host.h"

ZyLaunch zy_launch;

const char *const ZYI_USAGE =
    "usage: zylem [--game DIR] [--headless] [--renderer NAME] [--frames N] "
    "[--screenshot FILE] [--input-script FILE] [--help] [--version] [--] [game args]";

// Takes the value of an option given either as "--opt value" or "--opt=value".
static const char *TakeValue(int argc, char **argv, int *i, const char *arg, size_t len) {
  if (arg[len] == '=') return arg + len + 1;
  if (*i + 1 >= argc) return nullptr;
  return argv[++*i];
}

int ZYI_ParseLaunchArgs(int argc, char **argv, ZyLaunch *opt, char *err, size_t err_size) {
  memset(opt, 0, sizeof *opt);
  std::string cmd;
  auto append = [&cmd](const char *word) {
    if (!cmd.empty()) cmd += ' ';
    cmd += word;
  };
  bool options_done = false;
  int status = 0;
  for (int i = 1; i < argc && status == 0; i++) {
    const char *a = argv[i];
    if (options_done || a[0] != '-' || a[1] == 0) {
      append(a);
      continue;
    }
    struct Named {
      const char *name;
      const char **value;
    } valued[] = {{"--game", &opt->game_dir},
                  {"--renderer", &opt->renderer},
                  {"--screenshot", &opt->screenshot},
                  {"--input-script", &opt->input_script}};
    bool matched = false;
    for (auto &v : valued) {
      size_t len = strlen(v.name);
      if (strncmp(a, v.name, len) == 0 && (a[len] == 0 || a[len] == '=')) {
        *v.value = TakeValue(argc, argv, &i, a, len);
        if (!*v.value || !**v.value) {
          snprintf(err, err_size, "zylem: option %s needs a value", v.name);
          status = 2;
        }
        matched = true;
      }
    }
    if (matched) continue;
    if (!strcmp(a, "--")) {
      options_done = true;
    } else if (!strcmp(a, "--headless")) {
      opt->headless = true;
    } else if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      opt->help = true;
    } else if (!strcmp(a, "--version")) {
      opt->version = true;
    } else if (!strncmp(a, "--frames", 8) && (a[8] == 0 || a[8] == '=')) {
      const char *v = TakeValue(argc, argv, &i, a, 8);
      char *end = nullptr;
      long n = v ? strtol(v, &end, 10) : 0;
      if (!v || !*v || *end || n <= 0) {
        snprintf(err, err_size, "zylem: --frames needs a positive number of frames");
        status = 2;
      }
      opt->frames = n;
    } else {
      snprintf(err, err_size, "zylem: unknown option '%s'", a);
      status = 2;
    }
  }
  opt->command_line = strdup(cmd.c_str());
  return status;
}

void ZYI_FreeLaunchArgs(ZyLaunch *opt) {
  free(opt->command_line);
  opt->command_line = nullptr;
  free(opt->screenshot_path);
  opt->screenshot_path = nullptr;
}

bool ZYI_AnchorScreenshot(ZyLaunch *opt) {
  if (!opt->screenshot || opt->screenshot[0] == '/') return true;
  char folder[PATH_MAX];
  if (!getcwd(folder, sizeof folder)) return false;
  free(opt->screenshot_path);
  opt->screenshot_path = strdup((std::string(folder) + "/" + opt->screenshot).c_str());
  if (!opt->screenshot_path) return false;
  opt->screenshot = opt->screenshot_path;
  return true;
}

static bool Absolute(const char *path, char *out, size_t size) {
  char buf[PATH_MAX];
  if (!realpath(path, buf)) return false;
  if (ZYH_PathKind(buf) != 2) return false;
  snprintf(out, size, "%s", buf);
  return strlen(buf) < size;
}

bool ZYI_ResolveGameFolder(const char *game_dir, const char *exe_dir, char *out, size_t size) {
  if (game_dir) return Absolute(game_dir, out, size);
  if (exe_dir && *exe_dir) {
    std::string prog = std::string(exe_dir) + "/prog.so";
    if (ZYH_PathKind(prog.c_str()) == 1) return Absolute(exe_dir, out, size);
  }
  return Absolute(".", out, size);
}
