// zytest.cpp — temporary worlds, child processes, game folders, small images, an
// in-process engine core and file helpers for the tests.
#include "zytest.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>

#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "base/threads.h"
#include "config/config.h"
#include "fs/fs.h"
#include "host/host.h"
#include "lifecycle/log_file.h"
#include "lifecycle/state.h"

namespace zytest {

std::string BuildDir() { return ZYTEST_BUILD_DIR; }
std::string SourceDir() { return ZYTEST_SOURCE_DIR; }
std::string ZylemExe() { return ZYTEST_ZYLEM_EXE; }

void MakeDirs(const std::string &path) {
  for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    mkdir(path.substr(0, at).c_str(), 0755);
    if (at == std::string::npos) return;
  }
}

TempWorld::TempWorld() {
  char tmpl[] = "/tmp/zytest-XXXXXX";
  if (!mkdtemp(tmpl)) {
    ADD_FAILURE() << "mkdtemp failed";
    return;
  }
  root_ = tmpl, home_ = root_ + "/home", data_ = home_ + "/.local/share";
  runtime_ = root_ + "/run", game_ = root_ + "/game";
  for (const std::string *dir : {&data_, &runtime_, &game_}) MakeDirs(*dir);
  chmod(runtime_.c_str(), 0700);
  for (auto kv : {std::make_pair("HOME", &home_), std::make_pair("XDG_DATA_HOME", &data_),
                  std::make_pair("XDG_RUNTIME_DIR", &runtime_)}) {
    const char *old = getenv(kv.first);
    saved_env_.emplace_back(kv.first, old ? old : std::string("\x01"));
    setenv(kv.first, kv.second->c_str(), 1);
  }
}

TempWorld::~TempWorld() {
  for (auto &kv : saved_env_) {
    if (kv.second == "\x01") unsetenv(kv.first.c_str());
    else setenv(kv.first.c_str(), kv.second.c_str(), 1);
  }
  if (root_.empty() || getenv("ZYTEST_KEEP")) return;
  nftw(root_.c_str(), [](const char *p, const struct stat *, int, FTW *) { return remove(p); }, 16,
       FTW_DEPTH | FTW_PHYS);
}

void WriteFile(const std::string &path, const std::string &contents) {
  std::ofstream f(path, std::ios::binary);
  ASSERT_TRUE(f.good()) << "cannot write " << path;
  f.write(contents.data(), (std::streamsize)contents.size());
}

std::string ReadFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
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

// The most recently modified log wins; numbers are zero-padded, so between logs of the
// same time the greatest name is the newest.
static std::tuple<time_t, long, std::string> newest_log;

std::string NewestLog(const std::string &root) {
  newest_log = {};
  nftw(root.c_str(), [](const char *p, const struct stat *st, int type, FTW *at) {
    const std::string path = p;
    if (type == FTW_F && at->base >= 6 && !strncmp(p + at->base, "zylem-", 6) && strstr(p + at->base, ".log") &&
        path.compare(at->base - 6, 6, "/logs/") == 0)
      newest_log = std::max(newest_log, std::make_tuple(st->st_mtim.tv_sec, st->st_mtim.tv_nsec, path));
    return 0;
  }, 16, FTW_PHYS);
  return std::get<2>(newest_log);
}

// --- Game folders ------------------------------------------------------------

std::string ProgXml(const Game &g) {
  std::string features = g.features.empty() ? "" : " features=\"" + g.features + "\"";
  return "<?xml version=\"1.0\"?>\n<zylem>\n  <array id=\"PARAMETERS\">\n"
         "    <node id=\"APPLICATION\" program_id=\"" + g.id + "\" name=\"" + g.title +
         "\" developer=\"" + g.developer + "\" version=\"1.0\"" + features + " " + g.application +
         "/>\n    <node id=\"DEVELOPER\" " + g.developer_node + "/>\n  </array>\n"
         "  <array id=\"VARIANTS\">\n    <node id=\"LINUX\" renderer_implementation=\"" +
         g.renderer + "\" resolutions=\"" + g.resolutions + "\" " + g.variant +
         "/>\n  </array>\n</zylem>\n";
}

void MakeGame(const std::string &dir, const Game &game) {
  MakeDirs(dir), WriteFile(dir + "/prog.xml", ProgXml(game));
  if (!game.program.empty()) InstallProgram(game.program, dir);
  for (auto &m : game.modules) InstallModule(m, dir);
}

RunResult RunGame(const TempWorld &world, const std::string &renderer,
                  const std::vector<std::string> &args, const std::vector<std::string> &extra_env,
                  int timeout_ms) {
  std::vector<std::string> all = {"--game", world.game(), "--headless", "--renderer", renderer};
  all.insert(all.end(), args.begin(), args.end());
  return RunZylem(world, all, extra_env, timeout_ms);
}


// --- Small images ------------------------------------------------------------

std::string PngBytes(const Image &img) {
  png_image png;
  memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = (png_uint_32)img.width, png.height = (png_uint_32)img.height, png.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&png, nullptr, &size, 0, img.rgba.data(), 0, nullptr);
  std::string bytes(size, '\0');
  EXPECT_TRUE(png_image_write_to_memory(&png, &bytes[0], &size, 0, img.rgba.data(), 0, nullptr));
  return bytes;
}

std::string TgaBytes(const Image &img) {
  std::string tga(18, '\0');
  tga[2] = 2;
  tga[12] = (char)img.width, tga[13] = (char)(img.width >> 8);
  tga[14] = (char)img.height, tga[15] = (char)(img.height >> 8);
  tga[16] = 32, tga[17] = 0x28;  // 8 alpha bits, top row first
  for (size_t i = 0; i < img.rgba.size(); i += 4)
    tga += {(char)img.rgba[i + 2], (char)img.rgba[i + 1], (char)img.rgba[i], (char)img.rgba[i + 3]};
  return tga;
}

std::string JpegBytes(int width, int height, int components, const std::vector<uint8_t> &samples,
                      int quality, bool progressive) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char *out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = (JDIMENSION)width, cinfo.image_height = (JDIMENSION)height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo), jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = (JSAMPROW)&samples[(size_t)cinfo.next_scanline * width * components];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo), jpeg_destroy_compress(&cinfo);
  std::string bytes((const char *)out, out_size);
  free(out);
  return bytes;
}

bool ReadPng(const std::string &path, Image *img, std::string *error) {
  png_image png;
  memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&png, path.c_str())) {
    png.format = PNG_FORMAT_RGBA;
    *img = Image((int)png.width, (int)png.height);
    if (png_image_finish_read(&png, nullptr, img->rgba.data(), 0, nullptr)) return true;
  }
  *error = "cannot read " + path + ": " + png.message;
  png_image_free(&png);
  return false;
}

// --- An engine core in this process ------------------------------------------

static ZY_ProgramInterface core_program;

void StartCore(const TempWorld &world) {
  setenv("ZYLEM_POPUP_ANSWER", "ok", 1);
  ZYI_ResetState();
  ASSERT_TRUE(ZYI_ThreadsInit());
  zy::core.main_thread_id = ZYH_ThreadId();
  ZYI_CreateLocks();
  memset(&core_program, 0, sizeof core_program);
  strcpy(core_program.title, "Test Game");
  core_program.parms.developer_mode = 1;
  zy::core.prog = &core_program;
  zy::core.core_initialized = 1;  // popups are logged as "[POPUP] ..."
  zy::config.console = 1, zy::config.logging = 0;  // the log keeps its history in memory, no file
  ZYH_SetGameFolder(world.game().c_str());
  ASSERT_TRUE(ZYFS_Init());
  ZYFS_SetNames("TestDev", "TestGame");
  ZYI_LogOpen();
}

void StopCore() { ZYI_LogClose(), ZYFS_Shutdown(), ZYI_DeleteLocks(); }

// How many lines of the log history contain text, and the level of the last of them.
static std::pair<int, int> FindLogged(const std::string &text) {
  std::pair<int, int> found(0, -1);
  ZYI_Lock(ZYI_LOCK_PRINT);
  for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++)
    if (const ZyLogRecord *r = ZYI_LogHistoryRecord(i); strstr(r->text, text.c_str()))
      found.first++, found.second = r->level;
  ZYI_Unlock(ZYI_LOCK_PRINT);
  return found;
}
int LoggedCount(const std::string &text) { return FindLogged(text).first; }
int LoggedLevel(const std::string &text) { return FindLogged(text).second; }

// --- Child processes ---------------------------------------------------------

// Forks; the child sends stdout and stderr into pipes and runs `child`. The parent
// collects both until the child ends or the time limit passes.
static RunResult Spawn(const std::function<void()> &child, int timeout_ms) {
  int fd[2][2];  // stdout and stderr: read end, write end
  if (pipe(fd[0]) != 0 || pipe(fd[1]) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  fflush(stdout), fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fd[0][1], 1), dup2(fd[1][1], 2), close(fd[0][0]), close(fd[1][0]);
    child();
    _exit(127);
  }
  close(fd[0][1]), close(fd[1][1]);
  RunResult r;
  const auto start = std::chrono::steady_clock::now();
  bool open[2] = {true, true}, reaped = false;
  int status = 0;
  for (;;) {
    struct pollfd fds[2] = {{fd[0][0], POLLIN, 0}, {fd[1][0], POLLIN, 0}};
    poll(fds, 2, 20);
    char buf[4096];
    for (int i = 0; i < 2; i++) {
      if (!open[i] || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) (i == 0 ? r.out : r.err).append(buf, (size_t)n);
      else open[i] = false;
    }
    if (!reaped && waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    if (reaped && !open[0] && !open[1]) break;
    const long ms = (long)std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ms > timeout_ms && !reaped) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      reaped = r.timed_out = true;
    }
    if (reaped && ms > timeout_ms + 2000) break;  // grandchildren holding the pipes
  }
  close(fd[0][0]), close(fd[1][0]);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  return r;
}

RunResult RunZylem(const TempWorld &world, const std::vector<std::string> &args,
                   const std::vector<std::string> &extra_env, int timeout_ms) {
  std::vector<std::string> words = {ZylemExe()};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (auto &w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  std::vector<std::string> env = extra_env;  // putenv keeps the strings: copies made before fork
  RunResult r = Spawn([&] {
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    for (auto &e : env) putenv(&e[0]);
    execv(argv[0], argv.data());
  }, timeout_ms);
  r.log_path = NewestLog(world.root());
  if (!r.log_path.empty()) r.log = ReadFile(r.log_path);
  return r;
}

RunResult RunInChild(const std::function<void()> &fn, int timeout_ms) {
  return Spawn([&] {
    fn();
    fflush(stdout);
    fflush(stderr);
    _exit(0);
  }, timeout_ms);
}

}  // namespace zytest

// ---------------------------------------------------------------------------------
// Pak archives made by hand
// ---------------------------------------------------------------------------------
namespace zytest {

void PutU32(std::string &bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) bytes[at + i] = (char)((v >> (8 * i)) & 0xff);
}

CraftedPak CraftPak(const std::vector<CraftEntry> &entries) {
  CraftedPak pak;
  pak.bytes.assign("PAK\0V11\0\0\0\0\0\0\0\0\0", 16);
  for (auto &e : entries) {
    pak.data_offsets.push_back((uint32_t)pak.bytes.size());
    pak.bytes += e.data;
  }
  pak.dir_offset = (uint32_t)pak.bytes.size();
  pak.bytes.append(4, '\0');
  PutU32(pak.bytes, pak.dir_offset, (uint32_t)entries.size());
  for (size_t i = 0; i < entries.size(); i++) {
    pak.bytes += entries[i].name + '\0';
    pak.words_at.push_back((uint32_t)pak.bytes.size());
    pak.bytes.append(16, '\0');
    PutU32(pak.bytes, pak.words_at[i], pak.data_offsets[i]);
    PutU32(pak.bytes, pak.words_at[i] + 4, (uint32_t)entries[i].data.size());
  }
  PutU32(pak.bytes, 8, pak.dir_offset);
  PutU32(pak.bytes, 12, (uint32_t)pak.bytes.size());
  return pak;
}

}  // namespace zytest

// ---------------------------------------------------------------------------------
// A loopback HTTP server
// ---------------------------------------------------------------------------------
namespace zytest {

std::string HttpAnswer(const std::string &status, const std::string &body) {
  return "HTTP/1.0 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void LoopbackServer::Serve(int fd) {
  std::string request;
  char buf[4096];
  timeval wait = {2, 0};  // a request that stops short is answered after 2 s
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  for (size_t want = SIZE_MAX, end, at; request.size() < want;) {
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    request.append(buf, (size_t)n);
    // Complete after the blank line, Content-Length bytes and one more CR LF.
    if ((end = request.find("\r\n\r\n")) != std::string::npos && (at = request.find("Content-Length: ")) < end)
      want = end + 6 + std::stoul(request.substr(at + 16));
  }
  Answer answer = handler_(request);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  send(fd, answer.bytes.data(), answer.bytes.size(), MSG_NOSIGNAL);
  wait = {answer.hold_ms / 1000, answer.hold_ms % 1000 * 1000};
  if (answer.hold_ms && !setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait))
    recv(fd, buf, 1, 0);  // until the client leaves, at most hold_ms
  close(fd);
}

LoopbackServer::LoopbackServer(std::function<Answer(const std::string &)> handler, bool ipv6)
    : handler_(std::move(handler)) {
  sockaddr_in6 six = {};
  sockaddr_in four = {};
  six.sin6_family = AF_INET6, six.sin6_addr = in6addr_loopback;
  four.sin_family = AF_INET, four.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr *addr = ipv6 ? (sockaddr *)&six : (sockaddr *)&four;
  socklen_t size = ipv6 ? sizeof six : sizeof four;
  listener_ = socket(addr->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (bind(listener_, addr, size) != 0 || listen(listener_, 16) != 0 || getsockname(listener_, addr, &size) != 0)
    ADD_FAILURE() << "loopback server: " << strerror(errno);
  port_ = ntohs(ipv6 ? six.sin6_port : four.sin_port);
  thread_ = std::thread([this] {
    for (int client; (client = accept(listener_, nullptr, nullptr)) >= 0;) Serve(client);
  });
}

LoopbackServer::~LoopbackServer() {
  shutdown(listener_, SHUT_RDWR);  // ends the accept the thread waits in
  thread_.join();
  close(listener_);
}

std::vector<std::string> LoopbackServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

}  // namespace zytest
