// entry.h — the engine's entry point, called by the launcher once per process.
#pragma once

// Version of the engine core, written in the log banner next to the interface version.
#define ZYI_CORE_VERSION 2300

// Runs the engine on the game in the working folder with the given command line and
// returns the process exit status.
int ZYI_EntryPoint(const char *command_line);
// Ends the process with a status. While program threads still run, exit handlers and
// static destructors are skipped (stdio is flushed), so nothing is torn down under them.
[[noreturn]] void ZYI_EndProcess(int status);
