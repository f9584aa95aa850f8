// How the setup's options become the engine's run request.
#include "setup/runoptions.h"

#include "startup/optionsblock.h"

OverwritePolicy overwritepolicy(unsigned char overwritemode) {
    switch (overwritemode) {
    case kOverwriteAlways:
        return kPolicyOverwrite;
    case kOverwriteNever:
        return kPolicyKeep;
    default:
        return kPolicyAsk;
    }
}
