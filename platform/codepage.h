// Code-page services of the engine: the text in which it holds names, the conversions of
// stored member names into it, the OEM and ANSI forms of passwords, character stepping.
//
// Name text is UTF-8 on both systems, the form in which the program holds member names,
// paths and every other text, and hands them to platform/files.h (Win32 converts to UTF-16
// at the call). A stored name becomes name text once, when it is read, by one of three
// conversions chosen by the member's flags and host: from UTF-8 (general purpose bit 11 or
// the Unicode path extra field), from the OEM code page (names of DOS-like hosts), or as the
// system takes unmarked names (the ANSI code page on Win32; on POSIX UTF-8 where the bytes
// are valid UTF-8, else code page 1252). ANSI is code page 1252 and OEM is 437 in the POSIX
// layer, the system's own code pages on Win32.
//
// Every byte of invalid UTF-8 becomes kNameReplacement, a single byte, so the name mapping,
// the dialog's list and the clean-up agree on it; no conversion makes a separator or a dot
// out of anything but the ASCII byte.
#pragma once

#include "platform/utf8.h"

#include <string.h>

namespace platform {

// The most bytes of name text that one stored byte can become: an OEM or ANSI byte is (part
// of) a character of the Basic Multilingual Plane, at most 3 bytes of UTF-8. A UTF-8 name
// never grows (a character keeps its bytes or becomes fewer).
enum NameText { kNameGrowth = 3, kNameReplacement = '_' };

// The three conversions of a stored name of `length` bytes (which need not end in a NUL)
// into name text in out (size bytes, at least 1). The result is NUL-terminated and cut at a
// character boundary when out is too small; a size of length * kNameGrowth + 1 always
// suffices. Return the length written. A NUL byte in the stored name ends it.
unsigned utf8toname(const char* stored, unsigned length, char* out, unsigned size);
unsigned oemtoname(const char* stored, unsigned length, char* out, unsigned size);
unsigned ansitoname(const char* stored, unsigned length, char* out, unsigned size);

// An unmarked name of a host that is not DOS-like: as the ANSI code page on Win32; on POSIX
// as UTF-8 when all its bytes are valid UTF-8 (Linux and macOS writers store the file
// system's UTF-8 names without bit 11), otherwise as code page 1252.
unsigned unmarkedtoname(const char* stored, unsigned length, char* out, unsigned size);

// The printable form of name text for the console of the engine's messages, in place: the
// OEM code page on Win32 where it holds every character, unchanged on POSIX, where the
// terminal shows UTF-8.
void nametoconsole(char* text);

// OemToCharA / CharToOemA on a NUL-terminated ANSI text, in place (password forms: both
// code pages are single-byte on the systems this program serves, so a text keeps its length).
void oemtoansi(char* text);
void ansitooem(char* text);

// UTF-8 text as the ANSI code page's bytes into out, without best-fit look-alikes. Returns
// false when a character has no ANSI form or out (size bytes) is too small.
bool texttoansi(const char* text, char* out, unsigned size);

// Bytes of the name-text character that starts at text (1 at the terminating NUL or at a
// byte that starts no valid UTF-8 sequence).
inline unsigned namecharlength(const char* text) {
    unsigned cp = 0;
    unsigned n = decodeutf8(reinterpret_cast<const unsigned char*>(text),
                            static_cast<unsigned>(strnlen(text, kUtf8Longest)), &cp);
    return n ? n : 1;
}

} // namespace platform
