// zytest.cpp — temporary worlds, child processes and file helpers for the tests.
#include "zytest.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zytest {

std::string BuildDir() { return ZYTEST_BUILD_DIR; }
std::string SourceDir() { return ZYTEST_SOURCE_DIR; }
std::string ZylemExe() { return ZYTEST_ZYLEM_EXE; }

static void RemoveTree(const std::string &path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR *d = opendir(path.c_str())) {
      while (dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        RemoveTree(path + "/" + e->d_name);
      }
      closedir(d);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

void MakeDirs(const std::string &path) {
  std::string cur;
  std::stringstream ss(path);
  std::string part;
  if (!path.empty() && path[0] == '/') cur = "";
  while (std::getline(ss, part, '/')) {
    if (part.empty()) continue;
    cur += "/" + part;
    mkdir(cur.c_str(), 0755);
  }
}

TempWorld::TempWorld() {
  char tmpl[] = "/tmp/zytest-XXXXXX";
  char *dir = mkdtemp(tmpl);
  if (!dir) {
    ADD_FAILURE() << "mkdtemp failed";
    return;
  }
  root_ = dir;
  home_ = root_ + "/home";
  data_ = home_ + "/.local/share";
  runtime_ = root_ + "/run";
  game_ = root_ + "/game";
  MakeDirs(data_);
  MakeDirs(runtime_);
  chmod(runtime_.c_str(), 0700);
  MakeDirs(game_);
  for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
    const char *old = getenv(name);
    saved_env_.emplace_back(name, old ? old : std::string("\x01"));
  }
  setenv("HOME", home_.c_str(), 1);
  setenv("XDG_DATA_HOME", data_.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
}

TempWorld::~TempWorld() {
  for (auto &kv : saved_env_) {
    if (kv.second == "\x01")
      unsetenv(kv.first.c_str());
    else
      setenv(kv.first.c_str(), kv.second.c_str(), 1);
  }
  if (!root_.empty() && !getenv("ZYTEST_KEEP")) RemoveTree(root_);
}

void WriteFile(const std::string &path, const std::string &contents) {
  std::ofstream f(path, std::ios::binary);
  ASSERT_TRUE(f.good()) << "cannot write " << path;
  f.write(contents.data(), (std::streamsize)contents.size());
}

std::string ReadFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool FileExists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

static void CopyFile(const std::string &from, const std::string &to) {
  std::string data = ReadFile(from);
  ASSERT_FALSE(data.empty()) << "missing build product " << from;
  WriteFile(to, data);
}

void InstallProgram(const std::string &name, const std::string &dir) {
  CopyFile(BuildDir() + "/tests/programs/" + name + "/prog.so", dir + "/prog.so");
}

void InstallModule(const std::string &name, const std::string &dir) {
  CopyFile(BuildDir() + "/modules/" + name + ".so", dir + "/" + name + ".so");
}

static void FindLogs(const std::string &dir, std::vector<std::string> &out) {
  DIR *d = opendir(dir.c_str());
  if (!d) return;
  while (dirent *e = readdir(d)) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    std::string p = dir + "/" + e->d_name;
    struct stat st;
    if (lstat(p.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      FindLogs(p, out);
    } else if (!strncmp(e->d_name, "zylem-", 6) && strstr(e->d_name, ".log") &&
               dir.size() >= 5 && dir.compare(dir.size() - 5, 5, "/logs") == 0) {
      out.push_back(p);
    }
  }
  closedir(d);
}

std::string NewestLog(const std::string &root) {
  std::vector<std::string> logs;
  FindLogs(root, logs);
  if (logs.empty()) return "";
  // Numbers are zero-padded, so the greatest file name is the newest log of its folder;
  // across folders the most recently modified wins.
  std::string best;
  struct timespec best_t = {0, 0};
  for (auto &p : logs) {
    struct stat st;
    stat(p.c_str(), &st);
    if (best.empty() || st.st_mtim.tv_sec > best_t.tv_sec ||
        (st.st_mtim.tv_sec == best_t.tv_sec && st.st_mtim.tv_nsec > best_t.tv_nsec) ||
        (st.st_mtim.tv_sec == best_t.tv_sec && st.st_mtim.tv_nsec == best_t.tv_nsec && p > best)) {
      best = p;
      best_t = st.st_mtim;
    }
  }
  return best;
}

// Collects the child's stdout and stderr until it ends or the time limit passes.
static RunResult Collect(pid_t pid, int out_fd, int err_fd, int timeout_ms) {
  RunResult r;
  struct timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  bool out_open = true, err_open = true;
  int status = 0;
  bool reaped = false;
  for (;;) {
    struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    poll(fds, 2, 20);
    char buf[4096];
    for (int i = 0; i < 2; i++) {
      if (!(i == 0 ? out_open : err_open)) continue;
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0)
          (i == 0 ? r.out : r.err).append(buf, (size_t)n);
        else
          (i == 0 ? out_open : err_open) = false;
      }
    }
    if (!reaped && waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    if (reaped && !out_open && !err_open) break;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long ms = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (ms > timeout_ms && !reaped) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      reaped = true;
      r.timed_out = true;
    }
    if (reaped && ms > timeout_ms + 2000) break;  // grandchildren holding the pipes
  }
  close(out_fd);
  close(err_fd);
  if (WIFEXITED(status))
    r.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    r.status = 128 + WTERMSIG(status);
  return r;
}

RunResult RunZylem(const TempWorld &world, const std::vector<std::string> &args,
                   const std::vector<std::string> &extra_env, int timeout_ms) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  std::string exe = ZylemExe();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    for (auto &e : extra_env) putenv(strdup(e.c_str()));
    std::vector<char *> argv;
    argv.push_back(strdup(exe.c_str()));
    for (auto &a : args) argv.push_back(strdup(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  RunResult r = Collect(pid, out_pipe[0], err_pipe[0], timeout_ms);
  r.log_path = NewestLog(world.root());
  if (!r.log_path.empty()) r.log = ReadFile(r.log_path);
  return r;
}

RunResult RunInChild(const std::function<void()> &fn, int timeout_ms) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    fn();
    fflush(stdout);
    fflush(stderr);
    _exit(0);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  return Collect(pid, out_pipe[0], err_pipe[0], timeout_ms);
}

}  // namespace zytest
