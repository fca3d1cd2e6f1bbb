// program_check.cpp — the program's identity after configuration: the names of its
// user-data folders, and a developer popup for every identity field left empty.
//
// The developer and the program name become folder names under the user's data folder
// (user:// is <data>/<developer>/<program>), so the title is reduced to characters
// every file system accepts.
#include <string.h>

#include "config/config.h"
#include "base/popup.h"
#include "base/state.h"

// Replaces every byte other than an ASCII letter, digit or '-' with '_'.
static void MakeFolderName(char *out, size_t size, const char *text) {
  size_t i = 0;
  for (; text[i] && i + 1 < size; i++) {
    char c = text[i];
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '-';
    out[i] = keep ? c : '_';
  }
  out[i] = 0;
}

void ZYI_CheckProgramParameters(void) {
  ZY_ProgramInterface *prog = zy::core.prog;
  if (!prog) return;
  ZyConfig &c = zy::config;

  const char *developer = prog->developer_name[0] ? prog->developer_name : "Qarvel";
  size_t len = strnlen(developer, sizeof c.developer_folder - 1);
  memcpy(c.developer_folder, developer, len);
  c.developer_folder[len] = 0;
  if (prog->title[0])
    MakeFolderName(c.program_folder, sizeof c.program_folder, prog->title);
  else
    strcpy(c.program_folder, "unknown");

  if (!prog->title[0])
    ZY_Popup(ZY_LOG_WARNING, "Program doesn't have parm title set: set value prog->title");
  if (!prog->id[0])
    ZY_Popup(ZY_LOG_WARNING, "Program doesn't have parm id set: set value prog->id");
  if (!prog->version[0])
    ZY_Popup(ZY_LOG_WARNING,
             "Program doesn't have parm version: set value prog->version to e.g. \"1.0.0\"");
  if (!prog->developer_name[0])
    ZY_Popup(ZY_LOG_WARNING,
             "Program doesn't have parm developer: set value prog->developer_name");
}
