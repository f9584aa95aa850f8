// Case-blind search, token replacement and prefixing on 8-bit strings.
#include "startup/textutil.h"

#include "common/ascii.h"

#include <stdlib.h>
#include <string.h>

static char* uppercopy(const char* text) {
    size_t size = strlen(text) + 1;
    char* copy = (char*)malloc(size);
    if (!copy) return nullptr;
    for (size_t i = 0; i < size; i++) copy[i] = asciiupper(text[i]);
    return copy;
}

const char* findnocase(const char* text, const char* pattern) {
    char* uppertext = uppercopy(text);
    char* upperpattern = uppercopy(pattern);
    const char* found = nullptr;
    if (uppertext && upperpattern) {
        const char* hit = strstr(uppertext, upperpattern);
        if (hit) found = text + (hit - uppertext);
    }
    free(uppertext);
    free(upperpattern);
    return found;
}

char* findnocase(char* text, const char* pattern) {
    return const_cast<char*>(findnocase(static_cast<const char*>(text), pattern));
}

int replacetoken(char* text, const char* token, const char* replacement, size_t capacity,
                 bool merge) {
    size_t tokenlength = strlen(token);
    size_t replacementlength = strlen(replacement);
    size_t length = strlen(text);
    char* work = (char*)malloc(length + 1);
    if (!work) return 0;
    memcpy(work, text, length + 1);

    bool shortened = false;
    size_t from = 0;
    for (;;) {
        const char* hit = findnocase(work + from, token);
        if (!hit) break;
        size_t at = hit - work;
        char follower = work[at + tokenlength];
        if (merge && replacementlength > 0 && !shortened &&
            follower == replacement[replacementlength - 1]) {
            shortened = true;
            replacementlength--;
        }
        size_t newlength = length - tokenlength + replacementlength;
        char* grown = (char*)malloc(newlength + 1);
        if (!grown) {
            free(work);
            return 0;
        }
        memcpy(grown, work, at);
        memcpy(grown + at, replacement, replacementlength);
        memcpy(grown + at + replacementlength, work + at + tokenlength,
               length - at - tokenlength + 1);
        free(work);
        work = grown;
        length = newlength;
        from = at + replacementlength;
    }

    int result = -1;
    if (length + 1 <= capacity)
        memcpy(text, work, length + 1);
    else
        result = (int)(length + 1);
    free(work);
    return result;
}

char* prependtext(char* text, const char* prefix) {
    size_t prefixlength = strlen(prefix);
    memmove(text + prefixlength, text, strlen(text) + 1);
    memcpy(text, prefix, prefixlength);
    return text;
}
