// The manual page orvsfx(1) and the bash completion, written from the same CommandDoc records
// that print the --help texts, so that neither can miss a subcommand or an option.
#pragma once

#include "tools/cli/commanddoc.h"

#include <string>
#include <vector>

// The page in roff (man -l): the program's forms and options, a section per subcommand with
// its options under their headings, the installed files, the environment and the exit codes.
std::string manualpage(const CommandDoc& program, const std::vector<NamedDoc>& commands);

// A bash script that completes the subcommands, their options, and the values of options
// that take files, folders or one of a few words.
std::string bashcompletion(const CommandDoc& program, const std::vector<NamedDoc>& commands);
