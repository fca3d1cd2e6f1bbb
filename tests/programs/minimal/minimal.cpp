// The program module that the header checks compile (for 32-bit, every warning an error)
// and the ABI test loads: the normal test game, a game written against zylem.h alone,
// built again on its own.
#include "../normal/normal.cpp"
