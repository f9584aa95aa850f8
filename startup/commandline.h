// The command line of a package run: the program name, the switches, the usage message.
//
// A tail such as '/s /d C:\My Files /p secret' is split in place into arguments: a blank
// ends an argument only when a switch character ('/', '-' or '\') follows it, so a folder
// with blanks needs no quotes (and a blank in front of a switch character always splits,
// even inside a path). Every other blank stays in its argument, and a byte 0x01 of the
// tail becomes a blank as well.
//
// Each argument that starts with a switch character and has a second character acts on the
// setup options by that character, upper and lower case alike:
//
//   a     automatic extraction
//   s     silent: automatic, no start question, completion message or comment, overwrite;
//         a lower-case third 's' ("/ss", "/Ss") hides the progress window as well
//   x     no command after extraction
//   o q n overwrite mode: overwrite (8), confirm (0), skip (16)
//   d     destination folder, stored as given (folder macros were expanded before)
//   p     preset password for encrypted members
//   ? h   usage message
//   #     the rest of the line becomes the parameters of the command, after its '|'
//
// The value of d, p and # starts at the third character, or at the fourth when the third is
// a blank or ':' ('/dC:\x', '/d C:\x' and '/d:C:\x' all give 'C:\x'). Later switches
// override earlier ones; anything else is ignored without a message.
//
// This file is portable: the stub shows the messages, the tests and the fuzzer call the
// same functions.
#pragma once

#include <stddef.h>

struct SfxOptions;

enum CommandLineLimits {
    kArgumentTable = 50,       // arguments acted on; the ones after the 50th are ignored
    kSwitchValueLength = 1023, // bytes of a "/d" or "/p" value that are kept (UTF-8)
    kUsageBuffer = 4096,       // the usage message with its NUL
};

// What the setup does after applycommandline.
enum CommandLineResult {
    kCommandLineGoOn,     // every argument applied: the setup goes on
    kCommandLineUsage,    // "/?" or "/h": show the usage message, then end with exit code 1
    kCommandLineNoMemory, // "/#" could not grow the command: show the out-of-memory text, end
};

// Skips the program name at the start of a process command line and the blanks after it;
// returns the tail. A name in double quotes runs to the next quote; when there is none the
// whole line, opening quote included, is the tail. An unquoted name ends at the first blank.
// Only blanks (0x20) separate: a tab is part of the name.
char* skipprogramname(char* line);

// Splits tail in place and applies its arguments, in order, to options. A "/p" value goes
// to password (passwordsize bytes, at least 1: the engine's preset password), cut to
// kSwitchValueLength characters or what the buffer holds. "/#" rejoins the rest of the
// tail, also past the 50th argument, and puts it after the first '|' of options->command
// (appending a '|' when there is none); options->command is a heap block and is grown.
// Processing stops after "/#", "/?" and "/h".
CommandLineResult applycommandline(char* tail, SfxOptions* options, char* password,
                                   size_t passwordsize);

// Composes the usage message into out (size bytes, at least 1; the stub gives
// kUsageBuffer), cut there and ended by a NUL. texts are the 66 user-interface texts by
// UiTextId; they fill the message's places and are never read as formats. The program's
// name is the last component of modulepath in lower case, cut at its first '.'. Returns out.
char* formatusage(char* out, unsigned size, const char* modulepath, const char* const* texts);
