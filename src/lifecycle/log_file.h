// log_file.h — opening the engine's log at boot: the numbered file in user://logs.
#pragma once

// Opens the log from the configuration (console, logging, verbose level, toggle key):
// picks the first free user://logs/zylem-NNNN.log, writes its banner, starts the log.
void ZYI_LogOpen(void);
// The user-data folder moved (a path switch): the log goes on in the file of the same name
// there, which is created when it does not exist.
void ZYI_LogFollowUserFolder(void);
