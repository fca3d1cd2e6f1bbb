// instance.cpp — the single-instance guard.
//
// A game that wants one instance holds an exclusive lock (flock) on a file named after
// its program id for as long as it runs; the kernel drops the lock when the process
// ends, however it ends, so a crashed game never blocks the next start. The holder writes
// its pid and window title into the file. A second start that finds the lock taken reads
// the title: the same title means the same game, so it leaves a "<lock>.raise" file that
// asks the holder to bring its window forward, and then ends; a different title (another
// game that happens to share the id) lets it go on.
//
// The file lives in $XDG_RUNTIME_DIR, private to the user. The /tmp fallback is shared
// with every user, so there the name carries the user id, links are never followed and a
// file owned by someone else is never used.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "host/backend.h"

namespace {

int held_fd = -1;        // the open lock file while this process holds it
pid_t held_pid = 0;      // process that took it (a forked child does not hold it)
std::string held_path;   // its path

// The id as a file name: safe characters kept, anything else replaced, and a hash of
// the original added whenever it was changed so that distinct ids stay distinct.
std::string SanitizeId(const char *id) {
  std::string out;
  bool changed = false;
  for (const char *p = id; *p; p++) {
    char c = *p;
    bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '.' || c == '_' || c == '-';
    if (out.size() >= 64) {
      changed = true;
      break;
    }
    out += safe ? c : '_';
    changed |= !safe;
  }
  if (out.empty() || changed) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (const char *p = id; *p; p++) h = (h ^ (uint8_t)*p) * 16777619u;
    char hex[16];
    snprintf(hex, sizeof hex, "-%08x", h);
    out += hex;
  }
  return out;
}

std::string LockPath(const char *id) {
  const char *run = getenv("XDG_RUNTIME_DIR");
  if (run && run[0] == '/' && ZYH_PathKind(run) == 2)
    return std::string(run) + "/zylem-" + SanitizeId(id) + ".lock";
  return "/tmp/zylem-" + std::to_string((unsigned)geteuid()) + "-" + SanitizeId(id) + ".lock";
}

void ShortPause() {
  struct timespec ts = {0, 10 * 1000000L};
  nanosleep(&ts, nullptr);
}

// Reads "pid\ntitle\n". The holder writes it just after taking the lock, so an empty or
// partial file means "not written yet" and is read again for a short while.
bool ReadHolder(int fd, std::string &title) {
  for (int attempt = 0; attempt < 50; attempt++) {
    std::string text;
    char buf[1024];
    ssize_t n;
    off_t at = 0;
    while ((n = pread(fd, buf, sizeof buf, at)) > 0) {
      text.append(buf, (size_t)n);
      at += n;
      if (text.size() > 65536) return false;
    }
    size_t nl = text.find('\n');
    if (nl != std::string::npos && text.size() > nl + 1 && text.back() == '\n') {
      title = text.substr(nl + 1, text.size() - nl - 2);
      return true;
    }
    ShortPause();
  }
  return false;
}

int BecomeHolder(int fd, const std::string &path, const char *title) {
  std::string record = std::to_string((long)getpid()) + "\n" + title + "\n";
  if (ftruncate(fd, 0) != 0 ||
      pwrite(fd, record.data(), record.size(), 0) != (ssize_t)record.size()) {
    close(fd);
    return -1;
  }
  held_fd = fd;
  held_pid = getpid();
  held_path = path;
  unlink((path + ".raise").c_str());  // a request left over from an earlier holder
  return 1;
}

void AskHolderToRaise(const std::string &path) {
  int fd = open((path + ".raise").c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::string pid = std::to_string((long)getpid()) + "\n";
  if (write(fd, pid.data(), pid.size()) < 0) {
    // The file's existence is the request; its contents are only informative.
  }
  close(fd);
}

}  // namespace

int ZYH_InstanceLock(const char *id, const char *title) {
  if (!id) id = "";
  if (!title) title = "";
  std::string path = LockPath(id);
  if (held_fd >= 0 && held_pid == getpid()) return path == held_path ? 1 : -1;

  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    close(fd);
    return -1;
  }
  for (int attempt = 0; attempt < 3; attempt++) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return BecomeHolder(fd, path, title);
    if (errno != EWOULDBLOCK) break;
    std::string holder_title;
    if (!ReadHolder(fd, holder_title)) continue;  // the holder may have just ended
    close(fd);
    if (holder_title != title) return -1;
    AskHolderToRaise(path);
    return 0;
  }
  close(fd);
  return -1;
}

bool ZYH_InstanceRaiseRequested(void) {
  if (held_fd < 0 || held_pid != getpid()) return false;
  // Removing the request is what consumes it, so two callers never both see it.
  return unlink((held_path + ".raise").c_str()) == 0;
}

void ZYH_InstanceRelease(void) {
  if (held_fd >= 0 && held_pid == getpid()) close(held_fd);  // closing drops the flock
  held_fd = -1;
  held_pid = 0;
  held_path.clear();
}
