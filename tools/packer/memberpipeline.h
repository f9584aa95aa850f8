// Packing a folder's files into an archive with several threads, in bounded memory.
//
// The calling thread reads the files in archive order and hands their data to a pool of
// worker threads as jobs of at most one piece (kCompressPiece bytes): a file up to that
// size is one job, a larger one a job per piece. It writes the results in the same order,
// waiting for the oldest job when the next one would take the input on the way past
// kPiecesPerThread pieces per worker, or its jobs past kJobsPerThread per worker. So the
// package's bytes do not depend on the number of threads or on which job finishes first,
// and the data held at once stays below piecelimit(threads) bytes of input (a job and its
// queue entry share one copy) plus the compressed form of it, whatever the size of the
// largest file.
//
// Encrypted packages and LZMA are the exceptions: the encryption header needs the member's
// CRC before its first byte, and an LZMA stream cannot be made of pieces compressed apart
// as a Deflate stream can, so there every file is one job read as a whole (memory then
// grows with the largest file, as the writer's in-memory members do).
//
// Host build only (threads, libdeflate and liblzma).
#pragma once

#include "tools/packer/folderscan.h"
#include "tools/packer/lzmacompressor.h"
#include "tools/zip/zipwriter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Input per worker thread that may be read ahead of the writer, in pieces: one being
// compressed, one waiting, so no worker idles while the writer catches up.
const std::size_t kPiecesPerThread = 2;

// Jobs per worker thread that may be read ahead, whatever their size. The input bound alone
// decides while the files are large; this one keeps the queue short where there are many
// folders and empty files, and it is far above the count of small files that keep a worker
// busy while the writer waits for one large piece at the front.
const std::size_t kJobsPerThread = 256;
static_assert(kJobsPerThread > kPiecesPerThread, "small files may be read ahead of a piece");

struct PackSettings {
    unsigned method = kMethodDeflate; // kMethodDeflate or kMethodLzma
    int level = 6;                    // 0 stores; Deflate 1 to 12 as deflatecompressor, LZMA 1 to 9
    std::uint32_t dictionary = 0;     // LZMA: the dictionary size, 0 for the level's
    unsigned threads = 1;             // worker threads, at least 1
    bool wholemembers = false;        // every file one job (encrypted packages)
    std::size_t piece = 0;            // piece size; 0: kCompressPiece (tests choose smaller ones)
};

// The most input bytes held at once: jobs on the way times the piece size.
std::size_t piecelimit(unsigned threads, std::size_t piece);

// What a packing run held at most, for tests of the memory bound.
struct PackStats {
    std::size_t peakheld = 0; // input bytes of jobs read but not yet written
    std::size_t peakjobs = 0; // jobs read but not yet written
};

// Called after each item has been written, with the count and bytes so far.
using PackProgress = std::function<void(std::size_t items, std::uint64_t bytes)>;

// Writes every item into writer, in order. Throws BuildError when a file cannot be read
// or its size changes while it is packed.
PackStats packitems(const std::vector<FolderItem>& items, ZipWriter& writer,
                    const PackSettings& settings, const PackProgress& progress = {});
