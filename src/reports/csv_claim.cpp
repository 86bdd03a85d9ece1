#include "reports/csv_claim.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform_files.h"

static const char* claimed_path = nullptr;
static int claimed = -1;
static int claim_error = 0;
static bool created = false;
static bool taken = false;
// Bytes of the whole texts written so far: where a text that fell short is
// cut back to, so the file ends on a whole row.
static long long whole_bytes = 0;

#if defined(_WIN32)

struct file_identity {
    DWORD volume;
    DWORD high;
    DWORD low;
};

// Only files on disk are compared: the null device or a console is no one's.
static bool identity_of(HANDLE h, file_identity* id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || h == nullptr || GetFileType(h) != FILE_TYPE_DISK) return false;
    if (!GetFileInformationByHandle(h, &info)) return false;
    *id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

static bool same_identity(const file_identity* a, const file_identity* b) {
    return a->volume == b->volume && a->high == b->high && a->low == b->low;
}

static bool is_path_of(const file_identity* csv, const char* path) {
    wchar_t* wide = wide_path(path);
    if (wide == nullptr) return false;
    HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    free(wide);
    file_identity id;
    bool same = identity_of(h, &id) && same_identity(csv, &id);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return same;
}

static bool is_stream_of(const file_identity* csv, DWORD which) {
    file_identity id;
    return identity_of(GetStdHandle(which), &id) && same_identity(csv, &id);
}

static const char* collision(int fd, const char* script_path) {
    file_identity csv;
    if (!identity_of((HANDLE)_get_osfhandle(fd), &csv)) return nullptr;
    if (is_path_of(&csv, script_path)) return "would overwrite the script";
    if (is_stream_of(&csv, STD_OUTPUT_HANDLE)) return "is the file standard output goes to";
    if (is_stream_of(&csv, STD_ERROR_HANDLE)) return "is the file standard error goes to";
    return nullptr;
}

static int open_csv(const char* path, bool exclusive) {
    int flags = _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT | (exclusive ? _O_EXCL : 0);
    wchar_t* wide = wide_path(path);
    if (wide == nullptr) {
        errno = EINVAL;
        return -1;
    }
    int fd = _wopen(wide, flags, _S_IREAD | _S_IWRITE);
    int error = errno;
    free(wide);
    errno = error;
    return fd;
}

// False only when another holds the lock.
static bool lock_csv(int fd) {
    OVERLAPPED whole = {};
    if (LockFileEx((HANDLE)_get_osfhandle(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                   MAXDWORD, MAXDWORD, &whole))
        return true;
    return GetLastError() != ERROR_LOCK_VIOLATION;
}

static int close_csv(int fd) { return _close(fd); }
static void remove_csv(const char* path) {
    wchar_t* wide = wide_path(path);
    if (wide != nullptr) _wunlink(wide);
    free(wide);
}
static int write_some(int fd, const char* bytes, unsigned long size) {
    return _write(fd, bytes, size > 0x40000000ul ? 0x40000000u : (unsigned)size);
}

// An open file on Windows can be neither deleted nor replaced unless it
// allows it, and this one does not.
bool validation_csv_still_at_path(void) { return true; }

#else

static bool same_file(const struct stat* a, const struct stat* b) {
    return a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

static bool is_stream_of(const struct stat* csv, int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && same_file(csv, &st);
}

static const char* collision(int fd, const char* script_path) {
    struct stat csv, script;
    // Only regular files are compared: /dev/null is no one's.
    if (fstat(fd, &csv) != 0 || !S_ISREG(csv.st_mode)) return nullptr;
    if (stat(script_path, &script) == 0 && same_file(&csv, &script)) return "would overwrite the script";
    if (is_stream_of(&csv, STDOUT_FILENO)) return "is the file standard output goes to";
    if (is_stream_of(&csv, STDERR_FILENO)) return "is the file standard error goes to";
    return nullptr;
}

static int open_csv(const char* path, bool exclusive) {
    return open(path, O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : 0), 0666);
}

// False only when another holds the lock: a file system without locks
// (some network ones) is written as before.
static bool lock_csv(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

static int close_csv(int fd) { return close(fd); }
static void remove_csv(const char* path) { unlink(path); }
static long write_some(int fd, const char* bytes, unsigned long size) { return (long)write(fd, bytes, size); }

bool validation_csv_still_at_path(void) {
    struct stat open_file, at_path;
    if (claimed < 0 || fstat(claimed, &open_file) != 0) return true;
    return stat(claimed_path, &at_path) == 0 && same_file(&open_file, &at_path);
}

#endif

int claim_validation_csv(const char* csv_path, const char* script_path) {
    claimed_path = csv_path;
    // Created here, or opened as it is: emptied only once the report starts.
    int fd = open_csv(csv_path, true);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = open_csv(csv_path, false);
    if (fd < 0) {
        claim_error = errno;
        return 0;
    }
    const char* clash = collision(fd, script_path);
    if (clash == nullptr && !lock_csv(fd)) clash = "is being written by another run";
    if (clash != nullptr) {
        close_csv(fd);
        if (created) remove_csv(csv_path);
        fprintf(stderr, "validation CSV %s: %s\n", clash, csv_path);
        return 2;
    }
    claimed = fd;
    return 0;
}

int take_validation_csv(const char* csv_path) {
    if (claimed_path == nullptr) {
        claimed_path = csv_path;
        claimed = open_csv(csv_path, false);
        if (claimed < 0) claim_error = errno;
    }
    if (claimed < 0) {
        errno = claim_error;
        return -1;
    }
    cut_file(claimed, 0);
    whole_bytes = 0;
    taken = true;
    return claimed;
}

bool close_validation_csv(void) {
    bool closed = claimed < 0 || close_csv(claimed) == 0;
    claimed = -1;
    claimed_path = nullptr;
    claim_error = 0;
    created = false;
    taken = false;
    return closed;
}

bool write_validation_csv(int fd, const char* bytes, unsigned long size) {
    unsigned long whole = size;
    while (size > 0) {
        long written = write_some(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            cut_file(fd, whole_bytes);
            return false;
        }
        bytes += written;
        size -= (unsigned long)written;
    }
    whole_bytes += (long long)whole;
    return true;
}

void drop_unused_validation_csv(void) {
    if (claimed < 0 || taken) return;
    const char* path = claimed_path;
    bool remove = created;
    close_validation_csv();
    if (remove) remove_csv(path);
}
