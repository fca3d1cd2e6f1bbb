// tool_core.h — the part of the engine zyfont runs on: state, locks, a developer-mode
// program whose popups are echoed to stderr (the headless backend answers them), the
// file system over one folder, and the image loader.
#pragma once

// Brings the engine up with `folder` as the game folder (res://, searched for relative
// names). False with a message on stderr when the folder cannot serve.
bool ToolCoreStart(const char *folder);
// Takes it down again.
void ToolCoreStop(void);
