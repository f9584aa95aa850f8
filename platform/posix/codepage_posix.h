// What the POSIX layer's file functions need from its code-page tables.
//
// Engine paths are code page 1252; Linux file names are UTF-8. Every path that reaches the
// Linux file system goes through ansitoutf8 first.
#pragma once

namespace platform {

// Converts an ANSI (code page 1252) text to UTF-8 into out. False when out is too small.
bool ansitoutf8(const char* text, char* out, unsigned size);

} // namespace platform
