#include "process_setup.h"

#include <atomic>

#include "thread_starts.h"

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
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>
#endif

// Written by a signal handler or the console's handler thread, read by the
// thread that renders.
static std::atomic<int> interruption(0);

#if defined(_WIN32)

FILE* take_stdout_for_stream(bool binary) {
    int kept = _dup(_fileno(stdout));
    FILE* stream = kept >= 0 ? _fdopen(kept, binary ? "wb" : "w") : nullptr;
    if (stream == nullptr) {
        if (kept >= 0) _close(kept);
        stream = stdout;
    }
    if (binary && _setmode(_fileno(stream), _O_BINARY) == -1) return nullptr;
    // The C runtime's 4 KiB buffer would cut a frame into many small writes.
    setvbuf(stream, nullptr, _IOFBF, 1 << 16);
    if (stream != stdout && _dup2(_fileno(stderr), _fileno(stdout)) == 0)
        SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
    return stream;
}

#else

FILE* take_stdout_for_stream(bool) {
    // Above the standard three, and not inherited by what the library starts.
    int kept = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    FILE* stream = kept >= 0 ? fdopen(kept, "wb") : nullptr;
    if (stream == nullptr) {
        if (kept >= 0) close(kept);
        return stdout;
    }
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return stream;
}

#endif

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

int stderr_columns(void) {
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
#else
    struct winsize size;
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
#endif
}

static long long stop_clock_ms(void);

// When the first stop request came, on a monotonic clock.
static std::atomic<long long> first_stop_ms(0);
// The same request again within this time is the same request: GNU timeout
// and a kill of the process group deliver it twice at once.
static const long long repeat_window_ms = 1000;

// Whether a request stops the run at the next unit (the first, and its
// repeats) rather than ending the process at once (a second request).
static bool is_first_stop(int value) {
    long long now = stop_clock_ms();
    int expected = 0;
    if (interruption.compare_exchange_strong(expected, value)) {
        first_stop_ms.store(now);
        return true;
    }
    return expected == value && now - first_stop_ms.load() < repeat_window_ms;
}

#if defined(_WIN32)

// A stream the caller left closed has no handle behind it: as on POSIX, it
// writes to the null device, so losing what nobody reads is no write error.
static void reserve_stream(FILE* stream) {
    int fd = _fileno(stream);
    intptr_t handle = fd >= 0 ? _get_osfhandle(fd) : -1;
    // Writing nothing tells a handle that leads nowhere from one that does.
    DWORD none = 0;
    if (handle != -1 && handle != 0 && WriteFile((HANDLE)handle, "", 0, &none, nullptr)) return;
    FILE* reopened = freopen("NUL", "wb", stream);
    (void)reopened;
}

void reserve_standard_streams(void) {
    reserve_stream(stdout);
    reserve_stream(stderr);
}

void ignore_write_signals(void) {}

// STATUS_CONTROL_C_EXIT: what a console program ended by Ctrl-C exits with.
static const UINT interrupted_status = 0xC000013Au;

static long long stop_clock_ms(void) { return (long long)GetTickCount64(); }

static BOOL WINAPI on_console_event(DWORD event) {
    if (!is_first_stop((int)event + 1)) ExitProcess(interrupted_status);
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

void end_process(int status) {
    wait_for_starting_threads();
    ExitProcess((UINT)status);
}

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

// clock_gettime may be called in a signal handler.
static long long stop_clock_ms(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

static void on_stop_signal(int signo) {
    if (!is_first_stop(signo)) {
        // The second request: the default action, delivered on return.
        signal(signo, SIG_DFL);
        raise(signo);
    }
}

void watch_for_interruption(void) {
    struct sigaction action = {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    // The stream's writes are the writer thread's, which blocks these
    // signals; where this thread writes, a write the handler cuts short
    // returns what it wrote, and the write loop goes on with the rest.
    // SA_RESTART restarts what the handler interrupts before anything moved
    // (the library's reads and waits too) instead of failing it with EINTR.
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

void end_process(int status) { _exit(status); }

#endif
