// One run of the zip engine as a front end asks for it: the only way into the engine.
//
// The stub's extraction run, the Linux front-end, the tests, the fuzzer and the benchmark all
// describe a run in a RunRequest and hand it to runarchive, which fills the option fields of
// the one EngineState and calls extractarchive. Nobody else writes those fields, so every
// front end starts the engine the same way and a new option has exactly one place to go. The
// request carries what the run needs (what to open, where to write, which members, what to do
// with existing files, the first password to try, the lists that record what was made); the
// user interface's table (engine/engineui.h) and its context carry every question and report
// back.
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
    // The first password tried for every encrypted member, UTF-8, at most kPasswordBuffer - 1
    // bytes; null or empty means "STOCK-PW". The user is asked when it does not fit.
    const char* password;
    // String lists (common/stringlists.h) that the run adds to, 0 for none: every folder it
    // creates, every output file it writes, and of those the ones made where no file stood
    // before (the clean-up after a cancelled run removes these and nothing else).
    int dirlist, filelist, newfilelist;
    const EngineUi* ui; // the front end's operations; null: all of them left null
    void* context;      // handed to every operation
};

// The request that most runs start from: every member of archivepath, written under
// destination (kRunExtract) or decoded and checked (kRunTest), existing files asked about,
// no password, no lists, through ui with context.
RunRequest runrequest(const char* archivepath, const char* destination, RunAction action,
                      const EngineUi* ui, void* context);

// Sets the engine's option fields from request and runs extractarchive once; returns its
// result code.
int runarchive(const RunRequest* request);
