// One run of the zip engine as a front end asks for it: the only way the engine's options
// are set.
//
// The stub's extraction run, the Linux front-end, the tests and the fuzzers all describe a
// run in a RunRequest and hand it to runarchive, which fills the option fields of the one
// EngineState and calls extractarchive. Nobody else writes those fields, so every front end
// starts the engine the same way and a new option has exactly one place to go.
#pragma once

#include "engine/enginestate.h"

// What the engine does with each chosen member (its extract flag).
enum RunAction {
    kRunTest = 0,    // decode and check every member, write nothing
    kRunExtract = 1, // write every member under the destination
};

// Which members are chosen (its extract-all flag).
enum RunSelection {
    kRunSelected = 0, // members whose name is selected in the user interface's file list
    kRunAll = 1,      // every member of the archive
};

struct RunRequest {
    const char* archivepath; // file to open
    const char* archivename; // the name as first given, for the not-found report (null: path)
    const char* destination; // extraction root; null means the current folder
    RunAction action;
    RunSelection selection;
    OverwritePolicy overwrite;
    int quietlevel; // messages for information only when 0
    const EngineUi* ui;
    // Replacements of the default callbacks; null keeps the engine's own.
    MessageCallback message;
    InputCallback input;
    PasswordCallback askpassword;
};

// Sets the engine's option fields from request and runs extractarchive once; returns its
// result code. The callbacks stay replaced until the next initengine.
int runarchive(const RunRequest* request);
