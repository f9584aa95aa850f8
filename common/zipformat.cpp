// Signature tails completed at run time and the one walker over extra fields.
//
// The tails live here, away from the code that completes them, so that no compiler can fold
// a tail and its "PK" into one constant in the stub's image.
#include "common/zipformat.h"

#include "common/byteorder.h"

#include <string.h>

const unsigned char kLocalTail[kSignatureLength] = {0, 0, 3, 4};
const unsigned char kCentralTail[kSignatureLength] = {0, 0, 1, 2};
const unsigned char kEndTail[kSignatureLength] = {0, 0, 5, 6};

void completesignature(unsigned char* signature, const unsigned char* tail) {
    memcpy(signature, tail, kSignatureLength);
    signature[0] = 'P';
    signature[1] = 'K';
}

bool nextextrafield(ExtraCursor* cursor, ExtraField* field) {
    if (!cursor->next || cursor->left < kExtraFieldHeader) return false;
    unsigned size = get16(cursor->next + 2);
    if (size > cursor->left - kExtraFieldHeader) return false;
    field->tag = get16(cursor->next);
    field->data = cursor->next + kExtraFieldHeader;
    field->size = size;
    cursor->next = field->data + size;
    cursor->left -= kExtraFieldHeader + size;
    return true;
}

bool findextrafield(const unsigned char* extra, unsigned length, unsigned tag, ExtraField* field) {
    ExtraCursor walk = {extra, length};
    while (nextextrafield(&walk, field))
        if (field->tag == tag) return true;
    return false;
}
