// state.cpp — storage of the engine state record.
#include "core/state.h"

#include <string.h>

ZyState zy;

void ZYI_ResetState() { memset(&zy, 0, sizeof zy); }
