// The common end of every run that has a clip, and the few process-level
// settings the driver makes before any work.
#ifndef ZVK_RUN_END_H
#define ZVK_RUN_END_H

#include <stdio.h>

// The checkpoint log end_run closes; the driver sets it once the log is open.
extern FILE* end_run_log;

// Flushes standard output and standard error, writes "exit: <status>" to the
// log and closes it, then ends the process at once: the clip, the script
// environment and the library are deliberately not released.
[[noreturn]] void end_run(int status);

// Puts standard output in binary mode; false when the platform refuses.
bool set_binary_stdout(void);

// Opens the null device on any of descriptors 0 to 2 that a caller left
// closed, so that a file the run opens never takes standard output's place.
void reserve_standard_streams(void);

// A consumer that stops reading must not kill the run: writes just fail.
void ignore_broken_pipe(void);

#endif
