// Benchmark of undeflate, unlzma and updatecrc against zlib, libdeflate and liblzma on a
// corpus of this machine's own files.
//
// The corpus is every regular file under /usr/include and the shared libraries under
// /usr/lib, in sorted path order, concatenated and capped at kCorpusBytes. It is compressed
// once with zlib (level 6, raw Deflate) and once with 7-Zip's Deflate64 (the raw stream is
// cut out of the zip archive 7zz writes); both are kept in a cache folder so later runs
// start at once. Each engine decodes the same stream kRepetitions times, the engines taking turns;
// every result is compared with the corpus (memcmp) and the median throughput is printed in MB/s of
// decompressed data. undeflate runs as in the engine: input in 8 KB blocks through the
// cursor and readbyte, output flushed in 64 KB windows into the result buffer, through the
// in-memory driver the tests use (tests/support/inflatedriver.h). zlib and libdeflate have no
// Deflate64, so our Deflate64 stream is also compared with their Deflate stream of the same
// corpus. The CRC-32 is measured as it runs (carry-less multiply where the processor has
// it) and on the table path alone, the one of processors without it. unlzma decodes liblzma's
// LZMA stream of the corpus (preset 6, as zip member data, also cached) against liblzma's own
// decoder of the same stream, the two taking turns in the same way.
//
// Usage: inflate_bench [cache folder]   (default: ./bench-data)
#include "common/byteorder.h"
#include "common/zipformat.h"
#include "engine/crc32.h"
#include "tests/support/inflatedriver.h"
#include "tests/support/lzmaoracle.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

namespace {

const size_t kCorpusBytes = 224u << 20;
const int kRepetitions = 7;

// ---- Corpus -------------------------------------------------------------------------

bool issharedlibrary(const fs::path& p) {
    std::string name = p.filename().string();
    return name.find(".so") != std::string::npos;
}

std::vector<fs::path> corpusfiles() {
    std::vector<fs::path> files;
    auto collect = [&](const char* root, bool librariesonly) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(
                 root, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ec) break;
            if (it->is_symlink() || !it->is_regular_file()) continue;
            if (!librariesonly || issharedlibrary(it->path())) files.push_back(it->path());
        }
    };
    collect("/usr/include", false);
    collect("/usr/lib", true);
    std::sort(files.begin(), files.end());
    return files;
}

Bytes readfile(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void writefile(const fs::path& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary);
    f.write((const char*)data.data(), (std::streamsize)data.size());
}

Bytes buildcorpus(size_t* count) {
    Bytes corpus;
    corpus.reserve(kCorpusBytes);
    *count = 0;
    for (const fs::path& p : corpusfiles()) {
        Bytes data = readfile(p);
        size_t n = std::min(data.size(), kCorpusBytes - corpus.size());
        corpus.insert(corpus.end(), data.begin(), data.begin() + (long)n);
        ++*count;
        if (corpus.size() == kCorpusBytes) break;
    }
    return corpus;
}

Bytes zlibcompress(const Bytes& data) {
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<unsigned char*>(data.data());
    z.avail_in = (uInt)data.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Compresses the corpus file with 7-Zip's Deflate64 and returns the member's raw stream.
Bytes deflate64compress(const fs::path& corpusfile, const fs::path& dir) {
    fs::path archive = dir / "corpus-d64.zip";
    fs::remove(archive);
    std::string command = "cd '" + dir.string() + "' && 7zz a -tzip -mm=Deflate64 -mx=5 '" +
                          archive.string() + "' '" + corpusfile.filename().string() +
                          "' > /dev/null";
    if (std::system(command.c_str()) != 0) return Bytes();
    Bytes zip = readfile(archive);
    fs::remove(archive);
    // The only member starts at offset 0: local header, name, extra field, data.
    if (zip.size() < kLocalHeaderSize || get32(zip.data()) != kLocalSignature ||
        get16(zip.data() + kLocalMethod) != kMethodDeflate64)
        return Bytes();
    size_t start = kLocalHeaderSize + get16(zip.data() + kLocalNameLength) +
                   get16(zip.data() + kLocalExtraLength);
    size_t size = get32(zip.data() + kLocalCompressedSize);
    if (start + size > zip.size()) return Bytes();
    return Bytes(zip.begin() + (long)start, zip.begin() + (long)(start + size));
}

// Loads a cached file, or makes it and caches it.
Bytes cached(const fs::path& path, const std::function<Bytes()>& make) {
    if (fs::exists(path)) return readfile(path);
    Bytes data = make();
    if (!data.empty()) writefile(path, data);
    return data;
}

// ---- Engines ------------------------------------------------------------------------

size_t ours(const Bytes& in, Bytes& out, bool deflate64) {
    return inflatedriver::inflateinto(in, out, deflate64);
}

size_t zlibinflate(const Bytes& in, Bytes& out) {
    z_stream z = {};
    inflateInit2(&z, -15);
    z.next_in = const_cast<unsigned char*>(in.data());
    z.avail_in = (uInt)in.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    int r = inflate(&z, Z_FINISH);
    size_t n = z.total_out;
    inflateEnd(&z);
    return r == Z_STREAM_END ? n : 0;
}

size_t libdeflateinflate(const Bytes& in, Bytes& out) {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    size_t n = 0;
    libdeflate_result r =
        libdeflate_deflate_decompress(d, in.data(), in.size(), out.data(), out.size(), &n);
    libdeflate_free_decompressor(d);
    return r == LIBDEFLATE_SUCCESS ? n : 0;
}

size_t ourlzma(const Bytes& in, Bytes& out) {
    inflatedriver::Options o;
    o.buffer = out.data();
    o.capacity = out.size();
    inflatedriver::Decoded run =
        inflatedriver::unlzma(in.data(), in.size(), (unsigned)out.size(), false, o);
    return run.result == kLzmaOk ? run.produced : 0;
}

size_t liblzmadecode(const Bytes& in, Bytes& out) {
    return lzmaoracle::decodeinto(in.data(), in.size(), out.data(), out.size()) ? out.size() : 0;
}

// ---- Measurement --------------------------------------------------------------------

// Median throughputs in MB/s of the engines over `bytes`, running them in turn in every
// repetition so that a change in the machine's load falls on all of them alike. An engine
// whose check fails gets zero.
std::vector<double> measure(size_t bytes, const std::vector<std::function<bool()>>& engines) {
    std::vector<std::vector<double>> rates(engines.size());
    std::vector<bool> failed(engines.size());
    for (int i = 0; i < kRepetitions; i++) {
        for (size_t e = 0; e < engines.size(); e++) {
            auto start = std::chrono::steady_clock::now();
            failed[e] = failed[e] || !engines[e]();
            std::chrono::duration<double> s = std::chrono::steady_clock::now() - start;
            rates[e].push_back((double)bytes / 1e6 / s.count());
        }
    }
    std::vector<double> medians;
    for (size_t e = 0; e < engines.size(); e++) {
        std::sort(rates[e].begin(), rates[e].end());
        medians.push_back(failed[e] ? 0 : rates[e][rates[e].size() / 2]);
    }
    return medians;
}

void report(const char* what, const char* engine, double rate, double reference,
            const char* against) {
    std::printf("  %-10s %-12s %9.1f MB/s", what, engine, rate);
    if (reference > 0) std::printf("   %.2fx %s", rate / reference, against);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path("bench-data");
    fs::create_directories(dir);
    fs::path corpusfile = fs::absolute(dir / "corpus.bin");
    size_t files = 0;
    Bytes corpus = cached(corpusfile, [&] { return buildcorpus(&files); });
    Bytes deflated = cached(dir / "corpus.deflate", [&] { return zlibcompress(corpus); });
    Bytes deflated64 =
        cached(dir / "corpus.deflate64", [&] { return deflate64compress(corpusfile, dir); });
    std::printf("corpus: %.1f MB (/usr/include and /usr/lib shared libraries%s)\n",
                corpus.size() / 1e6, files ? "" : ", cached");
    std::printf("Deflate (zlib level 6): %.1f MB; Deflate64 (7-Zip): %.1f MB\n",
                deflated.size() / 1e6, deflated64.size() / 1e6);
    std::printf("medians of %d runs, MB/s of decompressed data\n\n", kRepetitions);

    Bytes out(corpus.size());
    auto check = [&](size_t n) {
        bool ok = n == corpus.size() && memcmp(out.data(), corpus.data(), n) == 0;
        memset(out.data(), 0, std::min<size_t>(out.size(), 1 << 16)); // no stale pass
        return ok;
    };
    std::vector<double> inflaterates = measure(
        corpus.size(), {[&] { return check(ours(deflated, out, false)); },
                        [&] { return check(zlibinflate(deflated, out)); },
                        [&] { return check(libdeflateinflate(deflated, out)); },
                        [&] { return deflated64.empty() || check(ours(deflated64, out, true)); }});
    double oursrate = inflaterates[0], zlibrate = inflaterates[1], ldrate = inflaterates[2];
    std::printf("Inflate\n");
    report("Deflate", "orvandel", oursrate, zlibrate, "zlib");
    if (ldrate > 0) std::printf("%*s%.2fx libdeflate\n", 50, "", oursrate / ldrate);
    report("Deflate", "zlib", zlibrate, 0, "");
    report("Deflate", "libdeflate", ldrate, 0, "");
    // zlib and libdeflate have no Deflate64: our Deflate64 stream of the corpus is compared
    // with their Deflate stream of the same corpus.
    if (!deflated64.empty()) {
        double rate64 = inflaterates[3];
        report("Deflate64", "orvandel", rate64, oursrate, "our Deflate");
        std::printf("%*s%.2fx zlib (Deflate)\n", 50, "", rate64 / zlibrate);
        if (ldrate > 0) std::printf("%*s%.2fx libdeflate (Deflate)\n", 50, "", rate64 / ldrate);
    } else {
        std::printf("  Deflate64 stream not available (7zz failed)\n");
    }

    Bytes lzmastream = cached(dir / "corpus.lzma", [&] { return lzmaoracle::encode(corpus); });
    std::printf("\nLZMA (liblzma preset 6: %.1f MB)\n", lzmastream.size() / 1e6);
    std::vector<double> lzmarates =
        measure(corpus.size(), {[&] { return check(ourlzma(lzmastream, out)); },
                                [&] { return check(liblzmadecode(lzmastream, out)); }});
    report("LZMA", "orvandel", lzmarates[0], lzmarates[1], "liblzma");
    report("LZMA", "liblzma", lzmarates[1], 0, "");

    if (!buildcrctable()) return 1;
    bool folding = usecrcfolding(true);
    unsigned expected = (unsigned)crc32(0, corpus.data(), (uInt)corpus.size());
    // The table path alone is what runs where the processor has no carry-less multiply.
    auto tablepath = [&] {
        usecrcfolding(false);
        bool ok = updatecrc(0, corpus.data(), corpus.size()) == expected;
        usecrcfolding(true);
        return ok;
    };
    std::vector<double> crcrates = measure(
        corpus.size(),
        {[&] { return updatecrc(0, corpus.data(), corpus.size()) == expected; },
         [&] { return crc32(0, corpus.data(), (uInt)corpus.size()) == expected; },
         [&] { return libdeflate_crc32(0, corpus.data(), corpus.size()) == expected; }, tablepath});
    releasecrctable();
    double crcours = crcrates[0], crczlib = crcrates[1], crcld = crcrates[2];
    std::printf("\nCRC-32\n");
    report("CRC-32", folding ? "orvandel" : "orvandel (tables)", crcours, crczlib, "zlib");
    if (crcld > 0) std::printf("%*s%.2fx libdeflate\n", 50, "", crcours / crcld);
    if (folding) report("CRC-32", "tables only", crcrates[3], crczlib, "zlib");
    report("CRC-32", "zlib", crczlib, 0, "");
    report("CRC-32", "libdeflate", crcld, 0, "");
    bool ok = oursrate > 0 && zlibrate > 0 && ldrate > 0 && crcours > 0 && crcrates[3] > 0 &&
              lzmarates[0] > 0 && lzmarates[1] > 0;
    return ok ? 0 : 1;
}
