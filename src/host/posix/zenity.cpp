// zenity.cpp — the engine's modal dialogs as zenity windows on the desktop.
//
// zenity is a small program that shows GTK dialogs and prints the answer: it needs a
// display (X11 or Wayland) and must be installed; without either the dialog counts as
// cancelled, as a dialog the user closed would. Exit status 0 means confirmed. The
// file chooser and the form end their answer with a line feed, which is not part of it;
// the text editor prints the text exactly as edited. zenity's form cannot show an
// initial value in its entries, so the component name is shown in the form's text and
// an empty Name field keeps it.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "host/backend.h"

namespace {

const char FIELD_SEPARATOR = '\x1f';  // between the form's fields (never typed)

bool DisplayPresent(void) {
  const char *x11 = getenv("DISPLAY"), *wayland = getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

void CopyField(char *dst, const std::string &src) {
  snprintf(dst, ZYH_DIALOG_TEXT_SIZE, "%s", src.c_str());
}

}  // namespace

bool ZYH_ZenityDialog(const ZyhDialogRequest *request, ZyhDialogResult *result) {
  if (!DisplayPresent() || !ZYH_ProgramOnPath("zenity")) return false;
  std::vector<std::string> args = {"zenity"};
  std::string title = std::string("--title=") + (request->title ? request->title : "");
  const char *input = nullptr;
  switch (request->kind) {
    case ZYH_DIALOG_OPEN_FILE:
    case ZYH_DIALOG_SAVE_FILE:
      args.push_back("--file-selection");
      if (request->kind == ZYH_DIALOG_SAVE_FILE) args.push_back("--save");
      for (const char *const *f = request->filters; f && *f; f++)
        args.push_back(std::string("--file-filter=") + *f);
      break;
    case ZYH_DIALOG_EDIT_TEXT:
      args.push_back("--text-info");
      args.push_back("--editable");
      input = request->text ? request->text : "";
      break;
    case ZYH_DIALOG_COMPONENT:
      args.push_back("--forms");
      args.push_back(std::string("--text=Name: '") + (request->text ? request->text : "") + "'");
      for (const char *field : {"--add-entry=Name:", "--add-entry=Parent:", "--add-entry=Inherit:"})
        args.push_back(field);
      args.push_back(std::string("--separator=") + FIELD_SEPARATOR);
      break;
  }
  args.push_back(title);
  std::vector<const char *> argv;
  for (const std::string &a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);

  // Three fields of up to 511 characters and their separators fit.
  std::vector<char> out(ZYH_DIALOG_TEXT_SIZE * 4);
  if (ZYH_RunCapture(argv.data(), input, out.data(), out.size()) != 0) return false;
  std::string answer = out.data();
  if (request->kind != ZYH_DIALOG_EDIT_TEXT && !answer.empty() && answer.back() == '\n')
    answer.pop_back();
  if (request->kind != ZYH_DIALOG_COMPONENT) {
    CopyField(result->field[0], answer);
    return true;
  }
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t end; (end = answer.find(FIELD_SEPARATOR, start)) != std::string::npos; start = end + 1)
    fields.push_back(answer.substr(start, end - start));
  fields.push_back(answer.substr(start));
  fields.resize(3);
  if (fields[0].empty() && request->text) fields[0] = request->text;
  for (int i = 0; i < 3; i++) CopyField(result->field[i], fields[i]);
  return true;
}
