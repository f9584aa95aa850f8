// The engine's input cursor: where the next compressed byte lies in the input buffer.
//
// The engine reads the archive in 8,192-byte blocks; decoders take bytes straight from the
// block through this cursor and call the engine's byte reader only when it runs dry. The
// count is signed so that a decoder can decrement first and test afterwards: a byte is
// available exactly when the decremented count is still non-negative.
#pragma once

struct InputCursor {
    unsigned char* next; // next unread byte of the input buffer
    int unread;          // bytes left behind next; zero or negative when the buffer is empty
};
