#include "platform_usage.h"

#include <stdio.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
// After windows.h: the K32 names that kernel32 exports itself.
#include <psapi.h>
#include <tlhelp32.h>

static double filetime_seconds(FILETIME t) {
    return (double)(((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime) / 1e7;
}

static int thread_count(void) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    DWORD self = GetCurrentProcessId();
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == self) count++;
    CloseHandle(snapshot);
    return count;
}

process_usage measure_process_usage(bool count_threads) {
    process_usage u = {-1, -1, 0.0, 0.0, 0};
    PROCESS_MEMORY_COUNTERS memory;
    memory.cb = sizeof memory;
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
        u.resident_bytes = (int64_t)memory.WorkingSetSize;
        u.peak_resident_bytes = (int64_t)memory.PeakWorkingSetSize;
    }
    FILETIME created, ended, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) {
        u.user_seconds = filetime_seconds(user);
        u.system_seconds = filetime_seconds(kernel);
    }
    if (count_threads) u.threads = thread_count();
    return u;
}

#else
#include <sys/resource.h>

// VmRSS and Threads of /proc/self/status (Linux); elsewhere unknown.
static void read_proc_status(process_usage* u) {
    FILE* status = fopen("/proc/self/status", "rb");
    if (status == nullptr) return;
    char line[256];
    while (fgets(line, sizeof line, status) != nullptr) {
        long long value = 0;
        if (sscanf(line, "VmRSS: %lld kB", &value) == 1) u->resident_bytes = value * 1024;
        if (sscanf(line, "Threads: %lld", &value) == 1) u->threads = (int)value;
    }
    fclose(status);
}

// One read of /proc gives both: the threads cost nothing more here.
process_usage measure_process_usage(bool) {
    process_usage u = {-1, -1, 0.0, 0.0, 0};
    read_proc_status(&u);
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) == 0) {
        u.user_seconds = (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec / 1e6;
        u.system_seconds = (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec / 1e6;
#if defined(__APPLE__)
        u.peak_resident_bytes = (int64_t)usage.ru_maxrss;  // bytes there
#else
        u.peak_resident_bytes = (int64_t)usage.ru_maxrss * 1024;
#endif
    }
    return u;
}
#endif
