// Decoding the options block into the setup options record.
//
// The header is checked once, by checkheader, whether the block comes from memory
// (decodeoptions) or from the file (readoptionsblock). The flags come first and are kept even
// when a later check fails, because the block's version has been accepted by then. Every text
// field is bounds-checked against the block length L before it is copied: a block whose fields
// run past L is refused rather than read beyond the bytes that belong to it.
#include "startup/optionsblock.h"

#include "common/byteorder.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/system.h"
#include "startup/textblock.h"

#include <stdlib.h>
#include <string.h>

SfxOptions* sfxoptions;
char* ownpath;

static bool hasmagic(const unsigned char* header) {
    unsigned char magic[kOptionsMagicSize];
    completemarker(magic, kOptionsMagicStored, kOptionsMagicSize);
    return memcmp(header + kOptionsMagicOffset, magic, kOptionsMagicSize) == 0;
}

unsigned optionsblocklength(const unsigned char* header, size_t n) {
    if (n < kOptionsHeaderSize || !hasmagic(header)) return 0;
    return get16(header + kOptionsLengthOffset);
}

SfxOptions* makesfxoptions() {
    SfxOptions* options = (SfxOptions*)calloc(1, sizeof(SfxOptions));
    if (!options) return nullptr;
    char** texts[] = {&options->startprompt, &options->abouttext, &options->infotext,
                      &options->command};
    for (char** text : texts) {
        *text = (char*)calloc(1, 1);
        if (!*text) {
            releasesfxoptions(options);
            return nullptr;
        }
    }
    return options;
}

void releasesfxoptions(SfxOptions* options) {
    if (!options) return;
    free(options->startprompt);
    free(options->abouttext);
    free(options->infotext);
    free(options->command);
    free(options);
}

static void decodeflags(unsigned char a, unsigned char b, SfxOptions* o) {
    o->commandoptional = (a & kFlagCommandOptional) != 0;
    o->selectfiles = (a & kFlagSelectFiles) != 0;
    o->showoverwrite = (a & kFlagShowOverwrite) != 0;
    o->overwritemode = (a & kFlagOverwriteAlways)  ? kOverwriteAlways
                       : (a & kFlagOverwriteNever) ? kOverwriteNever
                                                   : kOverwriteAsk;
    o->cleanafter = (a & kFlagCleanAfter) != 0;
    o->autoextract = (a & kFlagAutoExtract) != 0;
    o->showdone = (a & kFlagNoDoneMessage) == 0;
    o->infopanel = (b & kFlagInfoPanel) != 0;
    o->noopenwith = (b & kFlagNoOpenWith) != 0;
    o->showcomment = (b & kFlagShowComment) != 0;
    o->aboutextra = (b & kFlagNoAboutExtra) == 0;
    o->showprogress = (b & kFlagNoProgress) == 0;
    o->showbanner = (b & kFlagShowBanner) != 0;
    o->writelog = (b & kFlagWriteLog) != 0;
}

// Reads the block's fields in order without passing the block's end.
struct FieldReader {
    const unsigned char* data;
    size_t end; // the block length L
    size_t pos;
    bool overrun;

    unsigned number(size_t width) {
        if (overrun || end - pos < width) {
            overrun = true;
            return 0;
        }
        unsigned value = width == kShortLengthSize ? data[pos] : get16(data + pos);
        pos += width;
        return value;
    }
    const unsigned char* text(size_t length) {
        if (overrun || end - pos < length) {
            overrun = true;
            return nullptr;
        }
        const unsigned char* start = data + pos;
        pos += length;
        return start;
    }
};

// The package's texts are in its code page, which the system's ANSI code page shows; they
// become UTF-8 here, as every text the program holds.
static unsigned totext(const unsigned char* text, unsigned length, char* out, unsigned size) {
    return platform::ansitoname((const char*)text, length, out, size);
}

// Copies a text with a one-byte length into a fixed field, which always keeps a NUL.
static_assert(kShortPathBuffer >= 0xFF * kTextGrowth + 1,
              "the longest title or folder fits with its NUL");
static void copyfixed(char* field, const unsigned char* text, unsigned length) {
    field[0] = 0;
    if (text) totext(text, length, field, kShortPathBuffer);
}

// Replaces a heap text with a copy of a field; false when memory runs out.
static bool copyheap(char** field, const unsigned char* text, unsigned length) {
    unsigned size = length * kTextGrowth + 1;
    char* resized = (char*)realloc(*field, size);
    if (!resized) return false;
    totext(text, length, resized, size);
    *field = resized;
    return true;
}

// A heap text that may be empty: sets flag and copies the text when length > 0.
static bool decodeheap(FieldReader* r, unsigned length, char** field, bool* flag) {
    const unsigned char* text = r->text(length);
    if (r->overrun) return true;
    *flag = length > 0;
    return length == 0 || copyheap(field, text, length);
}

// The one check of a header (the first n bytes of a block, at least kOptionsHeaderSize to
// pass): its magic, then its version, whose flags go into o once it is accepted, then its
// length L, into *length.
static OptionsStatus checkheader(const unsigned char* header, size_t n, SfxOptions* o,
                                 size_t* length) {
    if (n < kOptionsHeaderSize || !hasmagic(header)) return kOptionsInvalid;
    if (get16(header + kOptionsVersionOffset) != kOptionsVersion) return kOptionsBadVersion;
    decodeflags(header[kOptionsFlagsAOffset], header[kOptionsFlagsBOffset], o);
    *length = get16(header + kOptionsLengthOffset);
    return *length < kOptionsHeaderSize ? kOptionsInvalid : kOptionsOk;
}

// Decodes the fields behind a checked header; data holds the block of length bytes and the
// archive's first kArchiveLeadSize bytes.
static OptionsStatus decodefields(const unsigned char* data, size_t length, SfxOptions* o,
                                  const char* defaulttitle) {
    FieldReader r = {data, length, kOptionsHeaderSize, false};
    unsigned lt = r.number(kShortLengthSize);
    const unsigned char* title = r.text(lt);
    if (r.overrun) return kOptionsInvalid;
    copyfixed(o->title, title, lt);
    if (o->title[0] == 0 && defaulttitle) {
        strncpy(o->title, defaulttitle, sizeof o->title - 1);
        o->title[sizeof o->title - 1] = 0;
    }

    unsigned lf = r.number(kShortLengthSize);
    const unsigned char* folder = r.text(lf);
    if (r.overrun) return kOptionsInvalid;
    copyfixed(o->destfolder, folder, lf);

    if (!decodeheap(&r, r.number(kLongLengthSize), &o->command, &o->hascommand))
        return kOptionsNoMemory;
    if (!o->hascommand) o->commandoptional = false;

    unsigned lp = r.number(kLongLengthSize);
    unsigned style = r.number(kPromptStyleSize);
    if (!decodeheap(&r, lp, &o->startprompt, &o->hasstartprompt)) return kOptionsNoMemory;
    if (!r.overrun) {
        o->promptstyle = (unsigned short)style;
        if (lp == 0) o->startprompt[0] = 0;
    }

    if (!decodeheap(&r, r.number(kLongLengthSize), &o->abouttext, &o->hasabouttext))
        return kOptionsNoMemory;
    if (!decodeheap(&r, r.number(kLongLengthSize), &o->infotext, &o->hasinfotext))
        return kOptionsNoMemory;
    if (r.overrun) return kOptionsInvalid;

    const unsigned char* archive = data + length;
    if (memcmp(archive, "PK", kArchiveLeadSize) != 0 &&
        memcmp(archive, "MS", kArchiveLeadSize) != 0)
        return kOptionsInvalid;
    return kOptionsOk;
}

OptionsStatus decodeoptions(const unsigned char* data, size_t n, SfxOptions* o,
                            const char* defaulttitle) {
    size_t length = 0;
    OptionsStatus status = checkheader(data, n, o, &length);
    if (status != kOptionsOk) return status;
    if (n < length + kArchiveLeadSize) return kOptionsInvalid;
    return decodefields(data, length, o, defaulttitle);
}

// Reads the block at offset, checking its header, into a heap buffer of L bytes and the
// archive's first kArchiveLeadSize; the status tells why not. The flags are decoded as soon
// as the header has passed its checks, so they stay set whatever fails later.
static OptionsStatus readblock(platform::File* file, unsigned long offset, unsigned char** block,
                               size_t* length) {
    unsigned char header[kOptionsHeaderSize];
    if (!platform::readat(file, offset, header, sizeof header)) return kOptionsInvalid;
    OptionsStatus status = checkheader(header, sizeof header, sfxoptions, length);
    if (status != kOptionsOk) return status;
    size_t size = *length + kArchiveLeadSize;
    *block = (unsigned char*)malloc(size);
    if (!*block) return kOptionsNoMemory;
    return platform::readat(file, offset, *block, static_cast<unsigned>(size)) ? kOptionsOk
                                                                               : kOptionsInvalid;
}

// Reads and decodes the block of a file into sfxoptions; the status tells why not.
static OptionsStatus readoptions(const char* filepath, unsigned long offset) {
    platform::File* file = platform::openread(filepath);
    if (!file) return kOptionsUnreadable;
    unsigned char* block = nullptr;
    size_t length = 0;
    OptionsStatus status = readblock(file, offset, &block, &length);
    platform::closefile(file);
    if (status == kOptionsOk)
        status = decodefields(block, length, sfxoptions, UiText[kTextDefaultTitle]);
    free(block);
    return status;
}

int readoptionsblockfrom(const char* filepath, unsigned long offset, OptionsStatus* status) {
    OptionsStatus result = readoptions(filepath, offset);
    if (status) *status = result;
    return result == kOptionsOk ? 1 : 0;
}

int readoptionsblock() {
    char path[kLongPathBuffer];
    OptionsStatus status = platform::ownmodulepath(path, sizeof path)
                               ? readoptions(path, optionsoffset)
                               : kOptionsUnreadable;
    if (status != kOptionsOk) {
        // An invalid block is reported under the package's title; a block that failed before
        // its title was read has the title of a package that gives none.
        const char* title = sfxoptions->title[0] ? sfxoptions->title : UiText[kTextDefaultTitle];
        const char* caption = status == kOptionsInvalid ? title : UiText[kTextErrorCaption];
        platform::messagebox(UiText[status], caption, platform::kBoxError);
        return 0;
    }
    strcpy(ownpath, path);
    return 1;
}
