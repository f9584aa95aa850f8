// The password question ("PASSWD") for an encrypted member. Only Windows code includes it.
#pragma once

#include "setup/win32/setupstate.h"

// What the dialog asks and what it answers.
struct PasswordRequest {
    const char* member; // shown in the caption, cut to fit it
    char* answer;       // kPasswordBuffer bytes: the password typed, or a PasswordMarker
};

// Runs the dialog modally, owned by owner. Returns 1 after OK (the password is in
// request->answer in UTF-8, at most kPasswordLength characters, as the field takes no more) and
// 0 after Cancel or Skip (request->answer starts with the marker of the button).
int askpasswordof(HWND owner, PasswordRequest* request);

// The engine's password question (state is the context): asks for member's password into
// buffer, owned by the progress dialog.
void promptpassword(void* state, char* buffer, const char* member);
