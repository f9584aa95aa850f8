// The system's random source for encryption headers (host build only).
#pragma once

#include "tools/zip/zipmember.h"

// A header source that reads the kernel's random source (getrandom, or /dev/urandom where
// that call is missing); throws BuildError when neither gives the bytes.
ZipHeaderSource systemheadersource();
