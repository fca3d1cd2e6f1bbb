// console_internal.h — helpers shared by the console's own files.
#pragma once

#include "console/console.h"

bool ZYI_TextListAppend(ZyTextList *list, const char *text);
void ZYI_TextListFree(ZyTextList *list);
// Whether text starts with prefix, ignoring case for A to Z.
bool ZYI_StartsWithFolded(const char *text, const char *prefix);
// Hands an event to the program through the lifecycle's delivery.
uint32_t ZYI_ConsoleDeliver(const ZY_InputEvent *ev);
