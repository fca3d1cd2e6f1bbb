// pak_writer.cpp — scanning a folder and writing it out as one pak archive.
//
// Files are taken in name order, so the same folder always gives the same archive. The
// data of each file follows the 16-byte header in that order and the directory comes
// last; the header is written again at the end with the directory offset and the total
// size. The format's 32-bit offsets limit an archive to 4 GiB, which is checked before
// anything is written. The archive is written whole (fs/atomic_file.h): a failure leaves
// the archive it would have replaced as it was.
#include "pak_writer.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "fs/atomic_file.h"
#include "fs/pak_format.h"
#include "host/host.h"

static const int MAX_DEPTH = 64;  // deeper than this is a link loop, not a data folder
static const uint64_t LARGE_FILES = 500;
static const uint64_t LARGE_BYTES = 64ull << 20;

const char *PakNameProblem(const std::string &name) {
  if (name.empty()) return "empty name";
  if (name[0] == '/') return "absolute path";
  if (name.find("..") != std::string::npos) return "contains '..'";
  if (name.find('\\') != std::string::npos) return "contains a backslash";
  if (name.find(':') != std::string::npos) return "contains ':'";
  if (name.size() > ZYFS_PAK_NAME_MAX) return "name longer than 511 characters";
  return nullptr;
}

namespace {

struct Walk {
  std::string base;      // native folder being listed, ending in "/"
  std::string prefix;    // entry name prefix, "" or ending in "/"
  std::vector<std::string> files, dirs;
};

bool Collect(const char *name, bool is_dir, void *user) {
  Walk *walk = (Walk *)user;
  (is_dir ? walk->dirs : walk->files).push_back(name);
  return true;
}

bool CollectFolder(const std::string &dir, const std::string &prefix, const std::string &skip,
                   int depth, std::vector<PakInput> &out) {
  if (depth > MAX_DEPTH) {
    fprintf(stderr, "zypak: folder '%s' is nested too deeply (a link loop?)\n", dir.c_str());
    return false;
  }
  Walk walk;
  if (!ZYH_ListDir(dir.c_str(), Collect, &walk)) {
    fprintf(stderr, "zypak: cannot read folder '%s'\n", dir.c_str());
    return false;
  }
  // Files and folders interleave in name order so entries sort like their full names.
  std::vector<std::pair<std::string, bool>> names;
  for (auto &f : walk.files) names.emplace_back(f, false);
  for (auto &d : walk.dirs) names.emplace_back(d, true);
  std::sort(names.begin(), names.end());
  for (auto &[name, is_dir] : names) {
    std::string path = dir + "/" + name;
    std::string entry = prefix + name;
    if (is_dir) {
      if (!CollectFolder(path, entry + "/", skip, depth + 1, out)) return false;
      continue;
    }
    if (ZYH_PathKind(path.c_str()) != 1) continue;  // devices, sockets, broken links
    char *real = realpath(path.c_str(), nullptr);
    bool is_output = real && skip == real;
    free(real);
    if (is_output) continue;
    if (const char *problem = PakNameProblem(entry)) {
      fprintf(stderr, "zypak: refusing entry '%s': %s\n", entry.c_str(), problem);
      return false;
    }
    int64_t size = ZYH_FileSize(path.c_str());
    if (size < 0) {
      fprintf(stderr, "zypak: cannot read '%s'\n", path.c_str());
      return false;
    }
    out.push_back({entry, path, (uint64_t)size});
  }
  return true;
}

// Progress for large folders: a line every 5 %, rewritten in place on a terminal.
struct Progress {
  bool show;
  bool tty;
  uint64_t total_bytes, total_files;
  int last_step = -1;

  void Update(uint64_t files, uint64_t bytes) {
    if (!show) return;
    // Files and bytes weigh half each, so 100 % means both are done.
    double done = (double)files / (double)(total_files ? total_files : 1);
    done = total_bytes ? (done + (double)bytes / (double)total_bytes) / 2 : done;
    int step = (int)(done * 20 + 1e-9);
    if (step == last_step) return;
    last_step = step;
    fprintf(stderr, "%szypak: %3d%% (%llu/%llu files, %.1f/%.1f MiB)%s", tty ? "\r" : "",
            step * 5, (unsigned long long)files, (unsigned long long)total_files,
            bytes / 1048576.0, total_bytes / 1048576.0, tty ? "" : "\n");
    if (tty && step == 20) fputc('\n', stderr);
    fflush(stderr);
  }
};

bool WriteAll(FILE *out, const void *data, size_t bytes) {
  return fwrite(data, 1, bytes, out) == bytes;
}

bool CopyFile(FILE *out, const PakInput &input, std::vector<char> &buffer, Progress &progress,
              uint64_t files_done, uint64_t &bytes_done) {
  FILE *in = fopen(input.path.c_str(), "rb");
  if (!in) {
    fprintf(stderr, "zypak: cannot open '%s'\n", input.path.c_str());
    return false;
  }
  uint64_t copied = 0;
  bool ok = true;
  while (ok) {
    size_t got = fread(buffer.data(), 1, buffer.size(), in);
    if (got == 0) break;
    copied += got;
    // A file that grew since the scan would overrun the size in the directory.
    if (copied > input.size) break;
    ok = WriteAll(out, buffer.data(), got);
    bytes_done += got;
    progress.Update(files_done, bytes_done);
  }
  fclose(in);
  if (!ok) {
    fprintf(stderr, "zypak: write failed\n");
    return false;
  }
  if (copied != input.size) {
    fprintf(stderr, "zypak: '%s' changed size while being packed\n", input.path.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool PakCollect(const std::string &dir, const std::string &skip, std::vector<PakInput> &out) {
  out.clear();
  std::string base = dir;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (ZYH_PathKind(base.c_str()) != 2) {
    fprintf(stderr, "zypak: '%s' is not a folder\n", dir.c_str());
    return false;
  }
  return CollectFolder(base, "", skip, 0, out);
}

bool PakWrite(const std::string &out_path, const std::vector<PakInput> &inputs) {
  // Everything must be addressable with 32-bit offsets: data, directory and all.
  uint64_t data_end = ZYFS_PAK_HEADER_SIZE, dir_bytes = 4;
  for (auto &input : inputs) {
    data_end += input.size;
    dir_bytes += input.name.size() + 1 + 16;
  }
  if (data_end + dir_bytes > UINT32_MAX) {
    fprintf(stderr, "zypak: the files add up to more than a pak can hold (4 GiB)\n");
    return false;
  }

  ZyfsAtomicFile file;
  if (!ZYFS_AtomicOpen(&file, out_path.c_str())) {
    fprintf(stderr, "zypak: cannot create '%s': %s\n", out_path.c_str(), strerror(file.error));
    return false;
  }
  FILE *out = file.stream;
  Progress progress{inputs.size() >= LARGE_FILES || data_end >= LARGE_BYTES,
                    isatty(fileno(stderr)) != 0, data_end - ZYFS_PAK_HEADER_SIZE,
                    (uint64_t)inputs.size()};
  std::vector<char> buffer(1 << 20);
  uint8_t header[ZYFS_PAK_HEADER_SIZE];
  ZYFS_PakWriteHeader(header, 0, 0);
  bool ok = WriteAll(out, header, sizeof header);
  std::vector<uint32_t> offsets;
  uint64_t offset = ZYFS_PAK_HEADER_SIZE, bytes_done = 0;
  for (size_t i = 0; ok && i < inputs.size(); i++) {
    offsets.push_back((uint32_t)offset);
    ok = CopyFile(out, inputs[i], buffer, progress, i, bytes_done);
    offset += inputs[i].size;
    progress.Update(i + 1, bytes_done);
  }

  uint32_t dir_offset = (uint32_t)offset;
  if (ok) {
    uint8_t word[4];
    ZYFS_WriteU32(word, (uint32_t)inputs.size());
    ok = WriteAll(out, word, 4);
    for (size_t i = 0; ok && i < inputs.size(); i++) {
      uint8_t words[16];
      ZYFS_WriteU32(words, offsets[i]);
      ZYFS_WriteU32(words + 4, (uint32_t)inputs[i].size);
      ZYFS_WriteU32(words + 8, 0);
      ZYFS_WriteU32(words + 12, 0);
      ok = WriteAll(out, inputs[i].name.c_str(), inputs[i].name.size() + 1) &&
           WriteAll(out, words, sizeof words);
    }
  }
  if (ok) {
    ZYFS_PakWriteHeader(header, dir_offset, (uint32_t)(data_end + dir_bytes));
    ok = fseek(out, 0, SEEK_SET) == 0 && WriteAll(out, header, sizeof header);
  }
  if (!ok) {
    ZYFS_AtomicAbandon(&file);
    fprintf(stderr, "zypak: writing '%s' failed; it is left as it was\n", out_path.c_str());
  } else if (!ZYFS_AtomicCommit(&file)) {
    fprintf(stderr, "zypak: writing '%s' failed: %s\n", out_path.c_str(), strerror(file.error));
    ok = false;
  }
  return ok;
}
