// The fuzzers' entry functions, shared by the libFuzzer targets (fuzz/<target>/fuzz.cpp) and
// by the corpus replay test (tests/fuzz/corpus_test.cpp), so that every corpus file is also
// a regression test of an ordinary build. Each entry traps (stops the process) when the
// code under test breaks one of its promises; memory errors are left to the sanitizers.
#pragma once

#include <stddef.h>

namespace fuzzentry {

// undeflate over the data in input blocks chosen by the first byte; for Deflate the result
// is also checked against zlib.
void inflate(const unsigned char* data, size_t size, bool deflate64);

// unlzma over LZMA member data behind five control bytes (input blocks, flags, stated size;
// see lzma_entry.cpp), checked against liblzma.
void lzma(const unsigned char* data, size_t size);

// findtextmarker, blockchecksum and loaduitexts over the data.
void textblock(const unsigned char* data, size_t size);

// decodeoptions over the data.
void optionsblock(const unsigned char* data, size_t size);

// extractarchive over an archive file made of the data (the first byte chooses the answer
// to password questions).
void engine(const unsigned char* data, size_t size);

// expandfoldermacrosusing over a folder and the answers of made-up lookups, both from the
// data (fields separated by NUL bytes; see foldermacros_entry.cpp).
void foldermacros(const unsigned char* data, size_t size);

// applycommandline over a tail and formatusage over a module path, both from the data (see
// commandline_entry.cpp).
void commandline(const unsigned char* data, size_t size);

// preparecommand over a command and the folders it may name, all from the data (see
// commandtext_entry.cpp).
void commandtext(const unsigned char* data, size_t size);

// readarchivelist over a file made of the data (the first byte chooses whether the comment is
// wanted), checked against an independent reading of the same bytes.
void archivelist(const unsigned char* data, size_t size);

} // namespace fuzzentry
