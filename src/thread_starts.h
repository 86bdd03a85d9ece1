// Lets the threads the library starts finish starting before the process
// ends. Under 32-bit Wine a process that ends while one of its threads is
// still being set up dies of SIGSEGV instead of ending with its status. The
// library starts a pool of threads when its environment is created, so a
// short run under load could end that way. Elsewhere, Windows included,
// both calls do nothing.
#ifndef ZVK_THREAD_STARTS_H
#define ZVK_THREAD_STARTS_H

// Notes the process's threads before the library is loaded: those were not
// the library's.
void note_threads_before_library(void);

// Waits, at most a second, until every thread started since the note has
// run its start-up (the program is told, in the thread, once it has).
void wait_for_starting_threads(void);

#endif
