// state.h — storage and reset of the whole engine state record.
//
// Every subsystem's part (`zy::NAME`, declared with ZYI_STATE_PART in its own header) is
// defined in state.cpp and zeroed by ZYI_ResetState. A new subsystem adds its part there.
#pragma once

// Zeroes every part of the engine state record.
void ZYI_ResetState();
