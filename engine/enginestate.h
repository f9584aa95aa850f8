// The zip engine's one state record, its result codes and the operations its files share.
//
// Design: there is exactly one EngineState (`engine`), a plain record that every engine
// routine works on directly; initengine clears it and sets the defaults, and runarchive
// (engine/runrequest.h) fills its option fields from a front end's request and calls
// extractarchive once per run. The archive is read in
// aligned 8,192-byte blocks through one input buffer and cursor; decoded data collects in
// a 65,536-byte output window, which between uses is also the scratch space that every
// message is formatted into. The engine reaches the operating system only through
// platform/ and the user only through EngineUi.
#pragma once

#include "common/results.h"
#include "common/zipformat.h"
#include "engine/engineui.h"
#include "engine/inflate.h"
#include "engine/inputcursor.h"
#include "engine/lzma.h"
#include "engine/nametext.h"
#include "engine/timeconv.h"
#include "engine/zipcipher.h"
#include "platform/codepage.h"
#include "platform/files.h"

// Result codes of extractarchive; when several occur, the larger code wins.
enum EngineResult {
    kResultOk = 0,
    kResultWarning = 1,       // something was skipped, or the archive is empty
    kResultArchiveError = 2,  // structural error; extraction went on as far as possible
    kResultSevereError = 3,   // bad offsets, signatures not where expected
    kResultNoMemory = 4,      // no memory at start-up or for the destination folder
    kResultInflateMemory = 6, // the inflater ran out of memory
    kResultNotFound = 9,      // the archive could not be found or opened
    kResultNoneSelected = 11, // no member was selected
    kResultDirectory = 76,    // the archive path names a folder (reported as 9)
    kResultDiskFull = 50,     // output could not be written or created
    kResultEndOfArchive = 51, // unexpected end of the archive file
    kResultCancelled = 80,    // cancelled through the progress report
    kResultNewerVersion = 81, // members refused because they need a newer version
    kResultBadPassword = 82,  // every attempted member failed its password check
};

static_assert(int(kInflateNoMemory) < int(kResultDiskFull),
              "inflate's own results stay below the codes flushoutput passes through it");
static_assert(int(kLzmaNoMemory) < int(kResultDiskFull),
              "unlzma's own results stay below the codes flushoutput passes through it");

// What the user chose after a write failed on a full disk.
enum DiskFullState {
    kDiskFullNone = 0, // no write has failed for this member
    kDiskFullGoOn = 1, // abandon this member, go on with the next
    kDiskFullStop = 2, // stop the run
};

// What happens to a member whose output file exists already (the derived overwrite mode).
enum OverwritePolicy {
    kPolicyAsk = 0,       // askoverwrite decides
    kPolicyOverwrite = 1, // the member replaces the file
    kPolicyKeep = 2,      // the file stays, the member is skipped
};

// How readfield treats the bytes of a header's variable-length field.
enum FieldMode {
    kFieldSkip = 0,        // step over them
    kFieldCentralName = 2, // the central header's name, into the file-name buffer
    kFieldExtra = 3,       // the extra field, into the extra-field buffer
    kFieldLocalName = 6,   // the local header's name, into the file-name buffer
};

// Results of openencrypted.
enum EncryptedOpen {
    kEncryptedOpen = 0,       // a password fitted; the member's data is being decrypted
    kEncryptedNoPassword = 1, // no password fitted: the member is skipped
    kEncryptedNoMemory = 5,   // the password buffer could not be allocated
};

// MapStatus, the result of mapname and the output path steps: bits 0..7 an engine result code, bits
// 8..14 the class below, bit 15 carried through unchanged.
enum MapStatus {
    kMapReady = 0x0000,       // path ready, extract
    kMapTruncated = 0x0100,   // path ready, extract (the name was cut)
    kMapExists = 0x0200,      // directory member exists already: skip silently
    kMapError = 0x0300,       // conversion failed, folder cannot be made, file in the way
    kMapTooLong = 0x0400,     // path too long
    kMapNoMemory = 0x0A00,    // out of memory
    kMapCreatedDir = 0x1000,  // a directory member was created: skip silently
    kMapVolumeLabel = 0x1100, // volume-label member refused
    kMapClassMask = 0x7F00,
    kMapCarryBit = 0x8000,
};

// Message flags: bit 0 error or warning, bit 5 start on a fresh line, bit 6 end the line;
// bits 7 and 10 travel with the message.
enum MessageFlags : unsigned {
    kMsgInfo = 0x000,
    kMsgWarn = 0x001,
    kMsgError = 0x401,
    kMsgErrorFreshLine = 0x421,
    kMsgErrorQuestion = 0x481,
    kMsgErrorQuestionFreshLine = 0x4A1,
};

enum EngineSizes {
    kInputBlock = 8192,               // archive read unit
    kHoldCopy = kSignatureLength - 1, // a block's first bytes copied behind the block before
    kHoldArea = 4,                    // the block in front is scanned (signature search)
    kOutputWindow = 65536,            // decoded data and message scratch
    // Output files longer than one window are given their length before they are written:
    // they are written in several pieces, which the reserved length keeps together. A
    // shorter one is written by one call and gains nothing from it but three system calls.
    kPresizeAbove = kOutputWindow,
    kBatchSize = 64,        // central entries per batch
    kPathBuffer = 1024,     // the file-name buffer: stored name, then output path
    kEncryptionHeader = 12, // encrypted bytes in front of an encrypted member's data
};
static_assert(static_cast<int>(kPathBuffer) >= static_cast<int>(kNameText),
              "a converted name fits the file-name buffer");

// Resolved paths (confine.cpp): the root's is kept when it fits kResolvedRoot; an output's is
// the resolved root followed by the output's path below the root, which is shorter than the
// file-name buffer.
enum { kResolvedRoot = kPathBuffer, kResolvedOutput = kResolvedRoot + kPathBuffer };
static_assert(static_cast<int>(kResolvedOutput) - static_cast<int>(kResolvedRoot) >=
                  static_cast<int>(kPathBuffer),
              "an output's resolved path holds the resolved root and any output path below it");

// Why a member or the run failed, as handed to EngineUi::reportfailure. The engine itself
// shows none of them; a front-end turns them into words.
enum EngineReason {
    kReasonNone = 0,
    kReasonCannotOpen,       // the archive cannot be opened (system error code given)
    kReasonArchiveIsFolder,  // the archive path names a folder
    kReasonNoEndRecord,      // no end-of-central-directory record: not a zip file
    kReasonEndRecordCut,     // the end record itself is cut short
    kReasonCentralPastEnd,   // the central directory ends past the end of the file
    kReasonCentralOverlap,   // the central directory runs into the end record
    kReasonCommentPastEnd,   // the archive comment runs past the end of the file
    kReasonEntryCounts,      // entries on this disk differ from the entry total
    kReasonCentralMissing,   // no central directory where the end record says
    kReasonCentralCut,       // a central entry runs past the end of the file
    kReasonFewerEntries,     // the central directory ends before the entry total
    kReasonNewerVersion,     // the member needs a newer version to extract
    kReasonLocalMissing,     // no local header where the central directory says
    kReasonLocalCut,         // the local header or name runs past the end of the file
    kReasonNameMismatch,     // the local header's name differs from the central one
    kReasonDataPastEnd,      // the member's data runs past the central directory or file
    kReasonWrongPassword,    // no password passed the check
    kReasonNoMemory,         // memory ran out
    kReasonAbsolutePath,     // leading separators were removed from the name
    kReasonBadName,          // the name maps to nothing
    kReasonVolumeLabel,      // volume-label members are not extracted
    kReasonThroughLink,      // a link, junction or reparse point stands in the path
    kReasonFileInTheWay,     // a file stands where a folder is needed
    kReasonFolderInTheWay,   // a folder stands where the file is to be written
    kReasonCannotMakeFolder, // a folder cannot be created (system error code given)
    kReasonPathTooLong,      // the output path is too long
    kReasonNameTooLong,      // the file system refuses the name as too long
    kReasonCannotCreate,     // the output file cannot be created (system error code given)
    kReasonCannotReplace,    // an existing output file cannot be deleted
    kReasonDiskFull,         // the disk is full
    kReasonMethod,           // unsupported compression method
    kReasonInflate,          // invalid Deflate data
    kReasonLzma,             // invalid LZMA data
    kReasonLzmaHeader,       // the LZMA header or properties are not valid
    kReasonDictionary,       // the LZMA dictionary exceeds what the engine allocates
    kReasonSizeMismatch,     // decoded size differs from the stored uncompressed size
    kReasonCrc,              // CRC mismatch
    kReasonDestination,      // the extraction folder cannot be created
    kReasonOffsetsCorrected, // the archive's offsets were wrong and had to be corrected
    kReasonEmpty,            // the archive has no members
    kReasonSameFile,         // the member lands on a file an earlier member made in this run
};

static_assert(static_cast<int>(kOutputWindow) == static_cast<int>(kInflateWindowSize),
              "the inflater fills the engine's window");
static_assert(static_cast<int>(kInputBlock) == static_cast<int>(kInflateInputBlock),
              "the inflater's input margin is checked against the engine's read unit");
static_assert(kHoldArea >= kHoldCopy,
              "a signature starting in a block's last bytes is completed from the hold area");

// One chosen central-directory entry.
struct MemberInfo {
    char name[kNameText];      // the central name as name text, as the local one is compared
    unsigned short namelength; // the central name's stored length
    unsigned localoffset;      // offset of the local header as stored
    unsigned crc;
    unsigned compressedsize;
    unsigned uncompressedsize;
    unsigned short diskstart;
    unsigned char versionmadeby;
    unsigned char host;  // host system, 0..19 (values above 18 become 19)
    unsigned attributes; // DOS attributes: low byte of the external ones, +0x20 for files
    bool encrypted;      // general purpose bit 0
    bool hasdescriptor;  // general purpose bit 3
    bool text;           // internal attributes bit 0
    bool volumelabel;
    bool nodata;        // compressed and uncompressed size are both 0
    bool utf8name;      // the name was read as UTF-8 (Unicode path field or bit 11)
    unsigned external;  // the external attributes as stored
    NtfsTimes ntfs;     // the central NTFS block's times (7-Zip writes them only there)
    unsigned ntfsflags; // which of them are present (time flags)
};

// The end-of-central-directory record (after its signature).
struct EndRecord {
    unsigned short thisdisk;
    unsigned short centraldisk;
    unsigned short entriesondisk;
    unsigned short entriestotal;
    unsigned centralsize;
    unsigned centraloffset;
    unsigned short commentlength;
};

// The fields of a local file header.
struct LocalHeader {
    unsigned short flags, method;
    unsigned dostime; // DOS time in the low 16 bits, date in the high 16 bits
    unsigned crc, compressedsize, uncompressedsize;
    unsigned short namelength, extralength;
};

// Receives the engine's message stream (engine/messagehook.h).
typedef void (*MessageReceiver)(void* context, const char* text, unsigned length, unsigned flags);

struct EngineState {
    // Options, set before each run by runarchive (engine/runrequest.h) and nothing else.
    const char* destination; // extraction root; null means the current folder
    const char* archivepath; // file to open
    const char* archivename; // the name as first given, for the not-found report
    int overwritealways;
    int overwritenever;
    int extractall; // nonzero: every member; zero: members selected in the file list
    int extract;    // 1 extracts; 0 tests: members are decoded and checked, nothing is written
    const char* firstpassword;          // the first password tried (null or empty: none)
    int dirlist, filelist, newfilelist; // string lists of what the run makes (0: none)
    const EngineUi* ui;                 // never null during a run
    void* uicontext;

    OverwritePolicy overwritemode; // derived from the two flags at the start of a run
    unsigned long long bytesdone;  // bytes written in this run
    bool cancelled;                // reportprogress asked to cancel

    // The message stream: its receiver (null: none) and how much it is told.
    MessageReceiver receiver;
    void* receivercontext;
    int quietlevel; // messages for information only when 0

    // Archive input.
    platform::File* archive;
    unsigned long long archivesize;
    unsigned char* inbuf; // kInputBlock bytes and the hold area
    unsigned char* hold;
    InputCursor cursor;
    long long bufferstart; // file offset of inbuf[0]
    unsigned char sigcentral[kSignatureLength], siglocal[kSignatureLength],
        sigend[kSignatureLength];
    EndRecord end;
    long long actualend, expectedend, prefixlength;
    long long centralstart;  // file offset of the central directory (prefix included)
    long long remaining;     // compressed bytes of the member not yet handed out
    unsigned char* leftover; // bytes of the buffer put aside behind the member
    int leftoverlength;

    // Members.
    MemberInfo batch[kBatchSize];
    MemberInfo* member;
    CentralHeader central;
    LocalHeader local;
    char filename[kPathBuffer];
    char storedname[kNameBuffer]; // the name just read, as stored (at most 259 bytes)
    unsigned storedlength;        // its bytes kept
    bool storedcut;               // bytes of it were cut off
    bool localnamediffers;        // the local name just read is not the member's central name
    unsigned char* extra;
    unsigned extralength;

    // Decryption.
    char* password;    // the cached password (kPasswordBuffer bytes), null until needed
    int newarchive;    // set by the member loop: the cache is checked at the first member
    int nomoreprompts; // the user stopped the questions; cleared only by initengine
    CipherKeys keys;

    // Output.
    platform::File* output;
    bool outputmissing; // the member's output path was just found empty (checkexisting)
    bool presized;      // output was given its length in advance (cut back when it is closed)
    unsigned crc;
    unsigned long long written; // bytes the member decoded to
    int memberfailed;           // an error of the current member was reported
    DiskFullState diskfullstate;
    InflateHooks hooks;
    unsigned char window[kOutputWindow];

    // Path building (outputpath.cpp).
    char* root;
    unsigned rootlength;
    char* longpath;
    char* shortpath;
    unsigned longend, shortend;
    int createdirs;
    int createddir;
    unsigned namelength;
    // The last folder path of this run whose folders were all looked at and found to be
    // folders, not links (short path with its trailing slash; verifiedend 0 when none). A
    // folder path that does not fit is not kept: a member's path in it would not fit the
    // file-name buffer either.
    char verifiedfolders[kPathBuffer];
    unsigned verifiedend;

    // Where the root really lies (confine.cpp), without a trailing separator; rootresolved is
    // false when the system could not say, and then only the checks by path apply.
    char resolvedroot[kResolvedRoot];
    unsigned resolvedrootlength;
    bool rootresolved;
    // The places of the files this run has made (hashes of their resolved paths), so that a
    // member that lands on one of them is told from a file that stood there before.
    unsigned long long* madefiles;
    unsigned madecount, madesize;

    // Volume cache (mapname): the first two characters of the last full path asked about.
    char volumekey[2];
    int volumeknown, only83, fatlike;
    platform::PathStatus status;
};

extern EngineState engine;

// The user interface of a run that has none: every operation left null.
extern const EngineUi kNoUi;

// Entry points (archiveopen.cpp).
EngineState* initengine();
int extractarchive();

// Archive opening and input buffering (archiveopen.cpp).
int findendrecord(int searchlength);
unsigned readbytes(unsigned char* destination, unsigned count);
int seekarchive(long long offset);
int loadblock(long long blockstart);
void deferleftover();
void restoreleftover();

// Member loop (memberloop.cpp).
int walkcentral();
// Names: readfield stores a name's bytes as they are; settlename, called once the extra
// field behind it has been read, turns them into name text in the file-name buffer (and,
// for a central name, into the current MemberInfo) and sets localnamediffers for a local
// one. flags are the general purpose flags of the name's header.
int readfield(unsigned length, FieldMode mode);
void settlename(FieldMode mode, unsigned flags);

// Extraction (extract.cpp). The methods the engine decodes: stored, Deflate, Deflate64, LZMA.
inline bool decodesmethod(unsigned method) {
    return method == kMethodStored || method == kMethodDeflate || method == kMethodDeflate64 ||
           method == kMethodLzma;
}
int extractbatch(unsigned count, unsigned* attempted, unsigned* badpasswords,
                 long long* savedprefix, int result);
int readbyte();
int flushoutput(unsigned char* data, unsigned count, int flags);

// Decryption (decrypt.cpp); the key operations work on engine.keys (engine/zipcipher.h).
int openencrypted();
void initkeys(const char* text);
void updatekeys(unsigned char plain);
unsigned char decryptbyte();
void decryptbuffer(unsigned char* data, unsigned count);
void releasepassword();

// Messages and failure reports (messages.cpp).
char* printablename(const char* name, char* buffer);
// Formats a message into the output window and hands it to the message receiver, when one
// is installed.
void sendmessage(unsigned flags, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Sends a message whose text is empty: the event still reaches the receiver.
void notify(unsigned flags);
// Hands text to the receiver as it is.
void deliver(const char* text, unsigned length, unsigned flags);
// Hands a failure of the current member (once per member) or of the archive to the user
// interface's reportfailure.
void memberfailure(int reason, int result, int syserror = 0);
void archivefailure(int reason, int result, int syserror = 0);
// A failure that skips the current member: raises *result to failure, reports reason and
// sends the event. Returns false, for the caller to return.
bool skipmember(int* result, int reason, int failure, unsigned event = kMsgError);
// A fault of the archive as a whole: sends the event, reports reason; returns result raised
// to failure.
int archivefault(int result, int reason, int failure, unsigned event = kMsgError);
enum { kPrintableName = 2 * kPathBuffer + 1 };

// Names and folders (mapname.cpp, outputpath.cpp, volumes.cpp). The output path is built in steps:
// the root once per run, then for each member its start, its folders one by one (made when missing)
// and its name, and the path handed over; each step returns a MapStatus.
int mapname();
int setroot(const char* path);
int startpath();
int appendfolder(const char* component);
int appendname(const char* name);
int takepath(char* buffer);
void forgetroot();
void releasepaths();
int makedir(const char* path);
void to83name(const char* component, char* out);
// Whether path starts with a drive letter and its colon ("C:").
bool hasdriveletter(const char* path);
int is83volume(const char* path);
int isfatvolume(const char* path);

// Keeping output inside the root as the system resolves it (confine.cpp).
void resolveroot(const char* root);
// Whether the file or folder just opened lies inside the resolved root; *place, when asked
// for, gets a hash of where it lies (0 when that is not known).
bool liesinroot(platform::File* opened, unsigned long long* place = nullptr);
// Records the place of a file this run made; whether a file at path was made by this run.
void recordmade(unsigned long long place);
bool madebythisrun(const char* path);
void releasemade();
// Deletes the file or folder at path, by its handle and only when it lies inside the root:
// 0, or the failure's reason (kReasonThroughLink, or kReasonCannotReplace with the system's
// error in *syserror).
int removeinside(const char* path, int* syserror);

// Closing and file status (closeoutput.cpp).
void closeoutput();
// The current member's times as FILETIMEs (modification, access, creation) for the output
// path in the file-name buffer; returns the time flags of those set.
unsigned membertimes(unsigned long long times[3]);
// Hands the current member's output path to EngineUi::memberdone, when there is one.
void reportdone(int folder);
int statfile(const char* path, platform::PathStatus* status);
// The same for an output path, without following a link in its last component: a link,
// junction or reparse point there is reported as kPathLink.
int statoutput(const char* path, platform::PathStatus* status);
