// The common end of every run that has a clip.
#ifndef ZVK_RUN_END_H
#define ZVK_RUN_END_H

#include <stdio.h>

// The checkpoint log end_run closes; the driver sets it once the log is open.
extern FILE* end_run_log;

// Flushes standard output and standard error, writes "exit: <status>" to the
// log and closes it, then ends the process at once: the clip, the script
// environment and the library are deliberately not released. Under Wine it
// first lets threads still starting finish starting (thread_starts.h). An
// interrupted run says so on standard error and in the log instead, and
// ends the way what interrupted it ends a process.
[[noreturn]] void end_run(int status);

#endif
