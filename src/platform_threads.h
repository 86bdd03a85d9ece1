// The one thread the runner starts (the stream's writer), and the lock and
// condition it shares with the thread that renders: POSIX threads, or
// Windows's own.
#ifndef ZVK_PLATFORM_THREADS_H
#define ZVK_PLATFORM_THREADS_H

// Starts run on a thread of its own, with the stop signals blocked in it:
// the thread that renders takes them and decides where the run stops.
// False when the system refuses.
bool start_thread(void (*run)(void));
void join_thread(void);

void lock_shared(void);
void unlock_shared(void);
// Unlocks, waits for an announce_change, and locks again.
void wait_for_change(void);
void announce_change(void);

#endif
