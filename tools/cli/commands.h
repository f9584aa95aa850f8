// The subcommands of orvsfx; each lives in its own file and is listed once in main.cpp.
//
// A subcommand gets the arguments that follow its name. It returns the exit code on success
// and reports failure by throwing BuildError (exit 1) or UsageError (exit 2). Its CommandDoc
// gives its --help text, its section of the manual page and its shell completion.
#pragma once

#include "tools/cli/commanddoc.h"

#include <string>
#include <vector>

using CommandArgs = std::vector<std::string>;

int buildcommand(const CommandArgs& args);   // tools/cli/cmd_build.cpp
int infocommand(const CommandArgs& args);    // tools/cli/cmd_info.cpp
int listcommand(const CommandArgs& args);    // tools/cli/cmd_engine.cpp
int testcommand(const CommandArgs& args);    // tools/cli/cmd_engine.cpp
int extractcommand(const CommandArgs& args); // tools/cli/cmd_engine.cpp

CommandDoc builddoc();   // tools/cli/buildflags.cpp
CommandDoc infodoc();    // tools/cli/cmd_info.cpp
CommandDoc listdoc();    // tools/cli/cmd_engine.cpp
CommandDoc testdoc();    // tools/cli/cmd_engine.cpp
CommandDoc extractdoc(); // tools/cli/cmd_engine.cpp
