// String helpers: case-blind search, token replacement, prefixing.
// Portable and below the setup dialogs, so that the start-up's folder macros and the dialogs
// share them; tested without a display.
#pragma once

#include <stddef.h>

// First occurrence of pattern in text, ignoring case, as a pointer into text; null when
// there is none or memory for the upper-case copies cannot be had.
char* findnocase(char* text, const char* pattern);
const char* findnocase(const char* text, const char* pattern);

// Replaces every occurrence of token (ignoring case) in text by replacement. Returns -1
// when the result, with its NUL, fitted into capacity characters and was written to text;
// otherwise the size the result would need (text unchanged); 0 when memory runs out.
// With merge, an occurrence followed by the replacement's last character drops that
// character from the replacement, for it and every later occurrence ("%temp%\x" with
// "C:\Temp\" gives "C:\Temp\x"). token must not be empty; with merge, neither may
// replacement.
int replacetoken(char* text, const char* token, const char* replacement, size_t capacity,
                 bool merge);

// Inserts prefix in front of text, in place; the caller provides the room. Returns text.
char* prependtext(char* text, const char* prefix);
