// POSIX implementation of platform/files.h.
//
// Paths arrive as name text, which is UTF-8 here (platform/codepage.h), and go to the
// system calls as they are. Only the read-only attribute has a Linux form (the owner's write
// permission); hidden, system and archive bits are accepted and dropped. Files have no
// creation time here.
//
// Volumes report long names and a non-FAT file system. Tests can make them report
// otherwise with the environment variable ORV_VOLUME: "fat" gives a FAT-like volume with
// long names ("FAT32"), "8.3" a FAT volume that allows only 8.3 names ("FAT").
#include "platform/files.h"

#include "platform/filetime.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

struct platform::File {
    int fd;
};

namespace {

// The current folder as getcwd gives it: the longest UTF-8 form of a 260-character path.
enum { kCurrentFolder = 4 * platform::kSystemPathBuffer + 1 };

// A resolved path: the longest path the kernel hands back.
enum { kResolvedPathBuffer = PATH_MAX };

using platform::kFiletimeTicksPerSecond;
using platform::kFiletimeUnixEpochSeconds;

platform::File* wrap(int fd) {
    if (fd < 0) return nullptr;
    platform::File* file = static_cast<platform::File*>(malloc(sizeof(platform::File)));
    if (!file) {
        close(fd);
        return nullptr;
    }
    file->fd = fd;
    return file;
}

platform::File* opennative(const char* path, int flags) {
    return wrap(open(path, flags | O_CLOEXEC, 0666));
}

unsigned long long tofiletime(const struct timespec& t) {
    if (t.tv_sec < 0) return 0;
    return (static_cast<unsigned long long>(t.tv_sec) + kFiletimeUnixEpochSeconds) *
               kFiletimeTicksPerSecond +
           static_cast<unsigned long long>(t.tv_nsec) / 100;
}

struct timespec totimespec(const unsigned long long* filetime) {
    struct timespec t;
    if (!filetime) {
        t.tv_sec = 0;
        t.tv_nsec = UTIME_OMIT;
        return t;
    }
    unsigned long long seconds = *filetime / kFiletimeTicksPerSecond;
    t.tv_sec = seconds >= kFiletimeUnixEpochSeconds
                   ? static_cast<time_t>(seconds - kFiletimeUnixEpochSeconds)
                   : 0;
    t.tv_nsec = static_cast<long>(*filetime % kFiletimeTicksPerSecond) * 100;
    return t;
}

const char* volumeoverride() {
    const char* value = getenv("ORV_VOLUME");
    return value ? value : "";
}

} // namespace

namespace platform {

File* openread(const char* path) {
    return opennative(path, O_RDONLY);
}

// O_EXCL: anything standing at the path makes the open fail, a link too (dangling or not:
// with O_CREAT it is never followed), so nothing is truncated or written through a link.
File* createwrite(const char* path) {
    return opennative(path, O_WRONLY | O_CREAT | O_EXCL);
}

File* opentimes(const char* path) {
    return opennative(path, O_RDONLY | O_NOFOLLOW);
}

// O_PATH opens files and folders alike without any access to their contents.
File* openentry(const char* path) {
    return opennative(path, O_PATH | O_NOFOLLOW);
}

// The kernel names what a descriptor refers to under /proc/self/fd.
unsigned resolvedpath(File* file, char* out, unsigned size) {
    char link[sizeof "/proc/self/fd/" + 3 * sizeof(int)];
    snprintf(link, sizeof link, "/proc/self/fd/%d", file->fd);
    ssize_t length = readlink(link, out, size);
    if (length <= 0 || static_cast<size_t>(length) >= size) return 0;
    out[length] = 0;
    return static_cast<unsigned>(length);
}

// POSIX deletes by name only, so the name is the one the descriptor resolves to now.
int discardfile(File* file) {
    char path[kResolvedPathBuffer];
    struct stat info;
    bool known = resolvedpath(file, path, sizeof path) != 0 && fstat(file->fd, &info) == 0;
    closefile(file);
    if (!known) return -1;
    return (S_ISDIR(info.st_mode) ? rmdir(path) : unlink(path)) == 0 ? 0 : -1;
}

int readfile(File* file, void* buffer, unsigned n) {
    ssize_t got;
    do got = read(file->fd, buffer, n);
    while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<int>(got);
}

unsigned writefile(File* file, const void* data, unsigned n) {
    const char* p = static_cast<const char*>(data);
    unsigned done = 0;
    while (done < n) {
        ssize_t put = write(file->fd, p + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<unsigned>(put);
    }
    return done;
}

int seekfile(File* file, unsigned long long offset) {
    return lseek(file->fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? -1 : 0;
}

int filesize(File* file, unsigned long long* size) {
    struct stat status;
    if (fstat(file->fd, &status) != 0) return -1;
    *size = static_cast<unsigned long long>(status.st_size);
    return 0;
}

int presizefile(File* file, unsigned length) {
    if (ftruncate(file->fd, static_cast<off_t>(length)) != 0) return -1;
    return seekfile(file, 0);
}

int truncatehere(File* file) {
    off_t here = lseek(file->fd, 0, SEEK_CUR);
    return here >= 0 && ftruncate(file->fd, here) == 0 ? 0 : -1;
}

int setfiletimes(File* file, const unsigned long long*, const unsigned long long* access,
                 const unsigned long long* modification) {
    struct timespec times[2] = {totimespec(access), totimespec(modification)};
    return futimens(file->fd, times) == 0 ? 0 : errno;
}

void closefile(File* file) {
    if (!file) return;
    close(file->fd);
    free(file);
}

int lasterror() {
    return errno;
}

int errorkind(int error) {
    if (error == ENOSPC || error == EDQUOT) return kErrorDiskFull;
    if (error == ENAMETOOLONG) return kErrorNameTooLong;
    return kErrorOther;
}

namespace {

int fillstatus(const char* path, PathStatus* status, bool follow) {
    struct stat st;
    if ((follow ? stat(path, &st) : lstat(path, &st)) != 0) return -1;
    memset(status, 0, sizeof *status);
    status->kind = S_ISLNK(st.st_mode)   ? kPathLink
                   : S_ISDIR(st.st_mode) ? kPathDirectory
                   : S_ISCHR(st.st_mode) ? kPathDevice
                                         : kPathFile;
    status->readonly = (st.st_mode & S_IWUSR) == 0;
    status->size = static_cast<unsigned>(st.st_size);
    status->hastimes = true;
    status->modification = tofiletime(st.st_mtim);
    status->access = tofiletime(st.st_atim);
    return 0;
}

} // namespace

int statpath(const char* path, PathStatus* status) {
    return fillstatus(path, status, true);
}

int linkstatus(const char* path, PathStatus* status) {
    return fillstatus(path, status, false);
}

int makewritable(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return -1;
    return chmod(path, (st.st_mode & 07777) | S_IRUSR | S_IWUSR) == 0 ? 0 : -1;
}

int removefile(const char* path) {
    return unlink(path) == 0 ? 0 : -1;
}

int setattributes(const char* path, unsigned attributes) {
    struct stat st;
    if (stat(path, &st) != 0) return errno;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & 0x01) ? (mode & ~0222u) : (mode | S_IWUSR);
    return chmod(path, mode) == 0 ? 0 : errno;
}

unsigned fullpathname(const char* path, char* out, unsigned size) {
    size_t length = strlen(path);
    if (path[0] == '/') {
        if (length + 1 > size) return 0;
        memcpy(out, path, length + 1);
        return static_cast<unsigned>(length);
    }
    char folder[kCurrentFolder];
    if (!getcwd(folder, sizeof folder)) return 0;
    int written = snprintf(out, size, "%s/%s", folder, path);
    return written > 0 && static_cast<unsigned>(written) < size ? static_cast<unsigned>(written)
                                                                : 0;
}

int volumeproperties(const char*, unsigned* maxcomponent, char* fsname, unsigned size) {
    const char* kind = volumeoverride();
    bool shortnames = strcmp(kind, "8.3") == 0;
    const char* name = shortnames ? "FAT" : strcmp(kind, "fat") == 0 ? "FAT32" : "EXT4";
    *maxcomponent = shortnames ? 12 : 255;
    snprintf(fsname, size, "%s", name);
    return 0;
}

} // namespace platform
