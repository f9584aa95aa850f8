// The worse-result rule shared by every part that combines outcomes into one result code.
//
// Result codes are ordered by severity: 0 is success and a larger code is a worse outcome,
// so when several things happen in one run the largest code is the one reported.
#pragma once

// The larger of a result so far and a new code: the worse outcome wins.
inline int raiseresult(int result, int code) {
    return code > result ? code : result;
}
