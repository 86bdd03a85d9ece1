// Opening the AviSynth+ library and finding its functions: dlopen and
// dlsym on POSIX, LoadLibrary and GetProcAddress on Windows.
#ifndef ZVK_PLATFORM_LIBRARY_H
#define ZVK_PLATFORM_LIBRARY_H

#include <stddef.h>

// What goes between a folder and a file name.
extern const char library_path_separator;

// Opens the named file, or with path null searches for the library as the
// platform's loader does. Null when nothing loaded, with what the loader
// answered in problem where the platform says.
void* open_library(const char* path, char* problem, size_t problem_size);

// Says in problem which file lacks name, where the platform can tell.
void describe_missing_name(void* handle, const char* name, char* problem, size_t problem_size);

void* find_symbol(void* handle, const char* name);
void close_library(void* handle);

// The loaded file's path in UTF-8 and its length; 0 with path empty when
// the system does not say, or it does not fit in size bytes.
int loaded_library_path(void* handle, char* path, int size);

#endif
