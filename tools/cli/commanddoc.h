// What orvsfx and each of its subcommands say about themselves, written once for the --help
// texts, the manual page orvsfx(1) and the bash completion (tools/cli/manual.h).
#pragma once

#include <string>
#include <vector>

// One option of a subcommand.
struct OptionDoc {
    std::string flag;                      // "--title" or "-d"
    std::string metavar;                   // the value's name (FILE, DIR ...); empty: a switch
    std::string help;                      // what it does, one sentence without a full stop
    std::string alias = "";                // a short spelling ("-o" for --output), or empty
    std::string group = "";                // the heading it is listed under, or empty
    std::vector<std::string> choices = {}; // the values it takes, where they are a short list
};

// A subcommand, or the program itself: what "orvsfx help" says of it, the arguments of each
// of its forms, a description, its options and the notes after them.
struct CommandDoc {
    std::string summary;            // one line, lower case, no full stop
    std::vector<std::string> forms; // the arguments after "orvsfx NAME", one form each
    std::string description;        // paragraphs separated by an empty line
    std::vector<OptionDoc> options = {};
    std::string notes = ""; // paragraphs after the options
};

// A subcommand with its name, as the command table lists it.
struct NamedDoc {
    std::string name;
    CommandDoc doc;
};

// "orvsfx NAME --help": the forms, the description, the options under their headings and
// the notes, wrapped to the terminal help's width.
std::string helptext(const std::string& name, const CommandDoc& doc);

// The paragraphs of a description or notes (separated by an empty line).
std::vector<std::string> paragraphsof(const std::string& text);

// The option as its help shows it: "-o, --output FILE".
std::string optionsignature(const OptionDoc& option);
