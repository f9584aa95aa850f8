// "orvsfx build": makes a package from a folder or from an existing ZIP archive.
//
// Everything that can be refused is checked before the output is touched: the stub and its
// branding, the texts, the options, the folder's names or the archive's limits. The package
// is written to OUTPUT.partial and renamed over OUTPUT only when it is complete, so a failed
// build leaves an existing OUTPUT as it was and no partial file behind.
#include "engine/engineui.h"
#include "tools/base/builderror.h"
#include "tools/base/fileio.h"
#include "tools/cli/buildflags.h"
#include "tools/cli/commands.h"
#include "tools/cli/stublocation.h"
#include "tools/package/packagewriter.h"
#include "tools/packer/deflatecompressor.h"
#include "tools/packer/folderscan.h"
#include "tools/packer/lzmacompressor.h"
#include "tools/packer/memberpipeline.h"
#include "tools/pe/branding.h"
#include "tools/pe/stubcheck.h"
#include "tools/text/encodings.h"
#include "tools/text/texttable.h"
#include "tools/zip/randomsource.h"
#include "tools/zip/zipcrypto.h"
#include "tools/zip/ziplimits.h"
#include "tools/zip/zipreader.h"
#include "tools/zip/ziptimes.h"
#include "tools/zip/zipwriter.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The package being written; removed unless commit() renames it into place.
class PartialFile {
  public:
    explicit PartialFile(const std::string& target) : target_(target), path_(target + ".partial") {
        std::error_code ignored; // a folder that cannot be made shows as the open's failure
        fs::path folder = fs::path(target).parent_path();
        if (!folder.empty()) fs::create_directories(folder, ignored);
        stream_.open(path_, std::ios::binary | std::ios::trunc);
        if (!stream_) throw BuildError("cannot create " + path_);
    }
    ~PartialFile() {
        if (committed_) return;
        stream_.close();
        std::remove(path_.c_str());
    }
    std::ofstream& stream() { return stream_; }
    void commit() {
        stream_.close();
        if (!stream_) throw BuildError("cannot write " + path_ + " (disk full?)");
        if (std::rename(path_.c_str(), target_.c_str()) != 0)
            throw BuildError("cannot rename " + path_ + " to " + target_);
        committed_ = true;
    }

  private:
    std::string target_, path_;
    std::ofstream stream_;
    bool committed_ = false;
};

// Progress of a folder build on standard error, when that is a terminal; at most five
// updates a second.
class Progress {
  public:
    Progress(std::size_t files, std::uint64_t bytes)
        : files_(files), bytes_(bytes), shown_(isatty(STDERR_FILENO)) {}
    void update(std::size_t files, std::uint64_t bytes) {
        auto now = std::chrono::steady_clock::now();
        if (!shown_ || (files < files_ && now - last_ < std::chrono::milliseconds(200))) return;
        last_ = now;
        std::fprintf(stderr, "\rorvsfx: %zu/%zu entries, %llu/%llu KB", files, files_,
                     static_cast<unsigned long long>(bytes / 1024),
                     static_cast<unsigned long long>(bytes_ / 1024));
        if (files == files_) std::fprintf(stderr, "\n");
    }

  private:
    std::size_t files_;
    std::uint64_t bytes_;
    bool shown_;
    std::chrono::steady_clock::time_point last_;
};

bool sameexistingfile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// The output must not replace an input or lie inside the folder being packed.
void checkoutput(const BuildRequest& request) {
    for (const std::string& input :
         {request.stub, request.fromzip, request.texts, request.branding.icon})
        if (!input.empty() && sameexistingfile(request.output, input))
            throw BuildError("the output " + request.output + " would replace the input " + input);
    if (request.folder.empty()) return;
    fs::path folder = fs::weakly_canonical(request.folder);
    fs::path output = fs::weakly_canonical(request.output);
    auto mismatch = std::mismatch(folder.begin(), folder.end(), output.begin(), output.end());
    if (mismatch.first == folder.end())
        throw BuildError("the output " + request.output + " lies inside the folder being packed");
}

// The threads that compress: as asked, or one per processor.
unsigned compressingthreads(const BuildRequest& request) {
    if (request.threads) return request.threads;
    unsigned processors = std::thread::hardware_concurrency();
    return processors ? processors : 1;
}

// Writes the folder's archive behind the head; returns the number of entries.
std::size_t packfolder(const BuildRequest& request, const std::vector<FolderItem>& items,
                       std::ostream& out, std::uint64_t base) {
    std::uint64_t total = 0;
    for (const FolderItem& item : items) total += item.size;
    Progress progress(items.size(), total);
    ZipWriterSettings settings;
    settings.utcdostimes = true;
    settings.latesttime = request.sourcedateepoch;
    if (!request.password.empty()) {
        settings.password = request.password;
        settings.headersource =
            request.derivedheaders ? derivedheadersource(request.password) : systemheadersource();
    }
    PackSettings pack;
    pack.method = request.method;
    pack.level = request.level;
    pack.dictionary = request.dictionary;
    pack.threads = compressingthreads(request);
    pack.wholemembers = !request.password.empty();
    // A level the compressor refuses stops here, before anything is written.
    if (pack.level > 0 && pack.method == kMethodDeflate) deflatecompressor(pack.level);
    if (pack.level > 0 && pack.method == kMethodLzma) lzmadictionary({pack.level, 0}, 0);
    ZipWriter writer(out, base, std::move(settings));
    packitems(items, writer, pack,
              [&](std::size_t done, std::uint64_t bytes) { progress.update(done, bytes); });
    writer.finish(request.comment);
    return items.size();
}

// The certificate table starts on an 8-byte boundary, so signing may pad the file first.
const std::size_t kSignaturePadding = 7;

// The stub's main dialog reads the end record from the package's last kDialogEndWindow bytes
// (the engine from the last kEngineEndWindow): a signature appended behind the archive must
// leave the record, its 22 bytes and the comment within that window.
void warnaboutsignature(const BuildRequest& request, std::size_t commentsize) {
    std::size_t used = kEndRecordSize + commentsize + kSignaturePadding;
    std::size_t room = used < kDialogEndWindow ? kDialogEndWindow - used : 0;
    if (request.signaturesize == 0 || request.signaturesize <= room) return;
    std::fprintf(stderr,
                 "orvsfx: warning: the archive comment (%zu bytes) leaves room for a signature "
                 "of %zu bytes, less than the %u expected; a signed package would not show its "
                 "files\n",
                 commentsize, room, request.signaturesize);
}

// The longest password the stub's password question and its cached password hold.
const std::size_t kPasswordLimit = kPasswordLength;

// The table chosen by --texts or --language, with this package's own texts; every text of
// the request is converted to the table's code page on the way.
TextTable interfacetexts(BuildRequest& request) {
    TextTable table = !request.texts.empty()     ? loadtable(request.texts)
                      : request.language.empty() ? shippedtable("english")
                                                 : shippedtable(request.language);
    encoderequest(request, *table.codepage);
    if (request.password.size() > kPasswordLimit)
        throw BuildError("the password has " + std::to_string(request.password.size()) +
                         " bytes; at most " + std::to_string(kPasswordLimit) +
                         " fit the stub's password question");
    checkplaceholders(table);
    if (!request.textoverrides.empty()) {
        for (const auto& [k, text] : request.textoverrides) table.texts[k] = text;
        table.name = "the package's own texts";
        checkplaceholders(table);
    }
    for (const std::string& collision : mnemoniccollisions(table.texts, *table.codepage))
        std::fprintf(stderr, "orvsfx: warning: %s\n", collision.c_str());
    return table;
}

} // namespace

int buildcommand(const CommandArgs& args) {
    BuildRequest request = parsebuildflags(args);
    if (request.help) {
        std::fputs(helptext("build", builddoc()).c_str(), stdout);
        return 0;
    }
    if (request.stub.empty()) request.stub = defaultstub();
    std::string stub = readfile(request.stub, "the stub");
    checkstubimage(stub, request.stub);
    if (request.branding.any()) {
        stub = brandstub(stub, request.stub, request.branding);
        checkstubimage(stub, request.stub);
    }
    TextTable table = interfacetexts(request);
    std::string textblock = encodetextblock(textblockbody(table.texts));
    std::string optionsblock = encodeoptions(request.options);
    checkoutput(request);
    PackageLayout layout;
    std::string head = packagehead(stub, textblock, optionsblock, &layout);

    std::vector<FolderItem> items;
    std::string archive, source;
    ZipArchive directory;
    if (request.fromzip.empty()) {
        items = scanfolder(request.folder);
    } else {
        source = readfile(request.fromzip, "the archive");
        directory = readziparchive(source);
        checkforstub(source, directory);
        if (request.sourcedateepoch &&
            clamparchivetimes(source, directory, *request.sourcedateepoch) > 0)
            std::fprintf(stderr, "orvsfx: warning: encrypted members with a data descriptor "
                                 "keep their DOS time, which their password check uses\n");
        archive = rebasearchive(source, directory, layout.archiveoffset);
    }

    PartialFile output(request.output);
    output.stream().write(head.data(), static_cast<std::streamsize>(head.size()));
    warnaboutsignature(request,
                       request.fromzip.empty() ? request.comment.size() : directory.comment.size());
    std::size_t entries = directory.entries.size();
    if (request.fromzip.empty())
        entries = packfolder(request, items, output.stream(), layout.archiveoffset);
    else
        output.stream().write(archive.data(), static_cast<std::streamsize>(archive.size()));
    std::uint64_t size = static_cast<std::uint64_t>(output.stream().tellp());
    output.commit();
    std::printf("orvsfx: wrote %s: %llu bytes, text block at %llu, archive at %llu, %zu entries\n",
                request.output.c_str(), static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(layout.textoffset),
                static_cast<unsigned long long>(layout.archiveoffset), entries);
    return 0;
}
