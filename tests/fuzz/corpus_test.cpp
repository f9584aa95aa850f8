// Replays every committed fuzzer corpus file (fuzz/corpus/<target>/) through the fuzzers'
// entry functions, so that inputs the fuzzers once found stay regression tests. An entry
// stops the process when a check fails; the sanitizers of the host build catch the rest.
#include "fuzz/entries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Runs entry over every file of one corpus folder; returns the number of files.
size_t replay(const std::string& target,
              const std::function<void(const unsigned char*, size_t)>& entry) {
    fs::path dir = fs::path(ORV_SOURCE_DIR) / "fuzz" / "corpus" / target;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& p : files) {
        std::ifstream f(p, std::ios::binary);
        std::vector<unsigned char> data((std::istreambuf_iterator<char>(f)),
                                        std::istreambuf_iterator<char>());
        SCOPED_TRACE(p.string());
        entry(data.data(), data.size());
    }
    return files.size();
}

TEST(FuzzCorpus, InflateDeflate) {
    EXPECT_GT(replay("inflate_deflate",
                     [](const unsigned char* d, size_t n) { fuzzentry::inflate(d, n, false); }),
              10u);
}

TEST(FuzzCorpus, InflateDeflate64) {
    EXPECT_GT(replay("inflate_deflate64",
                     [](const unsigned char* d, size_t n) { fuzzentry::inflate(d, n, true); }),
              5u);
}

TEST(FuzzCorpus, Lzma) {
    EXPECT_GT(replay("lzma", fuzzentry::lzma), 5u);
}

TEST(FuzzCorpus, TextBlock) {
    EXPECT_GT(replay("textblock", fuzzentry::textblock), 2u);
}

TEST(FuzzCorpus, OptionsBlock) {
    EXPECT_GT(replay("optionsblock", fuzzentry::optionsblock), 2u);
}

TEST(FuzzCorpus, FolderMacros) {
    EXPECT_GT(replay("foldermacros", fuzzentry::foldermacros), 10u);
}

TEST(FuzzCorpus, CommandText) {
    EXPECT_GT(replay("commandtext", fuzzentry::commandtext), 10u);
}

TEST(FuzzCorpus, CommandLine) {
    EXPECT_GT(replay("commandline", fuzzentry::commandline), 10u);
}

TEST(FuzzCorpus, Engine) {
    EXPECT_GT(replay("engine", fuzzentry::engine), 5u);
}

TEST(FuzzCorpus, ArchiveList) {
    EXPECT_GT(replay("archivelist", fuzzentry::archivelist), 5u);
}

} // namespace
