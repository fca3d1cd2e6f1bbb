// state.h — the base layer's parts of the engine state record: the core block, the
// named locks, the log and the popup queue (see base/state_part.h for the record).
#pragma once

#include "base/core_block.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
