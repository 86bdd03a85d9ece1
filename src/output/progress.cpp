#include "output/progress.h"

#include <stdint.h>
#include <stdio.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

#if defined(_WIN32)
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
double monotonic_seconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}
#endif

void write_progress(const char* label, int done, int total, double elapsed, double estimate) {
    double percent = total <= 0 ? 100.0 : (double)done * 100.0 / (double)total;
    fprintf(stderr, "%s,%d,%d,%.2f,%.3f,%.3f\n", label, done, total, percent, elapsed, estimate);
    fflush(stderr);
}

double remaining_seconds(const double* stamps, int done, int frames, double now, double start) {
    if (stamps != nullptr && done >= 2) {
        int half = done / 2;
        double window = now - stamps[done - half];
        return (double)(frames - done) * window / (double)half;
    }
    return (double)(frames - done) * (now - start) / (double)done;
}
