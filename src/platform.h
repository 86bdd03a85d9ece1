// What differs between the platforms the runner is built for: the name of
// the AviSynth+ library file as the user knows it, and how the runner
// describes itself in the checkpoint log.
#ifndef ZVK_PLATFORM_H
#define ZVK_PLATFORM_H

#include <stdint.h>

#if defined(_WIN32)
#define AVS_LIBRARY_FILE "AviSynth.dll"
#define RUNNER_PLATFORM  "windows"
#elif defined(__APPLE__)
#define AVS_LIBRARY_FILE "libavisynth.dylib"
#define RUNNER_PLATFORM  "macos"
#else
#define AVS_LIBRARY_FILE "libavisynth.so"
#define RUNNER_PLATFORM  "linux"
#endif

#if UINTPTR_MAX > 0xFFFFFFFFu
#define RUNNER_WIDTH "64-bit"
#else
#define RUNNER_WIDTH "32-bit"
#endif

#endif
