// core_block.cpp — storage of the core block of the engine state.
#include "base/core_block.h"

ZyLifecycle zy::core;  // engine state: host block, lifecycle flags, display settings copies
