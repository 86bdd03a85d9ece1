#include "clock.h"

#include <stdint.h>

#if defined(_WIN32)
#include <windows.h>

// Counts per second, asked for until the system gives a non-zero answer.
static int64_t frequency = 0;

double monotonic_seconds(void) {
    if (frequency == 0) {
        LARGE_INTEGER f;
        f.QuadPart = 0;
        QueryPerformanceFrequency(&f);
        frequency = f.QuadPart;
    }
    LARGE_INTEGER count;
    count.QuadPart = 0;
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart / (double)frequency;
}

#else
#include <time.h>

double monotonic_seconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

#endif
