// Version of the stub, shown in its version resource.
#pragma once

#define ORV_VERSION_MAJOR 1
#define ORV_VERSION_MINOR 0
#define ORV_VERSION_PATCH 0
#define ORV_VERSION_TEXT "1.0.0"
