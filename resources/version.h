// The version of Orvandel SFX: the stub's version resource, "orvsfx --version" and, read by
// cmake/ReadVersion.cmake, the project and its packages.
#pragma once

#define ORV_VERSION_MAJOR 1
#define ORV_VERSION_MINOR 0
#define ORV_VERSION_PATCH 0
#define ORV_VERSION_TEXT "1.0.0"
