// zytest.h — the test harness every suite uses.
//
// ZyTest gives each test its own temporary world: HOME, XDG_DATA_HOME and
// XDG_RUNTIME_DIR point into a fresh folder, and an empty game folder waits beside
// them. Helpers install program modules and implementation modules built from
// tests/programs and tests/modules into that game folder, run the real `zylem`
// executable as a child process with a time limit, and run a piece of code in a forked
// child to observe how it ends (exit paths).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace zytest {

// A temporary folder tree that the process environment points at while it lives.
class TempWorld {
 public:
  TempWorld();
  ~TempWorld();
  TempWorld(const TempWorld &) = delete;
  TempWorld &operator=(const TempWorld &) = delete;

  const std::string &root() const { return root_; }   // the whole tree
  const std::string &home() const { return home_; }   // $HOME
  const std::string &data() const { return data_; }   // $XDG_DATA_HOME
  const std::string &runtime() const { return runtime_; }  // $XDG_RUNTIME_DIR
  const std::string &game() const { return game_; }   // an empty game folder

 private:
  std::string root_, home_, data_, runtime_, game_;
  std::vector<std::pair<std::string, std::string>> saved_env_;
};

// Outcome of a child process.
struct RunResult {
  int status = -1;         // exit status 0..255, or 128 + signal when killed by one
  bool timed_out = false;  // killed because it ran past the time limit
  std::string out, err;    // everything written to stdout and stderr
  std::string log;         // contents of the newest zylem-NNNN.log under the world, if any
  std::string log_path;
};

// Runs the zylem executable with the arguments, in the world's environment plus the
// extra "NAME=value" entries. The process is killed after timeout_ms.
RunResult RunZylem(const TempWorld &world, const std::vector<std::string> &args,
                   const std::vector<std::string> &extra_env = {}, int timeout_ms = 20000);

// Forks and runs fn in the child; the child exits 0 when fn returns. Returns how the
// child ended (stdout and stderr captured). For testing code paths that end the process.
RunResult RunInChild(const std::function<void()> &fn, int timeout_ms = 20000);

// Copies tests/programs/<name> (built as prog.so) into dir.
void InstallProgram(const std::string &name, const std::string &dir);
// Copies the implementation module <name>.so built from tests/modules or modules/
// into dir.
void InstallModule(const std::string &name, const std::string &dir);

// Small file helpers (abort the test with a failure when they cannot work).
void WriteFile(const std::string &path, const std::string &contents);
std::string ReadFile(const std::string &path);
bool FileExists(const std::string &path);
void MakeDirs(const std::string &path);
// Newest file (by name) matching logs/zylem-*.log anywhere under root; "" when none.
std::string NewestLog(const std::string &root);

// Paths of the build.
std::string BuildDir();
std::string SourceDir();
std::string ZylemExe();

}  // namespace zytest

// Fixture: every test gets a fresh world.
class ZyTest : public ::testing::Test {
 protected:
  zytest::TempWorld world;
};
