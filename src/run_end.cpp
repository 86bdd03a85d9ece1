#include "run_end.h"

#include "checkpoint_log.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

FILE* end_run_log = nullptr;

void end_run(int status) {
    fflush(stdout);
    fflush(stderr);
    if (end_run_log != nullptr) {
        log_checkpoint_number(end_run_log, "exit: ", status);
        close_checkpoint_log(end_run_log);
        end_run_log = nullptr;
    }
#if defined(_WIN32)
    ExitProcess((UINT)status);
#else
    _exit(status);
#endif
}

bool set_binary_stdout(void) {
#if defined(_WIN32)
    return _setmode(_fileno(stdout), _O_BINARY) != -1;
#else
    return true;  // no text mode to leave
#endif
}

void reserve_standard_streams(void) {
#if !defined(_WIN32)
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor is the closed one.
            if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) == -1) break;
        }
    }
#endif
}

void ignore_broken_pipe(void) {
#if !defined(_WIN32)
    signal(SIGPIPE, SIG_IGN);
#endif
}
