// Errors of the package builder: one line of text for the user, and the exit code it earns.
//
// Everything in the builder reports a refusal by throwing one of these; the program's entry
// catches them once, prints "orvsfx: <message>" on standard error and exits with 1 for a
// failed build and 2 for a wrong command line. Messages are one line without a final period.
#pragma once

#include <stdexcept>
#include <string>

// Input that cannot be turned into a package, or a file that cannot be read or written.
struct BuildError : std::runtime_error {
    explicit BuildError(const std::string& message) : std::runtime_error(message) {}
};

// A command line that does not make sense; the program also points at "orvsfx help".
struct UsageError : std::runtime_error {
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};
