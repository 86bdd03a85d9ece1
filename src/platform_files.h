// Paths are UTF-8 everywhere in the runner. On Windows the C runtime's
// narrow functions read names in the ANSI code page, so files are opened by
// their wide names instead and the arguments are taken as UTF-16.
#ifndef ZVK_PLATFORM_FILES_H
#define ZVK_PLATFORM_FILES_H

#include <stddef.h>
#include <stdio.h>

// fopen by a UTF-8 path.
FILE* open_path(const char* path, const char* mode);

// Cuts an open file back to size bytes: what a write that fell short left
// of a line or a row goes. A descriptor with nothing to cut is left alone.
void cut_file(int fd, long long size);

// Which file a descriptor or a path is, to tell whether two name the same.
// Files on disk have one, and on POSIX so have pipes and sockets (lines
// written into standard output's pipe would mix with what it carries); the
// null device or a terminal is no one's file.
struct file_identity {
    unsigned long long device;
    unsigned long long index_high;
    unsigned long long index_low;
};
bool identity_of_descriptor(int fd, file_identity* id);
bool identity_of_path(const char* path, file_identity* id);
bool same_identity(const file_identity* a, const file_identity* b);

// Opens a path for writing at its end, created when absent (with exclusive,
// only then), never emptied, not inherited by what the run starts. -1 with
// errno set.
int open_for_appending(const char* path, bool exclusive);

// Locks the open file against another run's lock; false only when another
// holds it (a file system without locks is written as before). Readers
// are not kept out.
bool lock_against_other_runs(int fd);

// Writes some of the bytes: how many, or -1 with errno set.
long write_some(int fd, const char* bytes, size_t size);

// The size of a file on disk; -1 for anything else.
long long size_of_descriptor(int fd);

// Closes a descriptor; false when the close says bytes were lost.
bool close_descriptor(int fd);

// Removes a file by name.
void remove_path(const char* path);

// Whether the path names a directory.
bool is_directory(const char* path);

// A buffered stream over an open descriptor, which it then owns.
FILE* stream_of_descriptor(int fd);

#if defined(_WIN32)
#include <wchar.h>

// The path as UTF-16, in memory the caller frees; null when it is no UTF-8.
wchar_t* wide_path(const char* path);

// The program's arguments as UTF-8, kept for the whole run; null without
// memory.
char** utf8_arguments(int argc, wchar_t** wide_argv);
#endif

#endif
