// POSIX implementation of platform/system.h.
#include "platform/system.h"
