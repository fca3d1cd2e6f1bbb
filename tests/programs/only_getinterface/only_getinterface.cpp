// The normal test game exporting only the older entry point, which returns its own record.
#define ZYTEST_OLDER_ENTRY_ONLY
#include "../normal/normal.cpp"
