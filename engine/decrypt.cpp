// Decryption of members encrypted with the traditional PKWARE cipher, and where their
// passwords come from.
//
// The cipher is the standard one; its key schedule (engine/zipcipher.h), which the package
// builder encrypts with, runs here on the keys of the engine's state. Each member's data
// starts with 12 encrypted header bytes whose last plain byte must equal a check byte: the
// high byte of the DOS time when the member has a data descriptor, otherwise the high
// byte of its CRC-32. That check accepts or refuses a password.
//
// Passwords are tried in this order for each encrypted member: the password cached from the
// last member, then the run request's first password (or "STOCK-PW" when it gives none, as
// the stub does when its command line has no password), then at most three answers of the
// user. Every candidate is held
// in UTF-8 and also tried in the ANSI code page and converted to the OEM code page and back,
// since archivers disagree about which code page a password is hashed in. The user's skip answer
// ends the member's tries, cancel ends all questions of the run.
#include "engine/enginestate.h"

#include "engine/zipcipher.h"
#include "platform/codepage.h"

#include <stdlib.h>
#include <string.h>

namespace {

const int kQuestionsPerMember = 3;
const char kStockPassword[] = "STOCK-PW";

void copypassword(char* buffer, const char* text) {
    size_t length = strlen(text);
    if (length > kPasswordBuffer - 1) length = kPasswordBuffer - 1;
    memcpy(buffer, text, length);
    buffer[length] = 0;
}

// Reads the 12 header bytes through the byte reader, undecrypted, against the member's
// compressed count.
void readheader(unsigned char* header) {
    engine.member->encrypted = false;
    deferleftover();
    for (int i = 0; i < kEncryptionHeader; ++i) {
        int c = --engine.cursor.unread >= 0 ? *engine.cursor.next++ : readbyte();
        header[i] = static_cast<unsigned char>(c < 0 ? 0 : c);
    }
    restoreleftover();
    engine.member->encrypted = true;
}

unsigned char checkbyte() {
    return static_cast<unsigned char>((engine.local.flags & kFlagDataDescriptor)
                                          ? engine.local.dostime >> 8
                                          : engine.local.crc >> 24);
}

int testpassword(const unsigned char* header, const char* text) {
    initkeys(text);
    unsigned char plain = 0;
    for (int i = 0; i < kEncryptionHeader; ++i) {
        plain = static_cast<unsigned char>(header[i] ^ decryptbyte());
        updatekeys(plain);
    }
    if (plain != checkbyte()) return -1;
    long long count = engine.cursor.unread;
    if (count > engine.remaining) count = engine.remaining;
    if (count > 0) decryptbuffer(engine.cursor.next, static_cast<unsigned>(count));
    return 0;
}

// Tries a form of the password that differs from the one tried before it.
bool tryform(const unsigned char* header, const char* form, const char* before) {
    return strcmp(form, before) != 0 && testpassword(header, form) == 0;
}

// The password is held in UTF-8 and tried in that form, then in the ANSI code page's bytes
// (what an archiver of that code page hashed when the user typed it there), and those
// converted to the OEM code page and back.
int trypassword(const unsigned char* header) {
    const char* typed = engine.password;
    if (testpassword(header, typed) == 0) return 0;
    char ansi[kPasswordBuffer], variant[kPasswordBuffer];
    if (!platform::texttoansi(typed, ansi, sizeof ansi)) return -1;
    if (tryform(header, ansi, typed)) return 0;
    copypassword(variant, ansi);
    platform::ansitooem(variant);
    if (tryform(header, variant, ansi)) return 0;
    copypassword(variant, ansi);
    platform::oemtoansi(variant);
    return tryform(header, variant, ansi) ? 0 : -1;
}

void releasecached() {
    free(engine.password);
    engine.password = nullptr;
}

// Puts the next password to try for member into the cached password's buffer: the first
// password when *counter is 0, else the user's answer. Returns false when the user asks for
// no more questions in this run (the buffer is then emptied); that and a skip answer end the
// member's tries.
bool nextpassword(int* counter, const char* member) {
    char* buffer = engine.password;
    if (*counter == 0) {
        *counter = kQuestionsPerMember;
        const char* first = engine.firstpassword;
        copypassword(buffer, first && *first ? first : kStockPassword);
        return true;
    }
    --*counter;
    if (engine.ui->promptpassword)
        engine.ui->promptpassword(engine.uicontext, buffer, member);
    else
        buffer[0] = static_cast<char>(kPasswordCancelMarker);
    buffer[kPasswordBuffer - 1] = 0;
    unsigned char first = static_cast<unsigned char>(buffer[0]);
    bool goon = first != kPasswordCancelMarker;
    if (!goon) buffer[0] = 0;
    if (!goon || first == kPasswordSkipMarker) *counter = 0;
    return goon;
}

} // namespace

void initkeys(const char* text) {
    startkeys(&engine.keys);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        updatekeys(*p);
}

void updatekeys(unsigned char plain) {
    takeplain(&engine.keys, plain);
}

unsigned char decryptbyte() {
    return keystreambyte(&engine.keys);
}

void decryptbuffer(unsigned char* data, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        data[i] = static_cast<unsigned char>(data[i] ^ decryptbyte());
        updatekeys(data[i]);
    }
}

int openencrypted() {
    unsigned char header[kEncryptionHeader];
    readheader(header);
    if (engine.newarchive) {
        engine.newarchive = 0;
        releasecached();
    }
    if (engine.password) {
        if (trypassword(header) == 0) return kEncryptedOpen;
        if (engine.nomoreprompts) return kEncryptedNoPassword;
    } else {
        engine.password = static_cast<char*>(malloc(kPasswordBuffer));
        if (!engine.password) return kEncryptedNoMemory;
        engine.password[0] = 0;
    }
    int counter = 0;
    do {
        bool goon = nextpassword(&counter, engine.filename);
        if (trypassword(header) == 0) return kEncryptedOpen;
        if (!goon) engine.nomoreprompts = 1;
    } while (counter > 0);
    return kEncryptedNoPassword;
}

void releasepassword() {
    releasecached();
}
