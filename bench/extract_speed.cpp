// Whole-archive extraction by the i686 engine, for timing under Wine against other
// extractors on the same zip.
//
// Runs the engine once through runarchive, as the stub's extraction run does: every member,
// existing files overwritten, no questions, and with the created folders and files recorded
// in string lists as the stub keeps them for its clean-up. The caller times the whole
// process, so the figure includes start-up and every file the engine writes. Prints the
// engine's result code and exits with 0 only when it is 0. With "test" the engine decodes
// and checks every member but writes nothing, which separates decoding from file output.
//
// Usage: extract_speed <zip file> <destination folder> [test]
#include "common/pathlimits.h"
#include "common/stringlists.h"
#include "engine/runrequest.h"

#include <stdio.h>
#include <string.h>

namespace {

int printmessage(EngineState*, const char* text, unsigned length, unsigned) {
    fprintf(stderr, "%.*s\n", (int)length, text);
    return 0;
}

int overwriteall(void*, const char*) {
    return 1;
}
void skippassword(void*, char* buffer, const char*) {
    buffer[0] = static_cast<char>(kPasswordSkipMarker);
}
int keepgoing(void*, const char*) {
    return 0;
}
int nolistitem(void*, const char*) {
    return -1;
}
int notselected(void*, int) {
    return 0;
}
void nodelete(void*, int) {}

} // namespace

int main(int argc, char** argv) {
    bool testonly = argc == 4 && strcmp(argv[3], "test") == 0;
    if (argc != 3 && !testonly) {
        fprintf(stderr, "usage: extract_speed <zip file> <destination folder> [test]\n");
        return 2;
    }
    static char text[kSharedTextBuffer];
    int cancel = 0;
    unsigned long long bytesdone = 0;
    listinit();
    EngineUi ui = {};
    ui.askoverwrite = overwriteall;
    ui.promptpassword = skippassword;
    ui.reportprogress = keepgoing;
    ui.finditem = nolistitem;
    ui.isselected = notselected;
    ui.deleteitem = nodelete;
    ui.cancel = &cancel;
    ui.bytesdone = &bytesdone;
    ui.text = text;
    ui.textsize = sizeof text;
    ui.dirlist = listcreate();
    ui.filelist = listcreate();

    RunRequest request = {};
    request.archivepath = argv[1];
    request.destination = argv[2];
    request.action = testonly ? kRunTest : kRunExtract;
    request.selection = kRunAll;
    request.overwrite = kPolicyOverwrite;
    request.quietlevel = 1;
    request.ui = &ui;
    request.message = printmessage;
    initengine();
    int result = runarchive(&request);
    listfreeall();
    printf("engine result %d, %llu bytes written\n", result, bytesdone);
    return result == 0 ? 0 : 1;
}
