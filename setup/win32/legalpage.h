// The legal page: the program's RCDATA resource 1 (an HTML disclaimer of warranty) shown in
// the user's browser from a temporary file.
#pragma once

// Writes the page to a new file in the temporary folder, registers the file in templist (the
// run sequence deletes it at exit) and opens it through the shell. 1 when it was written and
// handed to the shell; 0 on any failure before that.
int showlegalpage(int templist);
