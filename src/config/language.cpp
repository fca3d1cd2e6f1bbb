// language.cpp — finding a language name in the command line.
#include "config/language.h"

#include <string.h>

#include "base/state.h"

const char *ZYI_GetLanguage(void) {
  static const char *const kLanguages[] = {
      "English", "Spanish", "French", "Italian", "Portuguese", "German",  "Mandarin", "Chinese",
      "Japanese", "Korean", "Arabic", "Hindi",   "Urdu",       "Bengali", "Punjabi",  "Russian"};
  const char *command_line = zy::core.command_line;
  if (!command_line) return nullptr;
  // The table's order decides, not the position in the command line.
  for (const char *language : kLanguages)
    if (strstr(command_line, language)) return language;
  return nullptr;
}
