// The run request: fills the engine's option fields and starts one run.
#include "engine/runrequest.h"

int runarchive(const RunRequest* request) {
    engine.archivepath = request->archivepath;
    engine.archivename = request->archivename ? request->archivename : request->archivepath;
    engine.destination = request->destination;
    engine.extract = request->action;
    engine.extractall = request->selection;
    engine.overwritealways = request->overwrite == kPolicyOverwrite;
    engine.overwritenever = request->overwrite == kPolicyKeep;
    engine.quietlevel = request->quietlevel;
    engine.ui = request->ui;
    if (request->message) engine.message = request->message;
    if (request->input) engine.input = request->input;
    if (request->askpassword) engine.askpassword = request->askpassword;
    return extractarchive();
}
