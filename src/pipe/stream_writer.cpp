#include "pipe/stream_writer.h"

#include "clock.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#endif

// Chunks handed over and written so far; chunk n waits in queue[n % depth].
// Guarded by the lock, as is quitting.
static stream_chunk queue[STREAM_WRITER_DEPTH];
static unsigned long handed = 0;
static unsigned long written = 0;
static bool quitting = false;
static bool started = false;
static bool threaded = false;
static void (*on_written)(void*) = nullptr;
static void* written_context = nullptr;
// Recent seconds a chunk takes to fetch and to write (moving averages); the
// writing one is guarded by the lock.
static double fetch_time = 0.0;
static double write_time = 0.0;
static const double smoothing = 0.2;

static void note_time(double* average, double seconds) { *average += (seconds - *average) * smoothing; }

// Writes a chunk, says it is out, and returns the seconds the write took.
static double write_and_tell(const stream_chunk* chunk) {
    if (chunk->before != nullptr) chunk->before(chunk->context);
    double start = monotonic_seconds();
    write_stream_chunk(chunk);
    double seconds = monotonic_seconds() - start;
    if (on_written != nullptr) on_written(written_context);
    return seconds;
}

#if defined(_WIN32)

static CRITICAL_SECTION guard;
static CONDITION_VARIABLE changed;
static HANDLE thread;

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
    thread = CreateThread(nullptr, 0, writer_main, nullptr, 0, nullptr);
    return thread != nullptr;
}

static void join_thread(void) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

#else

static pthread_mutex_t guard = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
static pthread_t thread;

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
    bool created = pthread_create(&thread, nullptr, writer_main, nullptr) == 0;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return created;
}

static void join_thread(void) { pthread_join(thread, nullptr); }

#endif

static void writer_loop(void) {
    lock();
    for (;;) {
        while (written == handed && !quitting) wait_for_change();
        if (written == handed) break;
        // The slot stays as it is until written counts it.
        const stream_chunk* chunk = &queue[written % STREAM_WRITER_DEPTH];
        unlock();
        double seconds = write_and_tell(chunk);
        lock();
        note_time(&write_time, seconds);
        written++;
        announce_change();
    }
    unlock();
}

void stream_writer_begin(void (*written_step)(void*), void* context) {
    on_written = written_step;
    written_context = context;
}

void stream_writer_hand(const stream_chunk* chunk, double fetch_seconds) {
    if (!started) {
        started = true;
        quitting = false;
        threaded = start_thread();
    }
    if (!threaded) {
        write_and_tell(chunk);
        return;
    }
    note_time(&fetch_time, fetch_seconds);
    lock();
    if (fetch_time < write_time / 10) {
        // Written here, once the writer has written what it holds.
        while (written != handed) wait_for_change();
        unlock();
        double seconds = write_and_tell(chunk);
        lock();
        note_time(&write_time, seconds);
        handed++;
        written++;
        unlock();
        return;
    }
    // A free slot: the caller waits for one before handing.
    queue[handed % STREAM_WRITER_DEPTH] = *chunk;
    handed++;
    announce_change();
    unlock();
}

void stream_writer_wait(int unwritten) {
    if (!threaded) return;
    lock();
    while (handed - written > (unsigned long)unwritten) wait_for_change();
    unlock();
}

void stream_writer_end(void) {
    if (!threaded) {
        started = false;
        return;
    }
    lock();
    quitting = true;
    announce_change();
    unlock();
    join_thread();
    threaded = false;
    started = false;
}
