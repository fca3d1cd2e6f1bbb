// pak_opener.h — what the rest of the file system asks of the pak opener besides Open.
#pragma once

#include <stddef.h>

// Called with the name of an entry relative to the listed folder (no "/" in it).
typedef void (*ZyfsPakListFunc)(const char *name, void *user);

// Lists the entries lying directly in a prefixed folder ("res://data/sfx/": archive
// res://data.pak, entries "sfx/<name>") whose names end in ext, ignoring letter case.
// Mounts the archive when needed; a missing or refused archive lists nothing.
void ZYFS_PakListFolder(const char *folder, const char *ext, ZyfsPakListFunc fn, void *user);

// Splits a prefixed name into its archive ("res://data.pak") and entry ("ui/menu.xml").
// False when the name has no folder after its scheme or the archive name is too long.
bool ZYFS_PakSplitName(const char *name, char *archive, size_t size, const char **entry);
