// Shell commands on the Linux host of Wine (see hostcommand.h).
#include "tests/uitest/hostcommand.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace uitest {

namespace fs = std::filesystem;

namespace {

constexpr int kPoll = 20;           // milliseconds between looks for the status file
constexpr int kKillGrace = 5;       // seconds timeout(1) waits before it kills
constexpr int kStartAllowance = 10; // seconds for the shell to start under Wine
constexpr int kMillisecondsPerSecond = 1000;

std::string readall(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeall(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A new folder under the temporary folder.
fs::path scratchfolder() {
    std::random_device seed;
    fs::path folder = fs::temp_directory_path() / ("orv_host_" + std::to_string(seed()));
    fs::create_directories(folder);
    return folder;
}

bool startshell(const fs::path& script) {
    std::string line = "/bin/sh \"" + unixpath(script) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

std::string unixpath(const fs::path& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    Convert convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (!convert) return std::string();
    char* name = convert(path.wstring().c_str());
    if (!name) return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::string shellword(const std::string& text) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

HostRun runonhost(const std::string& command, int seconds) {
    fs::path folder = scratchfolder();
    fs::path status = folder / "status";
    writeall(folder / "command.sh", command + "\n");
    // The status file appears whole: it is written under another name and renamed.
    writeall(folder / "run.sh", "timeout -k " + std::to_string(kKillGrace) + " " +
                                    std::to_string(seconds) + " /bin/sh " +
                                    shellword(unixpath(folder / "command.sh")) + " >" +
                                    shellword(unixpath(folder / "output")) + " 2>&1\n" +
                                    "echo $? >" + shellword(unixpath(folder / "status.new")) +
                                    " && mv " + shellword(unixpath(folder / "status.new")) + " " +
                                    shellword(unixpath(status)) + "\n");
    HostRun run;
    if (startshell(folder / "run.sh")) {
        int limit = (seconds + kKillGrace + kStartAllowance) * kMillisecondsPerSecond;
        for (int waited = 0; waited <= limit && !fs::exists(status); waited += kPoll) Sleep(kPoll);
        if (fs::exists(status)) run.status = std::atoi(readall(status).c_str());
        run.output = readall(folder / "output");
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return run;
}

} // namespace uitest
