#include "process_setup.h"

#include <atomic>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#endif

// Written by a signal handler or the console's handler thread, read by the
// thread that renders.
static std::atomic<int> interruption(0);

bool set_binary_stdout(void) {
#if defined(_WIN32)
    if (_setmode(_fileno(stdout), _O_BINARY) == -1) return false;
    // The C runtime's 4 KiB buffer would cut a frame into many small writes.
    setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    return true;
#else
    return true;  // no text mode to leave
#endif
}

int run_interruption(void) { return interruption.load(); }

bool stderr_takes_rewrites(void) {
#if defined(_WIN32)
    if (!_isatty(_fileno(stderr))) return false;
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) return false;
    // ENABLE_VIRTUAL_TERMINAL_PROCESSING, absent from older headers.
    return SetConsoleMode(console, mode | 0x0004) != 0;
#else
    const char* term = getenv("TERM");
    return isatty(2) && (term == nullptr || strcmp(term, "dumb") != 0);
#endif
}

#if defined(_WIN32)

void reserve_standard_streams(void) {}

void ignore_write_signals(void) {}

// STATUS_CONTROL_C_EXIT: what a console program ended by Ctrl-C exits with.
static const UINT interrupted_status = 0xC000013Au;

static BOOL WINAPI on_console_event(DWORD event) {
    int expected = 0;
    if (!interruption.compare_exchange_strong(expected, (int)event + 1)) ExitProcess(interrupted_status);
    // After a close, logoff or shutdown event the system ends the process as
    // soon as this returns: wait for the run to end it instead.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

void watch_for_interruption(void) { SetConsoleCtrlHandler(on_console_event, TRUE); }

const char* interruption_name(int value) {
    switch (value - 1) {
    case CTRL_C_EVENT: return "Ctrl-C";
    case CTRL_BREAK_EVENT: return "Ctrl-Break";
    case CTRL_CLOSE_EVENT: return "console close";
    case CTRL_LOGOFF_EVENT: return "logoff";
    case CTRL_SHUTDOWN_EVENT: return "shutdown";
    default: return "console event";
    }
}

void end_by_interruption(int) { ExitProcess(interrupted_status); }

#else

void reserve_standard_streams(void) {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor is the closed one.
            if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) == -1) break;
        }
    }
}

void ignore_write_signals(void) {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

static void on_stop_signal(int signo) {
    int expected = 0;
    if (!interruption.compare_exchange_strong(expected, signo)) {
        // The second request: the default action, delivered on return.
        signal(signo, SIG_DFL);
        raise(signo);
    }
}

void watch_for_interruption(void) {
    struct sigaction action = {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    // Writes in progress complete, so a frame being written goes out whole.
    action.sa_flags = SA_RESTART;
    static const int stops[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signo : stops) {
        // A signal the caller ignores (nohup, a background job) stays ignored.
        struct sigaction old;
        if (sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(signo, &action, nullptr);
    }
}

const char* interruption_name(int signo) {
    switch (signo) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

void end_by_interruption(int signo) {
    signal(signo, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signo);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signo);
    _exit(128 + signo);  // only if the signal could not end the process
}

#endif
