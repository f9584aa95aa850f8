// The command line of a package run.
#pragma once

// Skips the program name at the start of a process command line and the blanks after it;
// returns the tail. A name in double quotes runs to the next quote; when there is none the
// whole line, opening quote included, is the tail. An unquoted name ends at the first blank.
// Only blanks (0x20) separate: a tab is part of the name.
char* skipprogramname(char* line);
