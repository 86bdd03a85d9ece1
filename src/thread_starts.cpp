#include "thread_starts.h"

#if defined(_WIN32)

#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

enum { most_threads = 256 };

// Only Wine needs the wait. Windows ends a thread that is starting as any
// other, and some of its own threads (the loader's) never report a start.
static bool under_wine(void) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Threads that were there before the library.
static LONG before[most_threads];
static int before_count = 0;
// Threads that reported their start.
static volatile LONG started[most_threads];
static volatile LONG started_count = 0;

// Called by the system in each new thread once it is set up, before the
// thread's own function runs.
static void NTAPI on_thread_event(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_THREAD_ATTACH) return;
    LONG at = InterlockedIncrement(&started_count) - 1;
    if (at < most_threads) InterlockedExchange(&started[at], (LONG)GetCurrentThreadId());
}

// The program's TLS callback: the C runtime's TLS directory lists every
// pointer in these sections.
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK zvk_thread_event =
    on_thread_event;

static bool listed(const volatile LONG* list, int count, DWORD id) {
    for (int i = 0; i < count; i++)
        if ((DWORD)list[i] == id) return true;
    return false;
}

// Calls visit for each thread of this process but the caller; false when
// the system gives no list.
static bool each_other_thread(void (*visit)(DWORD id)) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    DWORD process = GetCurrentProcessId(), self = GetCurrentThreadId();
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == process && entry.th32ThreadID != self) visit(entry.th32ThreadID);
    CloseHandle(snapshot);
    return true;
}

void note_threads_before_library(void) {
    if (!under_wine()) return;
    each_other_thread([](DWORD id) {
        if (before_count < most_threads) before[before_count++] = (LONG)id;
    });
}

// What the look at every thread found: one neither there before the
// library nor started yet.
static int starting_count = 0;
static bool starting = false;

static void note_if_starting(DWORD id) {
    if (!listed(before, before_count, id) && !listed(started, starting_count, id)) starting = true;
}

void wait_for_starting_threads(void) {
    if (!under_wine()) return;
    ULONGLONG give_up = GetTickCount64() + 1000;
    while (GetTickCount64() < give_up) {
        starting_count = started_count < most_threads ? (int)started_count : most_threads;
        starting = false;
        bool looked = each_other_thread(note_if_starting);
        if (!looked || !starting) return;
        Sleep(1);
    }
}

#else

void note_threads_before_library(void) {}
void wait_for_starting_threads(void) {}

#endif
