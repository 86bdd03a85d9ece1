#include "run_end.h"

#include "checkpoint_log.h"
#include "exit_status.h"
#include "output_claims.h"
#include "pipe/stream_out.h"
#include "process_setup.h"

FILE* end_run_log = nullptr;

void end_run(int status) {
    // A run that ended before a file's writing started leaves it as it was.
    drop_untaken_output_files();
    int interruption = status == STATUS_INTERRUPTED ? run_interruption() : 0;
    if (interruption != 0) fprintf(stderr, "interrupted by %s\n", interruption_name(interruption));
    // The last line of a report (rendered=, source_id=) is lost here or
    // nowhere.
    flush_standard_output();
    int decided = status_after_output(status, standard_output_error());
    if (decided != status) report_standard_output_error();
    status = decided;
    // What others wrote to standard output during a stream run went to
    // standard error's file.
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
    end_process(status);
}
