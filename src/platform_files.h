// Paths are UTF-8 everywhere in the runner. On Windows the C runtime's
// narrow functions read names in the ANSI code page, so files are opened by
// their wide names instead and the arguments are taken as UTF-16.
#ifndef ZVK_PLATFORM_FILES_H
#define ZVK_PLATFORM_FILES_H

#include <stdio.h>

// fopen by a UTF-8 path.
FILE* open_path(const char* path, const char* mode);

// Cuts an open file back to size bytes: what a write that fell short left
// of a line or a row goes. A descriptor with nothing to cut is left alone.
void cut_file(int fd, long long size);

#if defined(_WIN32)
#include <wchar.h>

// The path as UTF-16, in memory the caller frees; null when it is no UTF-8.
wchar_t* wide_path(const char* path);

// The program's arguments as UTF-8, kept for the whole run; null without
// memory.
char** utf8_arguments(int argc, wchar_t** wide_argv);
#endif

#endif
