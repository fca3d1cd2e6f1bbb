// process.cpp — starting helper programs: the URL opener and the dialog program.
//
// Programs are started with posix_spawnp, never through a shell, so a URL or a title
// reaches the program as one argument whatever characters it holds. A program whose
// output matters runs to its end with its standard output in a pipe; one that is only
// started (xdg-open) is waited for by a helper thread, so no zombie stays behind and the
// frame loop never blocks on it.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "host/backend.h"

extern char **environ;

namespace {

void Reap(void *arg) {
  pid_t pid = (pid_t)(intptr_t)arg;
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// Starts argv with the given descriptors as its standard input and output (-1: the
// parent's). Returns the child's id, or -1 with the reason recorded.
pid_t Start(const char *const argv[], int in_fd, int out_fd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in_fd >= 0) posix_spawn_file_actions_adddup2(&actions, in_fd, 0);
  if (out_fd >= 0) posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char *const *>(argv),
                        environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    ZYH_SetLastError(rc, strerror(rc));
    return -1;
  }
  return pid;
}

}  // namespace

bool ZYH_ProgramOnPath(const char *name) {
  const char *path = getenv("PATH");
  if (!name || !*name || !path) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start);
    if (candidate.empty()) candidate = ".";
    candidate += "/";
    candidate += name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

bool ZYH_SpawnDetached(const char *const argv[]) {
  if (!argv || !argv[0]) return false;
  pid_t pid = Start(argv, -1, -1);
  if (pid < 0) return false;
  if (!ZYH_StartThread(Reap, (void *)(intptr_t)pid)) waitpid(pid, nullptr, WNOHANG);
  return true;
}

int ZYH_RunCapture(const char *const argv[], const char *input, char *out, size_t size) {
  if (out && size) out[0] = '\0';
  if (!argv || !argv[0]) return -1;
  int in_pipe[2] = {-1, -1}, out_pipe[2] = {-1, -1};
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return -1;
  if (pipe2(out_pipe, O_CLOEXEC) != 0) {
    close(in_pipe[0]), close(in_pipe[1]);
    return -1;
  }
  pid_t pid = Start(argv, in_pipe[0], out_pipe[1]);
  close(in_pipe[0]);
  close(out_pipe[1]);
  if (pid < 0) {
    close(in_pipe[1]), close(out_pipe[0]);
    return -1;
  }
  // Input and output go through one poll loop, so a child that writes before it has read
  // everything cannot leave both sides waiting for each other.
  // A child that exits before reading its input must not end this process: SIGPIPE is
  // blocked on this thread while writing, and one raised here is taken off afterwards.
  sigset_t pipe_set, old_set;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_set, &old_set);
  const char *pending = input ? input : "";
  size_t left = strlen(pending), used = 0;
  if (left == 0) close(in_pipe[1]), in_pipe[1] = -1;
  for (;;) {
    struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {in_pipe[1], POLLOUT, 0}};
    int n = poll(fds, in_pipe[1] >= 0 ? 2 : 1, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    if (in_pipe[1] >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t w = write(in_pipe[1], pending, left);
      if (w > 0) pending += w, left -= (size_t)w;
      if (w < 0 || left == 0) close(in_pipe[1]), in_pipe[1] = -1;
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      char chunk[512];
      ssize_t r = read(out_pipe[0], chunk, sizeof chunk);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      for (ssize_t i = 0; i < r && out && used + 1 < size; i++) out[used++] = chunk[i];
      if (out && size) out[used] = '\0';
    }
  }
  if (in_pipe[1] >= 0) close(in_pipe[1]);
  close(out_pipe[0]);
  const struct timespec no_wait = {0, 0};
  while (sigtimedwait(&pipe_set, nullptr, &no_wait) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &old_set, nullptr);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
