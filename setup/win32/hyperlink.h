// The hyperlink control: the window class "KVB_URLText" used by the main dialog's links.
#pragma once

// What a link whose target begins with '~' sends its parent when activated, with its control
// id as the first parameter (the first user message plus 100).
enum : unsigned { kLinkActivated = 0x0400 + 100 };

// Registers the class for the program's instance; the class atom, 0 on failure, or 1 when
// the class is registered already.
int registerlinkclass();

// Unregisters the class; 0 when it was not registered, else 1.
int unregisterlinkclass();
