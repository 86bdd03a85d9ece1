#include "platform_threads.h"

#if defined(_WIN32)
#include <windows.h>

static CRITICAL_SECTION guard;
static CONDITION_VARIABLE changed;
static HANDLE thread;
static void (*thread_run)(void);

void lock_shared(void) { EnterCriticalSection(&guard); }
void unlock_shared(void) { LeaveCriticalSection(&guard); }
void wait_for_change(void) { SleepConditionVariableCS(&changed, &guard, INFINITE); }
void announce_change(void) { WakeAllConditionVariable(&changed); }

static DWORD WINAPI thread_main(LPVOID) {
    thread_run();
    return 0;
}

// Windows delivers the console's stop events on a thread of its own.
bool start_thread(void (*run)(void)) {
    InitializeCriticalSection(&guard);
    InitializeConditionVariable(&changed);
    thread_run = run;
    thread = CreateThread(nullptr, 0, thread_main, nullptr, 0, nullptr);
    return thread != nullptr;
}

void join_thread(void) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

#else
#include <pthread.h>
#include <signal.h>

static pthread_mutex_t guard = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
static pthread_t thread;
static void (*thread_run)(void);

void lock_shared(void) { pthread_mutex_lock(&guard); }
void unlock_shared(void) { pthread_mutex_unlock(&guard); }
void wait_for_change(void) { pthread_cond_wait(&changed, &guard); }
void announce_change(void) { pthread_cond_broadcast(&changed); }

static void* thread_main(void*) {
    thread_run();
    return nullptr;
}

bool start_thread(void (*run)(void)) {
    sigset_t stops, old;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stops, &old);
    thread_run = run;
    bool created = pthread_create(&thread, nullptr, thread_main, nullptr) == 0;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return created;
}

void join_thread(void) { pthread_join(thread, nullptr); }

#endif
