/* assert_fires.c — must NOT compile: it claims ZY_Log sits in slot 2.
 *
 * The layout checks of zylem.h are only worth something if they stop a build. A CTest
 * check compiles this file as C11 (32-bit) and as C99 and passes only when the compiler
 * rejects it with the check's own message, so a check macro that quietly expands to
 * nothing is noticed. */
#include "zylem.h"

ZY_CHECK_SLOT(Log, 2);
