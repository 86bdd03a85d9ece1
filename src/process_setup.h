// What the process settles before any work: standard output's mode, the
// standard descriptors, the signals a write can raise, and how a request to
// stop (Ctrl-C, a kill, a closed terminal) is taken.
#ifndef ZVK_PROCESS_SETUP_H
#define ZVK_PROCESS_SETUP_H

#include <stdio.h>

// The stream forms (and --info): standard output's descriptor becomes the
// output's own, in binary mode for a stream, and descriptor 1 (on Windows
// also the process's standard output handle) turns into standard error, so
// that a plugin's or the library's prints cannot land among the output's
// bytes. Returns the output's file (standard output itself where no
// descriptor is to be had), or null when the platform refuses binary mode.
FILE* take_stdout_for_stream(bool binary);

// Whether standard error is a terminal that takes a line rewritten in place
// (a carriage return and the escapes to move up and clear a line): not a
// file or pipe, not a dumb terminal, and on Windows a console that accepts
// escapes once asked to.
bool stderr_takes_rewrites(void);

// The width of the terminal standard error shows, measured now (it may
// have been resized); 0 when it is not known.
int stderr_columns(void);

// Opens the null device on any of descriptors 0 to 2 that a caller left
// closed, so that a file the run opens never takes standard output's place.
void reserve_standard_streams(void);

// A consumer that stops reading, or a file-size limit, must not kill the
// run: the write fails instead (EPIPE, EFBIG) and the writer decides.
void ignore_write_signals(void);

// From here on, SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break
// and the console closing) only mark the run as interrupted; the writers stop
// at the next frame or audio step. A second one ends the process at once:
// the library may be inside a long frame.
void watch_for_interruption(void);

// 0 while the run goes on; otherwise what interrupted it.
int run_interruption(void);

// "SIGTERM", "Ctrl-C", ...: the name of what interrupted the run.
const char* interruption_name(int interruption);

// Ends the process the conventional way for what interrupted it: on POSIX
// the same signal with its default action, so the parent sees a signalled
// child; on Windows the status of a console program ended by Ctrl-C.
[[noreturn]] void end_by_interruption(int interruption);

// Ends the process with status at once, without the library's teardown:
// _exit, or on Windows ExitProcess once the threads still starting have
// started (thread_starts.h).
[[noreturn]] void end_process(int status);

#endif
