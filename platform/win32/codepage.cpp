// Win32 implementation of platform/codepage.h. This file contains only Windows code.
#include "platform/codepage.h"

#include <string.h>
#include <windows.h>

namespace platform {

void oemtoansi(char* text) {
    OemToCharA(text, text);
}

void ansitooem(char* text) {
    CharToOemA(text, text);
}

bool leadbyte(unsigned char c) {
    return IsDBCSLeadByte(c) != 0;
}

namespace {

bool copytext(const char* text, char* out, unsigned size) {
    size_t length = strlen(text);
    if (length >= size) return false;
    memcpy(out, text, length + 1);
    return true;
}

} // namespace

bool utf8toansi(const char* text, char* out, unsigned size) {
    return copytext(text, out, size);
}

bool ansitoutf8(const char* text, char* out, unsigned size) {
    return copytext(text, out, size);
}

} // namespace platform
