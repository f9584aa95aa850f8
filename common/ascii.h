// ASCII letters and case of 8-bit text, and the path separators of both systems.
//
// The C library's isalpha, toupper and tolower (and msvcrt's _strlwr) give the same answers
// in the "C" locale, which these programs never leave; these compare bytes only, so no
// locale can change them, and the stub imports none of those functions for them.
#pragma once

inline bool isasciiletter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline char asciiupper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char asciilower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A path separator of either system: '/' or a backslash.
inline bool isseparator(char c) {
    return c == '/' || c == '\\';
}
