#include "run_end.h"

#include "checkpoint_log.h"
#include "exit_status.h"
#include "process_setup.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

FILE* end_run_log = nullptr;

void end_run(int status) {
    int interruption = status == STATUS_INTERRUPTED ? run_interruption() : 0;
    if (interruption != 0) fprintf(stderr, "interrupted by %s\n", interruption_name(interruption));
    fflush(stdout);
    fflush(stderr);
    if (end_run_log != nullptr) {
        if (interruption != 0) {
            char line[64];
            snprintf(line, sizeof line, "interrupted: %s", interruption_name(interruption));
            log_checkpoint(end_run_log, line);
        } else {
            log_checkpoint_number(end_run_log, "exit: ", status);
        }
        close_checkpoint_log(end_run_log);
        end_run_log = nullptr;
    }
    if (interruption != 0) end_by_interruption(interruption);
#if defined(_WIN32)
    ExitProcess((UINT)status);
#else
    _exit(status);
#endif
}
