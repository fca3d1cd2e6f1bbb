// system_info.cpp — facts about the machine: the device id and the kernel version.
//
// The device id is the hardware address of the first network interface by name that is
// not a loopback and has a real (non-zero, six-byte) address, read from /sys/class/net.
// Interface names sort the same on every boot, so the id is stable for the machine.
#include <ctype.h>
#include <stdio.h>
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
