// The engine's message stream, for tests: a receiver installed here sees every message the
// engine sends, in call order, with its flags (MessageFlags).
//
// The engine says what went wrong through EngineUi::reportfailure and its result code; the
// stream underneath holds the old texts and events of its routines, which no front end
// shows. Without a receiver nothing is formatted or sent.
#pragma once

#include "engine/enginestate.h"

// Installs receive (null: none) with its context until the next initengine; messages for
// information only are sent when quietlevel is 0.
void setmessagehook(MessageReceiver receive, void* context, int quietlevel);
