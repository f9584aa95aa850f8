// Helpers of the tests that run orvsfx as users do: shell commands with a time limit and
// captured output, the refusal check, and archives made by Python's zipfile.
#pragma once

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace toolstest::cli {

inline const std::string kOrvsfx = std::string(ORV_BINARY_DIR) + "/tools/orvsfx";

struct Outcome {
    int status = -1; // exit code
    std::string out, err;
};

inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command line with a 60-second limit, capturing its output in temp.
inline Outcome shell(const TempFolder& temp, const std::string& command) {
    std::string out = temp / ".out", err = temp / ".err";
    int raw =
        std::system(("timeout 60 " + command + " >" + quote(out) + " 2>" + quote(err)).c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = toolstest::readbytes(out);
    run.err = toolstest::readbytes(err);
    return run;
}

inline Outcome orvsfx(const TempFolder& temp, const std::string& args) {
    return shell(temp, quote(kOrvsfx) + " " + args);
}

// Extracts a package with 7-Zip into temp/out, as an independent check of what it holds.
inline Outcome sevenzipextract(const TempFolder& temp, const std::string& package) {
    return shell(temp, "7zz x -y -o" + quote(temp / "out") + " " + quote(temp / package));
}

inline bool have(const char* program) {
    return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a Python snippet that makes an archive (argv[1] is the archive's path).
inline void python(const TempFolder& temp, const std::string& path, const std::string& code) {
    toolstest::writebytes(temp / ".make.py", "import sys, zipfile\n" + code);
    Outcome run = shell(temp, "python3 " + quote(temp / ".make.py") + " " + quote(path));
    ASSERT_EQ(run.status, 0) << run.err;
}

// A throw-away code-signing certificate, temp/cert.pem with its key temp/key.pem.
inline Outcome makecertificate(const TempFolder& temp) {
    return shell(temp, "openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Orvandel-Test -days 2 "
                       "-keyout " +
                           quote(temp / "key.pem") + " -out " + quote(temp / "cert.pem"));
}

// Signs temp/in as temp/out with that certificate (Authenticode, osslsigncode).
inline Outcome signpackage(const TempFolder& temp, const std::string& in, const std::string& out) {
    return shell(temp, "osslsigncode sign -certs " + quote(temp / "cert.pem") + " -key " +
                           quote(temp / "key.pem") + " -in " + quote(temp / in) + " -out " +
                           quote(temp / out));
}

// A failed run: exit code, one line "orvsfx: ..." naming the reason.
inline void expectrefused(const Outcome& run, int status, const std::string& reason) {
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_EQ(run.err.rfind("orvsfx: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
}

// The exact refusal: "orvsfx: " + message + "\n".
inline void expectmessage(const Outcome& run, int status, const std::string& message) {
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_EQ(run.err, "orvsfx: " + message + "\n");
}

} // namespace toolstest::cli
