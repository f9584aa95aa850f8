// A registry of string lists addressed by integer handles (templist, dirlist, filelist).
//
// Handles are positive multiples of 3: the registry counts lists with a serial number that
// starts at 1 and grows before each creation, and a handle is 3 times it, so the first list
// is 6, the next 9. 0 is never a handle. Items are heap copies kept in order of addition;
// users walk a list from its last position down to 0 to undo things in reverse order.
#pragma once

// Initialises the registry; does nothing when it is initialised already.
void listinit();

// A new empty list; 0 when the registry is not initialised or memory runs out.
int listcreate();

// Appends a copy of text. 1 on success; 0 when not initialised, text is null, the handle is
// unknown or memory runs out (the list is then unchanged).
int listadd(int handle, const char* text);

// Number of items; 0 when not initialised or the handle is not a multiple of 3; -1 for an
// unknown handle.
int listcount(int handle);

// Copies item `position` (0-based) into buffer, cut to size - 1 characters and a NUL, and
// returns the length of the whole item; 0 when there is no such item or an argument is bad.
int listget(int handle, int position, char* buffer, int size);

// Frees every item of a list. 1 on success; 0 when not initialised or the handle is not a
// multiple of 3; -1 for an unknown handle.
int listclear(int handle);

// Frees every list and returns the registry to its uninitialised state.
void listfreeall();
