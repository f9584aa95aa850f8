// Packing a folder's files into an archive with several threads, in bounded memory.
//
// The calling thread reads the files in archive order and hands their data to a pool of
// worker threads as jobs of at most one piece (kCompressPiece bytes): a file up to that
// size is one job, a larger one a job per piece. It writes the results in the same order,
// waiting for the oldest job when kPiecesPerThread jobs per worker are on the way. So the
// package's bytes do not depend on the number of threads or on which job finishes first,
// and the data held at once stays below piecelimit(threads) bytes of input (twice that for
// files of one piece, whose job compresses a copy while the writer keeps the original) plus
// the compressed form of it, whatever the size of the largest file.
//
// Encrypted packages are the exception: the encryption header needs the member's CRC
// before its first byte, so every file is one job read as a whole (memory then grows with
// the largest file, as the writer's in-memory members do).
//
// Host build only (threads and libdeflate).
#pragma once

#include "tools/folderscan.h"
#include "tools/zipwriter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Jobs per worker thread that may be read ahead of the writer: one being compressed, one
// waiting, so no worker idles while the writer catches up.
const std::size_t kPiecesPerThread = 2;

struct PackSettings {
    int level = 6;             // 0 stores; 1 to 12 as deflatecompressor
    unsigned threads = 1;      // worker threads, at least 1
    bool wholemembers = false; // every file one job (encrypted packages)
    std::size_t piece = 0;     // piece size; 0: kCompressPiece (tests choose smaller ones)
};

// The most input bytes held at once: jobs on the way times the piece size.
std::size_t piecelimit(unsigned threads, std::size_t piece);

// What a packing run held at most, for tests of the memory bound.
struct PackStats {
    std::size_t peakheld = 0; // input bytes of jobs read but not yet written
};

// Called after each item has been written, with the count and bytes so far.
using PackProgress = std::function<void(std::size_t items, std::uint64_t bytes)>;

// Writes every item into writer, in order. Throws BuildError when a file cannot be read
// or its size changes while it is packed.
PackStats packitems(const std::vector<FolderItem>& items, ZipWriter& writer,
                    const PackSettings& settings, const PackProgress& progress = {});
