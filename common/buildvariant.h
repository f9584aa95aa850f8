// Which variant of the shared code a build compiles: ORV_SIZE_FIRST is 1 in the stub's build.
//
// The stub's image must stay small, so where the engine carries code only for speed (the
// inflater's fast loop, the CRC's carry-less folding) the stub's build leaves it out and the
// general path does all the work. The host build keeps every fast path. orv_stub_code
// (cmake/ProjectFlags.cmake) defines the macro for everything the stub links; the code tests
// it with an ordinary if or #if, so both variants come from one source.
#pragma once

#ifndef ORV_SIZE_FIRST
#define ORV_SIZE_FIRST 0
#endif
