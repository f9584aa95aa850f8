// Win32 implementation of platform/system.h. Only Windows code belongs in this file.
#include "platform/system.h"
