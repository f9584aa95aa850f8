// The hyperlink control: the window class "KVB_URLText" used by the main dialog's links.
#pragma once

// Registers the class for the program's instance; returns nonzero on success.
int registerlinkclass();

// Unregisters the class (harmless when it is not registered).
void unregisterlinkclass();
