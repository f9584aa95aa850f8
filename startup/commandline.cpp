// Splitting the process command line into the program name and the switches behind it.
#include "startup/commandline.h"

char* skipprogramname(char* line) {
    char* p = line;
    if (*p == '"') {
        char* close = p + 1;
        while (*close && *close != '"') close++;
        if (!*close) return line;
        p = close + 1;
    } else {
        while (*p && *p != ' ') p++;
    }
    while (*p == ' ') p++;
    return p;
}
