// zytest.h — the test harness every suite uses.
//
// ZyTest gives each test its own temporary world: HOME, XDG_DATA_HOME and
// XDG_RUNTIME_DIR point into a fresh folder, and an empty game folder waits beside
// them. Helpers install program modules and implementation modules built from
// tests/programs and tests/modules into that game folder (or make a whole game folder),
// run the real `zylem` executable as a child process with a time limit, run a piece of
// code in a forked child to observe how it ends (exit paths), write paks and small
// images, and bring up an engine core in the test's own process.
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
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

// --- Game folders ------------------------------------------------------------

// A game folder: prog.xml (APPLICATION with title, id and developer, a DEVELOPER node, one
// LINUX variant naming the renderer), tests/programs/<program> as prog.so, and modules.
struct Game {
  std::string program = "normal";  // "" for no program module
  std::vector<std::string> modules = {"rmod_record", "smod_record", "imod_record"};
  std::string title = "Test Game", id = "zytest.game", developer = "ZytestStudio";
  std::string renderer = "rmod_record", resolutions = "640x480";
  std::string features;     // APPLICATION features, "" for none
  std::string application;  // further APPLICATION attributes, written as they are
  std::string variant =     // further LINUX attributes, written as they are
      "sound_implementation=\"smod_record\" input_implementations=\"imod_record\"";
  std::string developer_node = "developer_mode=\"1\" logging=\"1\" console=\"1\" logging_verbose_level=\"INFO\"";
};
std::string ProgXml(const Game &game);
// Writes prog.xml and copies the program and modules into dir.
void MakeGame(const std::string &dir, const Game &game);
// Runs zylem headless on the world's game folder with the renderer module named, then args
// (launcher options, "--" and the game's own), as RunZylem does.
RunResult RunGame(const TempWorld &world, const std::string &renderer, const std::vector<std::string> &args = {},
                  const std::vector<std::string> &extra_env = {}, int timeout_ms = 20000);

// --- Small images ------------------------------------------------------------

// An RGBA picture: rows top first, bytes R, G, B, A.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  Image() = default;
  Image(int w, int h) : width(w), height(h), rgba((size_t)w * h * 4) {}
  uint8_t *At(int x, int y) { return &rgba[((size_t)y * width + x) * 4]; }
  const uint8_t *At(int x, int y) const { return &rgba[((size_t)y * width + x) * 4]; }
};
std::string PngBytes(const Image &img);  // 8-bit RGBA
std::string TgaBytes(const Image &img);  // uncompressed 32-bit, top row first
// A JPEG of packed samples with 1 (grey), 3 (RGB) or 4 (CMYK) components a pixel.
std::string JpegBytes(int width, int height, int components, const std::vector<uint8_t> &samples,
                      int quality, bool progressive = false);
// Decodes any PNG into 8-bit RGBA; false with the reason in *error.
bool ReadPng(const std::string &path, Image *img, std::string *error);

// --- An engine core in this process ------------------------------------------

// Brings the engine up far enough for in-process tests: state, threads, locks, a
// developer-mode program "Test Game" whose popups are answered OK and logged as "[POPUP]
// ...", the log in memory, and the file system over the world's game folder (user folder
// <data>/TestDev/TestGame). StopCore takes it down again.
void StartCore(const TempWorld &world);
void StopCore();
int LoggedCount(const std::string &text);  // lines of the log history containing text
int LoggedLevel(const std::string &text);  // level of the last such line, or -1

}  // namespace zytest

// Fixture: every test gets a fresh world.
class ZyTest : public ::testing::Test {
 protected:
  zytest::TempWorld world;
};

// ---------------------------------------------------------------------------------
// Pak archives made by hand (fs and tools tests), byte by byte and independently of the
// engine's pak code, so a test can also damage any part of one.
// ---------------------------------------------------------------------------------
namespace zytest {

struct CraftEntry {
  std::string name, data;
};

// A hand-made archive and where its parts ended up.
struct CraftedPak {
  std::string bytes;
  uint32_t dir_offset = 0;
  std::vector<uint32_t> data_offsets, words_at;  // per entry: its data, its four words
};

// Stores v little-endian at bytes[at..at+3].
void PutU32(std::string &bytes, size_t at, uint32_t v);
// Header, the data of each entry in order, then the directory (further words zero).
CraftedPak CraftPak(const std::vector<CraftEntry> &entries);

}  // namespace zytest

// ---------------------------------------------------------------------------------
// A loopback HTTP server (net and engine tests): no test reaches past this machine.
// ---------------------------------------------------------------------------------
namespace zytest {

// The answer to one request: bytes sent, then the connection held open for up to
// hold_ms (until the client leaves) before it is closed.
struct Answer {
  std::string bytes;
  int hold_ms = 0;
};
// "HTTP/1.0 <status>" with a Content-Length header and the body.
std::string HttpAnswer(const std::string &status, const std::string &body);

// Serves one connection after another on 127.0.0.1 or ::1 from a thread of its own: reads
// a request through its blank line, its Content-Length bytes and a CR LF, records it and
// sends what the handler returns for it.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::function<Answer(const std::string &)> handler, bool ipv6 = false);
  ~LoopbackServer();
  int port() const { return port_; }
  std::vector<std::string> Requests();  // every request so far, in order

 private:
  void Serve(int fd);
  std::function<Answer(const std::string &)> handler_;
  int listener_ = -1, port_ = 0;
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace zytest
