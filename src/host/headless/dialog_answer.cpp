// dialog_answer.cpp — dialogs that nobody can see, answered from the environment.
//
// ZYLEM_DIALOG_ANSWER holds one answer a line, used by the dialogs in the order they
// open; once the lines are used up the last one answers every further dialog. "cancel"
// (any case) cancels, as does a missing variable; the component form takes its Name,
// Parent and Inherit fields from one line separated by '|'. What the dialog showed and
// what it was answered go to stderr, as scripted message boxes do.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <atomic>
#include <string>

#include "host/backend.h"

namespace {

std::atomic<int> next_line{0};  // the line the next dialog takes

// Line `index` of the text, or the last one when there are fewer.
std::string Line(const char *text, int index) {
  std::string all = text, line;
  size_t start = 0;
  for (int i = 0;; i++) {
    size_t end = all.find('\n', start);
    line = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (i == index || end == std::string::npos) return line;
    start = end + 1;
  }
}

}  // namespace

void ZYH_DialogAnswersForget(void) { next_line.store(0); }

bool ZYH_ScriptedDialog(const ZyhDialogRequest *request, ZyhDialogResult *result) {
  const char *title = request->title ? request->title : "";
  const char *shown = request->text ? request->text : "";
  const char *answers = getenv("ZYLEM_DIALOG_ANSWER");
  std::string line = answers ? Line(answers, next_line.fetch_add(1)) : "cancel";
  if (strcasecmp(line.c_str(), "cancel") == 0) {
    fprintf(stderr, "[dialog] %s showing '%s': cancelled\n", title, shown);
    fflush(stderr);
    return false;
  }
  fprintf(stderr, "[dialog] %s showing '%s': '%s'\n", title, shown, line.c_str());
  fflush(stderr);
  int fields = request->kind == ZYH_DIALOG_COMPONENT ? 3 : 1;
  size_t start = 0;
  for (int i = 0; i < fields && start <= line.size(); i++) {
    size_t end = fields > 1 ? line.find('|', start) : std::string::npos;
    std::string part = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    snprintf(result->field[i], ZYH_DIALOG_TEXT_SIZE, "%s", part.c_str());
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}
