// The stored forms of the package blocks' markers and their completion.
//
// The stored forms live here, away from the code that compares with the markers, so that no
// compiler can fold a stored form and its completion into one constant in the stub's image.
#include "startup/packageblocks.h"

#include <string.h>

const unsigned char kTextMarkerStored[kTextMarkerSize] = {'{' - 1, 'S', 'L', 'F', '}'};
const unsigned char kOptionsMagicStored[kOptionsMagicSize] = {'M' - 1, 'P', 'V', '2'};

void completemarker(unsigned char* marker, const unsigned char* stored, unsigned size) {
    memcpy(marker, stored, size);
    marker[0]++;
}
