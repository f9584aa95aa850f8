# Cross toolchain for the win32 build: 32-bit Windows via Debian's MinGW-w64 (posix threads,
# so that GoogleTest has std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ORV_MINGW i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${ORV_MINGW}-gcc-posix ${ORV_MINGW}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ORV_MINGW}-g++-posix ${ORV_MINGW}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ORV_MINGW}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${ORV_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Win32 test programs run under Wine through the project's wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec.sh)
