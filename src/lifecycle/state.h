// state.h — storage and reset of the whole engine state record.
//
// Every subsystem's part (`zy::NAME`, declared with ZYI_STATE_PART in its own header and
// defined in one of its own files) is zeroed by ZYI_ResetState. A new subsystem adds its
// part there.
#pragma once

#include <stddef.h>

// Zeroes every part of the engine state record.
void ZYI_ResetState();
// Bytes of the whole record (the resource report shows it).
size_t ZYI_StateSize();
