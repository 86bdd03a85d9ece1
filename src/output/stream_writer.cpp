#include "output/stream_writer.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#endif

// The chunk in the writer's hands, and whether it is still being written;
// both guarded by the lock.
static stream_chunk handed;
static bool busy = false;
static bool started = false;
static bool threaded = false;

#if defined(_WIN32)

static CRITICAL_SECTION guard;
static CONDITION_VARIABLE changed;

static void lock(void) { EnterCriticalSection(&guard); }
static void unlock(void) { LeaveCriticalSection(&guard); }
static void wait_for_change(void) { SleepConditionVariableCS(&changed, &guard, INFINITE); }
static void announce_change(void) { WakeAllConditionVariable(&changed); }

static void writer_loop(void);
static DWORD WINAPI writer_main(LPVOID) {
    writer_loop();
    return 0;
}

static bool start_thread(void) {
    InitializeCriticalSection(&guard);
    InitializeConditionVariable(&changed);
    HANDLE thread = CreateThread(nullptr, 0, writer_main, nullptr, 0, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
}

#else

static pthread_mutex_t guard = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t changed = PTHREAD_COND_INITIALIZER;

static void lock(void) { pthread_mutex_lock(&guard); }
static void unlock(void) { pthread_mutex_unlock(&guard); }
static void wait_for_change(void) { pthread_cond_wait(&changed, &guard); }
static void announce_change(void) { pthread_cond_broadcast(&changed); }

static void writer_loop(void);
static void* writer_main(void*) {
    writer_loop();
    return nullptr;
}

static bool start_thread(void) {
    // Stop signals are taken by the thread that renders, which decides
    // where the run stops.
    sigset_t stops, old;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stops, &old);
    pthread_t thread;
    bool created = pthread_create(&thread, nullptr, writer_main, nullptr) == 0;
    if (created) pthread_detach(thread);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return created;
}

#endif

static void writer_loop(void) {
    lock();
    for (;;) {
        while (!busy) wait_for_change();
        unlock();
        write_stream_chunk(&handed);
        lock();
        busy = false;
        announce_change();
    }
}

void stream_writer_start(void) {
    if (started) return;
    started = true;
    threaded = start_thread();
}

void stream_writer_hand(const stream_chunk* chunk) {
    if (!threaded) {
        write_stream_chunk(chunk);
        return;
    }
    // The writer is idle: it reads handed only while busy.
    handed = *chunk;
    lock();
    busy = true;
    announce_change();
    unlock();
}

void stream_writer_wait(void) {
    if (!threaded) return;
    lock();
    while (busy) wait_for_change();
    unlock();
}
