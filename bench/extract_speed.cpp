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
#include "common/stringlists.h"
#include "engine/runrequest.h"

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    bool testonly = argc == 4 && strcmp(argv[3], "test") == 0;
    if (argc != 3 && !testonly) {
        fprintf(stderr, "usage: extract_speed <zip file> <destination folder> [test]\n");
        return 2;
    }
    listinit();
    RunRequest request =
        runrequest(argv[1], argv[2], testonly ? kRunTest : kRunExtract, nullptr, nullptr);
    request.overwrite = kPolicyOverwrite;
    request.dirlist = listcreate();
    request.filelist = listcreate();
    initengine();
    int result = runarchive(&request);
    listfreeall();
    printf("engine result %d, %llu bytes written\n", result, engine.bytesdone);
    return result == 0 ? 0 : 1;
}
