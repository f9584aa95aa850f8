// Code-page services of the engine: the text in which it holds names, the conversions of
// stored member names into it, OEM and ANSI conversions of passwords, character stepping.
//
// Name text is the system's narrow encoding for file names, the form in which the engine
// holds member names and paths and hands them to platform/files.h: the ANSI code page on
// Win32, UTF-8 on POSIX. A stored name becomes name text once, when it is read, by one of
// three conversions chosen by the member's flags and host: from UTF-8 (general purpose bit
// 11 or the Unicode path extra field), from the OEM code page (names of DOS-like hosts), or
// as it stands (every other name: the ANSI code page, or on POSIX UTF-8 where the bytes are
// valid UTF-8). ANSI is code
// page 1252 and OEM is 437 in the POSIX layer.
//
// Every character that name text cannot hold, and every byte of invalid UTF-8, becomes
// kNameReplacement. On Win32 no best-fit mapping is made, so look-alikes such as FULLWIDTH
// SOLIDUS or ONE DOT LEADER never turn into "/" or "."; on both systems a replacement is
// the same single byte, so the name mapping, the dialog's list and the clean-up agree on it.
#pragma once

namespace platform {

// The most bytes of name text that one stored byte can become: an OEM or ANSI byte is a
// character of the Basic Multilingual Plane, at most 3 bytes of UTF-8. A UTF-8 name never
// grows (a character keeps its bytes or becomes fewer), and neither does an ANSI one.
enum NameText { kNameGrowth = 3, kNameReplacement = '_' };

// The three conversions of a stored name of `length` bytes (which need not end in a NUL)
// into name text in out (size bytes, at least 1). The result is NUL-terminated and cut at a
// character boundary when out is too small; a size of length * kNameGrowth + 1 always
// suffices. Return the length written. A NUL byte in the stored name ends it.
unsigned utf8toname(const char* stored, unsigned length, char* out, unsigned size);
unsigned oemtoname(const char* stored, unsigned length, char* out, unsigned size);
unsigned ansitoname(const char* stored, unsigned length, char* out, unsigned size);

// An unmarked name of a host that is not DOS-like, taken as it stands: as the ANSI code page
// on Win32; on POSIX as UTF-8 when all its bytes are valid UTF-8 (Linux and macOS writers
// store the file system's UTF-8 names without bit 11), otherwise as code page 1252.
unsigned unmarkedtoname(const char* stored, unsigned length, char* out, unsigned size);

// Bytes of the name-text character that starts at text (1 at the terminating NUL): a
// double-byte character of the ANSI code page on Win32, a valid UTF-8 sequence on POSIX.
unsigned namecharlength(const char* text);

// The printable form of name text for the console of the engine's messages, in place:
// OEM on Win32 (CharToOemA), unchanged on POSIX, where the terminal shows UTF-8.
void nametoconsole(char* text);

// OemToCharA / CharToOemA on a NUL-terminated ANSI text, in place (passwords: both code
// pages are single-byte on the systems this program serves, so a text keeps its length).
void oemtoansi(char* text);
void ansitooem(char* text);

// Converts a UTF-8 text given on a Linux command line to ANSI (code page 1252) into out.
// Returns false when a character has no ANSI form or out is too small. The Win32 layer takes
// its command line in ANSI already and only copies.
bool utf8toansi(const char* text, char* out, unsigned size);

} // namespace platform
