#include "platform_files.h"

#if defined(_WIN32)
#include <io.h>
#include <stdlib.h>
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

#else

#include <sys/types.h>
#include <unistd.h>

FILE* open_path(const char* path, const char* mode) { return fopen(path, mode); }

void cut_file(int fd, long long size) {
    if (ftruncate(fd, (off_t)size) != 0) {
        // A device or a pipe has nothing to cut.
    }
}

#endif
