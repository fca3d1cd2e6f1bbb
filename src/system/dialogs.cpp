// dialogs.cpp — the engine's side of its modal dialogs: what they show and what comes
// back.
//
// The text-edit and component-properties dialogs share one 512-character edit buffer; the
// text-edit dialog shows its text with control characters, quotes and backslashes as
// backslash pairs, so that what is invisible can be seen and typed (they are not turned
// back on OK). Keys held when a dialog opens would never see their release, so the
// keyboard's key states are cleared first. File dialogs take the filter as Windows games
// always wrote it (pairs of description and "*.a;*.b" patterns, each ending in a NUL, the
// list ending in an empty one); as that form cannot carry its own length, it is read no
// further than FILTER_SCAN_LIMIT characters. The chosen path comes back as a name the
// file system takes: forward slashes, ".." resolved, and "res://..." for a file of the
// game.
#include "system/system.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/engine_table.h"
#include "base/log.h"
#include "fs/fs.h"
#include "host/host.h"

namespace {

const size_t FILTER_SCAN_LIMIT = 2048;  // characters of a double-NUL filter read at most
const size_t FILTER_PAIRS = 16;         // description and pattern pairs kept at most

void ClearKeyboard(void) {
  ZY_EngineInterface *t = ZYI_EngineInterface();
  if (t && t->SetKeyState)
    for (int32_t key = 0; key <= 254; key++) t->SetKeyState(key, 0);
}

void Copy(char *dst, size_t size, const char *src) { snprintf(dst, size, "%s", src ? src : ""); }

// "Images" and "*.png;*.jpg" as the host's "Images | *.png *.jpg".
std::string FilterEntry(const std::string &description, std::string patterns) {
  for (char &c : patterns)
    if (c == ';') c = ' ';
  return (description.empty() ? patterns : description) + " | " + patterns;
}

std::vector<std::string> ParseFilter(const char *filter) {
  std::vector<std::string> parts;
  if (strchr(filter, '|')) {
    std::string all = filter;
    size_t start = 0;
    for (size_t end; (end = all.find('|', start)) != std::string::npos; start = end + 1)
      parts.push_back(all.substr(start, end - start));
    parts.push_back(all.substr(start));
  } else {
    size_t at = 0;
    while (at < FILTER_SCAN_LIMIT && filter[at]) {
      size_t len = strnlen(filter + at, FILTER_SCAN_LIMIT - at);
      parts.push_back(std::string(filter + at, len));
      at += len + 1;
    }
  }
  std::vector<std::string> entries;
  for (size_t i = 0; i + 1 < parts.size() && entries.size() < FILTER_PAIRS; i += 2)
    if (!parts[i + 1].empty()) entries.push_back(FilterEntry(parts[i], parts[i + 1]));
  return entries;
}

}  // namespace

void ZYI_EscapeEditText(const char *text, char *out, size_t size) {
  if (!out || size == 0) return;
  size_t n = 0;
  for (const char *p = text ? text : ""; *p; p++) {
    char escape = 0;
    switch (*p) {
      case '\b': escape = 'b'; break;
      case '\t': escape = 't'; break;
      case '\n': escape = 'n'; break;
      case '\r': escape = 'r'; break;
      case '"': escape = '"'; break;
      case '\\': escape = '\\'; break;
    }
    size_t need = escape ? 2 : 1;
    if (n + need >= size) break;
    if (escape) {
      out[n++] = '\\';
      out[n++] = escape;
    } else {
      out[n++] = *p;
    }
  }
  out[n] = '\0';
}

const char *ZYI_EditValueDialog(const char *initial, const char *title) {
  ZySystem &s = zy::system;
  if (initial)
    ZYI_EscapeEditText(initial, s.edit, sizeof s.edit);
  else
    Copy(s.edit, sizeof s.edit, "<insert text here>");
  Copy(s.edit_title, sizeof s.edit_title, title);
  ClearKeyboard();
  ZyhDialogRequest request = {ZYH_DIALOG_EDIT_TEXT, s.edit_title, s.edit, nullptr};
  ZyhDialogResult result;
  if (!ZYH_ShowDialog(&request, &result)) return nullptr;
  Copy(s.edit, sizeof s.edit, result.field[0]);
  return s.edit;
}

const char *ZYI_EditComponentDialog(const char *name) {
  ZySystem &s = zy::system;
  Copy(s.edit, sizeof s.edit, name);
  ClearKeyboard();
  ZyhDialogRequest request = {ZYH_DIALOG_COMPONENT, "UI Component Common Properties", s.edit,
                              nullptr};
  ZyhDialogResult result;
  if (!ZYH_ShowDialog(&request, &result)) return nullptr;
  // Read in this order into the one buffer: the answer is the Inherit field.
  static const char *const labels[3] = {"Name: '%s'\n", "Parent: '%s'\n", "Inherit: '%s'\n"};
  for (int i = 0; i < 3; i++) {
    Copy(s.edit, sizeof s.edit, result.field[i]);
    ZY_Log(ZY_LOG_INFO, labels[i], s.edit);
  }
  return s.edit;
}

bool ZYI_NormaliseDialogPath(const char *native, char *out, size_t size) {
  std::string path = native ? native : "";
  for (char &c : path)
    if (c == '\\') c = '/';
  std::vector<char> buf(path.begin(), path.end());
  buf.push_back('\0');
  ZYFS_CollapsePath(buf.data());
  path = buf.data();
  // Only the resource folder itself or a path inside it becomes res://, never a folder
  // whose name merely starts the same way ("/games/x" is not inside "/games/xy").
  std::string res = ZYFS_GetRoot(3);
  while (!res.empty() && res.back() == '/') res.pop_back();
  if (!res.empty() && path.compare(0, res.size(), res) == 0 &&
      (path.size() == res.size() || path[res.size()] == '/'))
    path = "res:/" + path.substr(res.size());
  if (path.size() >= size) return false;
  memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

const char *ZYI_FileDialog(bool save, const char *filter) {
  std::vector<std::string> entries = ParseFilter(filter);
  std::vector<const char *> filters;
  for (const std::string &e : entries) filters.push_back(e.c_str());
  filters.push_back(nullptr);
  ZyhDialogRequest request = {save ? ZYH_DIALOG_SAVE_FILE : ZYH_DIALOG_OPEN_FILE,
                              save ? "Save File" : "Open File", nullptr, filters.data()};
  ZyhDialogResult result;
  if (!ZYH_ShowDialog(&request, &result) || !result.field[0][0]) return nullptr;
  // The platform's dialogs refuse a missing file to open or a missing folder to save in;
  // an answer from elsewhere is held to the same rule.
  char folder[ZYH_DIALOG_TEXT_SIZE];
  ZYFS_FolderOf(result.field[0], folder, sizeof folder);
  if (save ? (folder[0] && ZYH_PathKind(folder) != 2) : ZYH_PathKind(result.field[0]) != 1) {
    ZY_Log(ZY_LOG_WARNING, "%s: '%s' does not exist.", save ? "SaveFileDialog" : "OpenFileDialog",
           save ? folder : result.field[0]);
    return nullptr;
  }
  char *out = zy::system.file_path;
  if (!ZYI_NormaliseDialogPath(result.field[0], out, sizeof zy::system.file_path)) {
    ZY_Log(ZY_LOG_WARNING, "The chosen file name is longer than %d characters.",
           ZYI_DIALOG_PATH_SIZE - 1);
    out[0] = '\0';
    return nullptr;
  }
  return out;
}
