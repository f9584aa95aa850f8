// How the setup's options become the engine's run request. Portable.
#pragma once

#include "engine/runrequest.h"

// The engine's overwrite policy for SfxOptions.overwritemode: kOverwriteAlways (8) replaces
// existing files, kOverwriteNever (16) keeps them, every other value asks.
OverwritePolicy overwritepolicy(unsigned char overwritemode);
