// Code-page services of the engine: OEM and ANSI conversions and multibyte stepping.
//
// ANSI is the system's 8-bit code page (1252 in the POSIX layer), OEM the console's (437 in
// the POSIX layer). Conversions work in place: both code pages are single-byte on the
// systems this program serves, so a text keeps its length.
#pragma once

namespace platform {

// OemToCharA / CharToOemA on a NUL-terminated text, in place.
void oemtoansi(char* text);
void ansitooem(char* text);

// True when byte c starts a two-byte character of the ANSI code page.
bool leadbyte(unsigned char c);

// Converts a UTF-8 text given on a Linux command line to ANSI (code page 1252) into out.
// Returns false when a character has no ANSI form or out is too small. The Win32 layer takes
// its command line in ANSI already and only copies.
bool utf8toansi(const char* text, char* out, unsigned size);

// Converts an ANSI text to what a Linux terminal shows (UTF-8); the Win32 layer only copies.
// False when out is too small.
bool ansitoutf8(const char* text, char* out, unsigned size);

} // namespace platform
