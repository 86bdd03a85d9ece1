// What the process has used so far, as the platform tells it: resident
// memory, CPU time and threads (Linux: /proc and getrusage; Windows:
// GetProcessMemoryInfo, GetProcessTimes and a thread snapshot).
#ifndef ZVK_PLATFORM_USAGE_H
#define ZVK_PLATFORM_USAGE_H

#include <stdint.h>

struct process_usage {
    int64_t resident_bytes;       // now; -1 when unknown
    int64_t peak_resident_bytes;  // the most so far; -1 when unknown
    double user_seconds;
    double system_seconds;
    int threads;  // now; 0 when unknown or not counted
};

// Counting threads can cost far more than the rest (a snapshot of every
// thread on Windows, some 13 ms under Wine): only when asked.
process_usage measure_process_usage(bool count_threads);

#endif
