// The run request: fills the engine's option fields and starts one run.
#include "engine/runrequest.h"

RunRequest runrequest(const char* archivepath, const char* destination, RunAction action,
                      const EngineUi* ui, void* context) {
    return {archivepath, nullptr, destination, action, kRunAll, kPolicyAsk,
            nullptr,     0,       0,           0,      ui,      context};
}

int runarchive(const RunRequest* request) {
    engine.archivepath = request->archivepath;
    engine.archivename = request->archivename ? request->archivename : request->archivepath;
    engine.destination = request->destination;
    engine.extract = request->action;
    engine.extractall = request->selection;
    engine.overwritealways = request->overwrite == kPolicyOverwrite;
    engine.overwritenever = request->overwrite == kPolicyKeep;
    engine.firstpassword = request->password;
    engine.dirlist = request->dirlist;
    engine.filelist = request->filelist;
    engine.newfilelist = request->newfilelist;
    engine.ui = request->ui ? request->ui : &kNoUi;
    engine.uicontext = request->context;
    return extractarchive();
}
