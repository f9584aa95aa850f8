// Shell commands on the Linux host of Wine, started by a Win32 test program: tools that exist
// only there (ln, openssl, osslsigncode, the host build's orvsfx) prepare what the test then
// runs under Wine.
//
// Wine starts a Unix program through CreateProcess but gives no handle that waits for it, so
// the command runs inside a script that writes its exit status to a file as its last step, and
// the caller waits for that file. The command itself runs under timeout(1), so it ends by
// itself when it hangs. The script, its output and its status live in a folder of their own
// under the temporary folder, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace uitest {

enum : int { kHostCommandSeconds = 60 };

// The Linux path of a path of this program, by Wine's own conversion (empty where there is
// none: not under Wine).
std::string unixpath(const std::filesystem::path& path);

// text as one shell word, in single quotes.
std::string shellword(const std::string& text);

struct HostRun {
    int status = -1;    // the exit status; -1 when the command could not start or did not end
    std::string output; // its standard output and standard error
};

// Runs command (a line for /bin/sh) on the host, for at most seconds.
HostRun runonhost(const std::string& command, int seconds = kHostCommandSeconds);

} // namespace uitest
