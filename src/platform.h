// What differs between the platforms the runner is built for: the name of
// the AviSynth+ library file as the user knows it, how the runner
// describes itself in the checkpoint log, and whether the library reads a
// script's name in the ANSI code page unless told it is UTF-8 (Windows).
#ifndef ZVK_PLATFORM_H
#define ZVK_PLATFORM_H

#include <stdint.h>

#if defined(_WIN32)
#define AVS_LIBRARY_FILE  "AviSynth.dll"
#define RUNNER_PLATFORM   "windows"
#define IMPORT_NAMES_ANSI 1
#elif defined(__APPLE__)
#define AVS_LIBRARY_FILE  "libavisynth.dylib"
#define RUNNER_PLATFORM   "macos"
#define IMPORT_NAMES_ANSI 0
#else
#define AVS_LIBRARY_FILE  "libavisynth.so"
#define RUNNER_PLATFORM   "linux"
#define IMPORT_NAMES_ANSI 0
#endif

#if UINTPTR_MAX > 0xFFFFFFFFu
#define RUNNER_WIDTH "64-bit"
#else
#define RUNNER_WIDTH "32-bit"
#endif

#endif
