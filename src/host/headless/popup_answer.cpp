// popup_answer.cpp — message boxes that nobody can see.
//
// Without a display (the headless backend, or SDL unable to show a box) a message box
// is answered by the environment: ZYLEM_POPUP_ANSWER names the button to press, so tests
// and scripted runs choose the path a user would. The caption and text go to stderr, so
// what the user would have read is never lost. An answer the box does not offer, or no
// answer at all, presses the default button: OK, or Yes for the Yes/No/Cancel set.
#include <stdio.h>
#include <stdlib.h>
#include <strings.h>

#include "host/backend.h"

ZyhAnswer ZYH_DefaultAnswer(ZyhButtons buttons) {
  return buttons == ZYH_MB_YESNOCANCEL ? ZYH_ID_YES : ZYH_ID_OK;
}

bool ZYH_SetOffers(ZyhButtons buttons, ZyhAnswer answer) {
  switch (buttons) {
    case ZYH_MB_OKCANCEL: return answer == ZYH_ID_OK || answer == ZYH_ID_CANCEL;
    case ZYH_MB_YESNOCANCEL:
      return answer == ZYH_ID_YES || answer == ZYH_ID_NO || answer == ZYH_ID_CANCEL;
    default: return answer == ZYH_ID_OK;
  }
}

ZyhAnswer ZYH_ScriptedAnswer(const char *caption, const char *text, ZyhButtons buttons) {
  fprintf(stderr, "[popup] %s: %s\n", caption ? caption : "", text ? text : "");
  fflush(stderr);

  static const struct { const char *word; ZyhAnswer answer; } words[] = {
      {"ok", ZYH_ID_OK}, {"cancel", ZYH_ID_CANCEL}, {"yes", ZYH_ID_YES}, {"no", ZYH_ID_NO}};
  const char *wanted = getenv("ZYLEM_POPUP_ANSWER");
  if (wanted)
    for (auto &w : words)
      if (strcasecmp(wanted, w.word) == 0 && ZYH_SetOffers(buttons, w.answer))
        return w.answer;
  return ZYH_DefaultAnswer(buttons);
}
