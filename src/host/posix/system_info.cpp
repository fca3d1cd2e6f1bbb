// system_info.cpp — facts about the machine: the device id and the kernel version.
//
// The device id is the hardware address of the first network interface by name that is
// not a loopback and has a real (non-zero, six-byte) address, read from /sys/class/net.
// Interface names sort the same on every boot, so the id is stable for the machine.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/utsname.h>

#include <string>
#include <vector>

#include "host/backend.h"

namespace {

const unsigned IFF_LOOPBACK_FLAG = 0x8;   // IFF_LOOPBACK of the interface flags
const int ARPHRD_LOOPBACK_TYPE = 772;     // ARPHRD_LOOPBACK of the interface type

std::string ReadSmallFile(const std::string &path) {
  std::string text;
  if (FILE *f = fopen(path.c_str(), "rb")) {
    char buf[128];
    size_t n = fread(buf, 1, sizeof buf, f);
    text.assign(buf, n);
    fclose(f);
  }
  while (!text.empty() && isspace((unsigned char)text.back())) text.pop_back();
  return text;
}

// Parses "aa:bb:cc:dd:ee:ff" into twelve lower-case digits; false for any other form
// and for the all-zero address of interfaces without hardware.
bool ParseMac(const std::string &text, char out[13]) {
  if (text.size() != 17) return false;
  bool nonzero = false;
  for (int i = 0; i < 6; i++) {
    char hi = text[i * 3], lo = text[i * 3 + 1];
    if (!isxdigit((unsigned char)hi) || !isxdigit((unsigned char)lo)) return false;
    if (i < 5 && text[i * 3 + 2] != ':') return false;
    out[i * 2] = (char)tolower((unsigned char)hi);
    out[i * 2 + 1] = (char)tolower((unsigned char)lo);
    if (hi != '0' || lo != '0') nonzero = true;
  }
  out[12] = '\0';
  return nonzero;
}

bool CollectName(const char *name, bool is_dir, void *user) {
  if (is_dir) ((std::vector<std::string> *)user)->push_back(name);
  return true;
}

}  // namespace

bool ZYH_DeviceMacIn(const char *net_dir, char *buf, size_t size) {
  if (!buf || size == 0) return false;
  buf[0] = '\0';
  std::vector<std::string> names;
  if (!net_dir || !ZYH_ListDir(net_dir, CollectName, &names)) return false;
  for (const std::string &name : names) {
    std::string dir = std::string(net_dir) + "/" + name;
    if (name == "lo") continue;
    unsigned flags = 0;
    if (sscanf(ReadSmallFile(dir + "/flags").c_str(), "%x", &flags) == 1 &&
        (flags & IFF_LOOPBACK_FLAG))
      continue;
    int type = 0;
    if (sscanf(ReadSmallFile(dir + "/type").c_str(), "%d", &type) == 1 &&
        type == ARPHRD_LOOPBACK_TYPE)
      continue;
    char mac[13];
    if (!ParseMac(ReadSmallFile(dir + "/address"), mac)) continue;
    if (size < sizeof mac) return false;
    memcpy(buf, mac, sizeof mac);
    return true;
  }
  return false;
}

bool ZYH_DeviceMac(char *buf, size_t size) {
  return ZYH_DeviceMacIn("/sys/class/net", buf, size);
}

bool ZYH_OsVersion(int *major, int *minor, int *patch) {
  struct utsname u;
  int parts[3] = {0, 0, 0};
  if (uname(&u) != 0 || sscanf(u.release, "%d.%d.%d", &parts[0], &parts[1], &parts[2]) < 1)
    return false;
  if (major) *major = parts[0];
  if (minor) *minor = parts[1];
  if (patch) *patch = parts[2];
  return true;
}

namespace {

// The value of the first line of a "key<sep>value" file whose key is one of `keys`
// (tried in order over the whole file), quotes and surrounding spaces removed.
bool FindValue(const char *path, const std::vector<std::string> &keys, char sep, char *buf,
               size_t size) {
  FILE *f = fopen(path, "r");
  if (!f) return false;
  std::vector<std::string> lines;
  char line[1024];
  while (fgets(line, sizeof line, f)) lines.push_back(line);
  fclose(f);
  for (const std::string &key : keys) {
    for (const std::string &l : lines) {
      size_t at = l.find(sep);
      if (at == std::string::npos) continue;
      std::string k = l.substr(0, at), v = l.substr(at + 1);
      while (!k.empty() && isspace((unsigned char)k.back())) k.pop_back();
      if (k != key) continue;
      while (!v.empty() && (isspace((unsigned char)v.back()) || v.back() == '"')) v.pop_back();
      size_t first = v.find_first_not_of(" \t\"");
      v = first == std::string::npos ? "" : v.substr(first);
      if (v.empty() || v.size() >= size) continue;
      memcpy(buf, v.c_str(), v.size() + 1);
      return true;
    }
  }
  return false;
}

}  // namespace

bool ZYH_OsDistribution(char *buf, size_t size) {
  if (!buf || size == 0) return false;
  buf[0] = '\0';
  for (const char *path : {"/etc/os-release", "/usr/lib/os-release"})
    if (FindValue(path, {"PRETTY_NAME"}, '=', buf, size)) return true;
  return false;
}

bool ZYH_CpuModel(char *buf, size_t size) {
  if (!buf || size == 0) return false;
  buf[0] = '\0';
  return FindValue("/proc/cpuinfo", {"model name", "Hardware", "cpu model"}, ':', buf, size);
}

bool ZYH_LocaleRegion(char *buf, size_t size) {
  if (!buf || size == 0) return false;
  buf[0] = '\0';
  const char *locale = nullptr;
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char *v = getenv(name);
    if (v && *v) {
      locale = v;
      break;
    }
  }
  // language_COUNTRY.codeset@modifier: the country is the two letters after '_'.
  const char *underscore = locale ? strchr(locale, '_') : nullptr;
  if (!underscore || !isalpha((unsigned char)underscore[1]) ||
      !isalpha((unsigned char)underscore[2]) || isalnum((unsigned char)underscore[3]) ||
      size < 3)
    return false;
  buf[0] = (char)toupper((unsigned char)underscore[1]);
  buf[1] = (char)toupper((unsigned char)underscore[2]);
  buf[2] = '\0';
  return true;
}
