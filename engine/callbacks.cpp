// Engine messages: formatting into the output window, the default message and input
// routines, and the printable form of member names.
//
// Every message is formatted into the engine's output window and handed with its flags to
// the message callback of EngineState, so a receiver other than messageout sees each event
// in call order. Most texts are empty on purpose: the user learns outcomes from result
// codes and the user interface's own dialogs.
#include "engine/enginestate.h"

#include "platform/codepage.h"
#include "platform/textformat.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

void deliver(unsigned length, unsigned flags) {
    engine.message(&engine, reinterpret_cast<const char*>(engine.window), length, flags);
}

bool writeall(FILE* stream, const char* text, size_t length) {
    return fwrite(text, 1, length, stream) == length;
}

} // namespace

void sendmessage(unsigned flags, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length =
        platform::formatlist(reinterpret_cast<char*>(engine.window), kOutputWindow, format, args);
    va_end(args);
    deliver(length > 0 ? static_cast<unsigned>(length) : 0, flags);
}

void notify(unsigned flags) {
    engine.window[0] = 0;
    deliver(0, flags);
}

int messageout(EngineState* state, const char* text, unsigned length, unsigned flags) {
    FILE* stream = (flags & 0x01) ? stderr : stdout;
    bool endsline = length > 0 && text[length - 1] == '\n';
    bool addline = (flags & 0x40) && (length == 0 ? !state->atlinestart : !endsline);
    if ((flags & 0x20) && !state->atlinestart) {
        writeall(stream, "\n", 1);
        fflush(stream);
    }
    bool written = writeall(stream, text, length) && (!addline || writeall(stream, "\n", 1));
    fflush(stream);
    state->atlinestart = endsline || addline;
    return written ? 0 : 1;
}

int noinput(EngineState*, char* answer, unsigned size) {
    if (size > 0) answer[0] = 0;
    return 0;
}

char* printablename(const char* name, char* buffer) {
    char* out = buffer;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        if (*p < 32) {
            *out++ = '^';
            *out++ = static_cast<char>(*p + 64);
        } else {
            *out++ = static_cast<char>(*p);
        }
    }
    *out = 0;
    platform::nametoconsole(buffer);
    return buffer;
}

// A member reports its first error only (a warning does not use up that report), so each
// failing member gives one reason: the cause, not what followed from it.
void memberfailure(int reason, int result, int syserror) {
    if (engine.memberfailed) return;
    if (result > kResultWarning) engine.memberfailed = 1;
    if (engine.ui && engine.ui->reportfailure)
        engine.ui->reportfailure(engine.ui->context, reason, result, engine.member->name, syserror);
}

void archivefailure(int reason, int result, int syserror) {
    if (engine.ui && engine.ui->reportfailure)
        engine.ui->reportfailure(engine.ui->context, reason, result, nullptr, syserror);
}
