#include "platform_files.h"

#include <errno.h>
#include <stdlib.h>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

void cut_file(int fd, long long size) { _chsize_s(fd, size); }

wchar_t* wide_path(const char* path) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0) return nullptr;
    wchar_t* wide = (wchar_t*)malloc(sizeof(wchar_t) * (size_t)length);
    if (wide != nullptr) MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, length);
    return wide;
}

FILE* open_path(const char* path, const char* mode) {
    wchar_t* wide = wide_path(path);
    wchar_t* wide_mode = wide_path(mode);
    FILE* file = wide != nullptr && wide_mode != nullptr ? _wfopen(wide, wide_mode) : nullptr;
    free(wide);
    free(wide_mode);
    return file;
}

char** utf8_arguments(int argc, wchar_t** wide_argv) {
    char** argv = (char**)calloc((size_t)argc + 1, sizeof(char*));
    if (argv == nullptr) return nullptr;
    for (int i = 0; i < argc; i++) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide_argv[i], -1, nullptr, 0, nullptr, nullptr);
        argv[i] = size > 0 ? (char*)malloc((size_t)size) : nullptr;
        if (argv[i] == nullptr) return nullptr;
        WideCharToMultiByte(CP_UTF8, 0, wide_argv[i], -1, argv[i], size, nullptr, nullptr);
    }
    return argv;
}

static bool identity_of_handle(HANDLE h, file_identity* id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || h == nullptr || GetFileType(h) != FILE_TYPE_DISK) return false;
    if (!GetFileInformationByHandle(h, &info)) return false;
    *id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

bool identity_of_descriptor(int fd, file_identity* id) {
    return fd >= 0 && identity_of_handle((HANDLE)_get_osfhandle(fd), id);
}

bool identity_of_path(const char* path, file_identity* id) {
    wchar_t* wide = wide_path(path);
    if (wide == nullptr) return false;
    HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    free(wide);
    bool known = identity_of_handle(h, id);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return known;
}

int open_for_appending(const char* path, bool exclusive) {
    int flags = _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT | (exclusive ? _O_EXCL : 0);
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

// Windows locks keep others from the bytes they cover: the lock takes the
// last byte a file can have, which holds no data, so only another lock
// meets it.
bool lock_against_other_runs(int fd) {
    OVERLAPPED last = {};
    last.Offset = MAXDWORD - 1;
    last.OffsetHigh = 0x7FFFFFFF;
    if (LockFileEx((HANDLE)_get_osfhandle(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &last))
        return true;
    return GetLastError() != ERROR_LOCK_VIOLATION;
}

long write_some(int fd, const char* bytes, size_t size) {
    return _write(fd, bytes, size > 0x40000000u ? 0x40000000u : (unsigned)size);
}

long long size_of_descriptor(int fd) {
    file_identity id;
    return identity_of_descriptor(fd, &id) ? _filelengthi64(fd) : -1;
}

bool close_descriptor(int fd) { return _close(fd) == 0; }

void remove_path(const char* path) {
    wchar_t* wide = wide_path(path);
    if (wide != nullptr) _wunlink(wide);
    free(wide);
}

FILE* stream_of_descriptor(int fd) { return _fdopen(fd, "ab"); }

bool is_directory(const char* path) {
    wchar_t* wide = wide_path(path);
    DWORD attributes = wide != nullptr ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
    free(wide);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

#else

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

FILE* open_path(const char* path, const char* mode) { return fopen(path, mode); }

void cut_file(int fd, long long size) {
    if (ftruncate(fd, (off_t)size) != 0) {
        // A device or a pipe has nothing to cut.
    }
}

static bool identity_of_stat(const struct stat* st, file_identity* id) {
    if (!S_ISREG(st->st_mode) && !S_ISFIFO(st->st_mode) && !S_ISSOCK(st->st_mode)) return false;
    *id = {(unsigned long long)st->st_dev, 0, (unsigned long long)st->st_ino};
    return true;
}

bool identity_of_descriptor(int fd, file_identity* id) {
    struct stat st;
    return fstat(fd, &st) == 0 && identity_of_stat(&st, id);
}

bool identity_of_path(const char* path, file_identity* id) {
    struct stat st;
    return stat(path, &st) == 0 && identity_of_stat(&st, id);
}

int open_for_appending(const char* path, bool exclusive) {
    return open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (exclusive ? O_EXCL : 0), 0666);
}

bool lock_against_other_runs(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

long write_some(int fd, const char* bytes, size_t size) { return (long)write(fd, bytes, size); }

long long size_of_descriptor(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? (long long)st.st_size : -1;
}

bool close_descriptor(int fd) { return close(fd) == 0; }

void remove_path(const char* path) { unlink(path); }

FILE* stream_of_descriptor(int fd) { return fdopen(fd, "ab"); }

bool is_directory(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

#endif

bool same_identity(const file_identity* a, const file_identity* b) {
    return a->device == b->device && a->index_high == b->index_high && a->index_low == b->index_low;
}
