// pak_writer.h — building a pak archive from a folder on disk.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// One file that goes into an archive.
struct PakInput {
  std::string name;  // entry name: relative to the folder, "/" separated
  std::string path;  // native path to read it from
  uint64_t size;     // size when the folder was scanned
};

// Why an entry name cannot go into (or come out of) an archive, or null when it can:
// empty, absolute, containing ".." or a backslash, or longer than an entry name may be.
const char *PakNameProblem(const std::string &name);

// Collects every regular file below dir in name order. Prints a message and answers
// false on an unreadable folder, a refused name or a tree too deep to be real.
// Files whose native path is `skip` (the archive being written) are left out.
bool PakCollect(const std::string &dir, const std::string &skip, std::vector<PakInput> &out);

// Writes the archive: header, the data of every input in order, the directory (the two
// further words of every entry as 0). Progress goes to stderr for large folders.
// Prints a message and answers false on any failure (an archive already at out_path is
// left as it was: the new one replaces it only once complete).
bool PakWrite(const std::string &out_path, const std::vector<PakInput> &inputs);
