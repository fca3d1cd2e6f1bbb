// zypak.cpp — the command-line tool for pak archives.
//
//   zypak create OUT.pak DIR   pack every file below DIR (names relative to DIR)
//   zypak list PAK             print offset, size and name of every entry
//   zypak extract PAK DIR      write every entry below DIR
//
// Archives are read with the engine's own directory reader, so the tool refuses exactly
// the archives the engine refuses. Extraction writes nothing outside DIR: an entry whose
// name is absolute or climbs with ".." is reported and skipped, and so is one whose path
// below DIR meets a symbolic link (it could lead anywhere). Archives and extracted files
// are written whole: a failure leaves the file they would replace as it was.
// Exit status: 0 success, 1 failure, 2 usage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "fs/atomic_file.h"
#include "fs/pak_format.h"
#include "host/host.h"
#include "pak_writer.h"

namespace {

int Usage() {
  fprintf(stderr,
          "usage: zypak create OUT.pak DIR\n"
          "       zypak list PAK\n"
          "       zypak extract PAK DIR\n");
  return 2;
}

int64_t FileReadAt(void *user, uint64_t offset, void *buffer, size_t bytes) {
  FILE *file = (FILE *)user;
  if (fseeko(file, (off_t)offset, SEEK_SET) != 0) return -1;
  return (int64_t)fread(buffer, 1, bytes, file);
}

// An open archive with its checked directory.
struct OpenPak {
  FILE *file = nullptr;
  ZyPakDirectory dir = {};
  ~OpenPak() {
    ZYFS_PakFreeDirectory(&dir);
    if (file) fclose(file);
  }
};

bool Open(const char *path, OpenPak &pak) {
  pak.file = fopen(path, "rb");
  if (!pak.file) {
    fprintf(stderr, "zypak: cannot open '%s'\n", path);
    return false;
  }
  int64_t size = ZYH_FileSize(path);
  ZyPakSource source = {pak.file, size < 0 ? 0 : size, FileReadAt};
  char why[256];
  if (!ZYFS_PakReadDirectory(&source, &pak.dir, why, sizeof why)) {
    fprintf(stderr, "zypak: '%s' is not a usable pak: %s\n", path, why);
    return false;
  }
  return true;
}

int Create(const char *out_path, const char *dir) {
  // The archive may be written inside the folder it packs; it must not pack itself.
  char *real = realpath(out_path, nullptr);
  std::string skip = real ? real : "";
  free(real);
  std::vector<PakInput> inputs;
  if (!PakCollect(dir, skip, inputs)) return 1;
  if (!PakWrite(out_path, inputs)) return 1;
  uint64_t bytes = 0;
  for (auto &input : inputs) bytes += input.size;
  printf("zypak: wrote '%s': %zu entries, %llu data bytes\n", out_path, inputs.size(),
         (unsigned long long)bytes);
  return 0;
}

int List(const char *path) {
  OpenPak pak;
  if (!Open(path, pak)) return 1;
  for (uint32_t i = 0; i < pak.dir.entry_count; i++) {
    const ZyPakEntry &e = pak.dir.entries[i];
    printf("%10u %10u  %s\n", e.offset, e.size, e.name);
  }
  return 0;
}

// Creates every folder level of dir/rel's parent below dir. Refuses a level, or the
// file itself, that is a symbolic link: writing through it could leave dir.
bool MakeParents(const std::string &dir, const std::string &rel) {
  for (size_t at = rel.find('/');; at = rel.find('/', at + 1)) {
    std::string path = dir + "/" + rel.substr(0, at);
    if (ZYH_IsLink(path.c_str())) {
      fprintf(stderr, "zypak: skipping entry '%s': '%s' is a symbolic link\n", rel.c_str(),
              path.c_str());
      return false;
    }
    if (at == std::string::npos) return true;
    if (!ZYH_MakeDir(path.c_str())) {
      fprintf(stderr, "zypak: cannot create folder '%s'\n", path.c_str());
      return false;
    }
  }
}

bool ExtractEntry(OpenPak &pak, const ZyPakEntry &entry, const std::string &out_path,
                  std::vector<char> &buffer) {
  ZyfsAtomicFile file;
  if (!ZYFS_AtomicOpen(&file, out_path.c_str())) {
    fprintf(stderr, "zypak: cannot create '%s': %s\n", out_path.c_str(), strerror(file.error));
    return false;
  }
  FILE *out = file.stream;
  // Offsets and sizes were checked against the archive's size when it was opened.
  uint64_t done = 0;
  bool ok = true;
  while (ok && done < entry.size) {
    size_t want = entry.size - done < buffer.size() ? (size_t)(entry.size - done) : buffer.size();
    int64_t got = FileReadAt(pak.file, entry.offset + done, buffer.data(), want);
    ok = got == (int64_t)want && fwrite(buffer.data(), 1, want, out) == want;
    done += want;
  }
  if (!ok) {
    ZYFS_AtomicAbandon(&file);
    fprintf(stderr, "zypak: extracting '%s' failed\n", entry.name);
  } else if (!ZYFS_AtomicCommit(&file)) {
    fprintf(stderr, "zypak: extracting '%s' failed: %s\n", entry.name, strerror(file.error));
    ok = false;
  }
  return ok;
}

int Extract(const char *path, const char *dir_arg) {
  OpenPak pak;
  if (!Open(path, pak)) return 1;
  std::string dir = dir_arg;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (!ZYH_MakeDir(dir.c_str())) {
    fprintf(stderr, "zypak: cannot create folder '%s'\n", dir.c_str());
    return 1;
  }
  std::vector<char> buffer(1 << 20);
  int status = 0;
  for (uint32_t i = 0; i < pak.dir.entry_count; i++) {
    const ZyPakEntry &entry = pak.dir.entries[i];
    std::string name = entry.name;
    if (const char *problem = PakNameProblem(name)) {
      fprintf(stderr, "zypak: skipping entry '%s': %s\n", entry.name, problem);
      status = 1;
      continue;
    }
    if (!MakeParents(dir, name) || !ExtractEntry(pak, entry, dir + "/" + name, buffer)) status = 1;
  }
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "create" && argc == 4) return Create(argv[2], argv[3]);
  if (command == "list" && argc == 3) return List(argv[2]);
  if (command == "extract" && argc == 4) return Extract(argv[2], argv[3]);
  if (command == "--help" || command == "-h") {
    Usage();
    return 0;
  }
  return Usage();
}
