// The engine's message stream and its failure reports.
//
// Every message is formatted into the engine's output window and handed with its flags to
// the receiver that a test installs (engine/messagehook.h); without one nothing is formatted.
// Most texts are empty on purpose: the user learns outcomes from failure reasons, result
// codes and the user interface's own dialogs.
#include "engine/messagehook.h"

#include "platform/codepage.h"
#include "platform/textformat.h"

#include <stdarg.h>

void setmessagehook(MessageReceiver receive, void* context, int quietlevel) {
    engine.receiver = receive;
    engine.receivercontext = context;
    engine.quietlevel = quietlevel;
}

void deliver(const char* text, unsigned length, unsigned flags) {
    if (engine.receiver) engine.receiver(engine.receivercontext, text, length, flags);
}

void sendmessage(unsigned flags, const char* format, ...) {
    if (!engine.receiver) return;
    va_list args;
    va_start(args, format);
    int length =
        platform::formatlist(reinterpret_cast<char*>(engine.window), kOutputWindow, format, args);
    va_end(args);
    deliver(reinterpret_cast<const char*>(engine.window), length > 0 ? unsigned(length) : 0, flags);
}

void notify(unsigned flags) {
    deliver("", 0, flags);
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
    if (engine.ui->reportfailure)
        engine.ui->reportfailure(engine.uicontext, reason, result, engine.member->name, syserror);
}

void archivefailure(int reason, int result, int syserror) {
    if (engine.ui->reportfailure)
        engine.ui->reportfailure(engine.uicontext, reason, result, nullptr, syserror);
}

bool skipmember(int* result, int reason, int failure, unsigned event) {
    *result = raiseresult(*result, failure);
    memberfailure(reason, failure);
    notify(event);
    return false;
}

int archivefault(int result, int reason, int failure, unsigned event) {
    notify(event);
    archivefailure(reason, failure);
    return raiseresult(result, failure);
}
