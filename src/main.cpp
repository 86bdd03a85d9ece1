// zvk_avs_runner: imports one AviSynth script through the AviSynth+ C
// interface and turns the clip it returns into one machine-readable result.
#include "command_line.h"
#include "driver.h"
#include "exit_status.h"
#include "platform_files.h"
#include "process_setup.h"

static int run(int argc, char** argv) {
    reserve_standard_streams();
    ignore_write_signals();

    run_options options;
    int status = parse_command_line(argc, argv, &options);
    if (status == STATUS_DONE) status = drive_run(&options);
    // Only a run that failed before its clip existed comes back here.
    release_run_options(&options);
    // Asked to stop while the script was imported, and it failed: still
    // end the way the request ends a process.
    if (run_interruption() != 0) end_by_interruption(run_interruption());
    return status;
}

#if defined(_WIN32)
// Taken as UTF-16 (linked with -municode), so that names outside the ANSI
// code page reach the runner whole; from here on they are UTF-8.
int wmain(int argc, wchar_t** wide_argv) {
    char** argv = utf8_arguments(argc, wide_argv);
    if (argv == nullptr) {
        fprintf(stderr, "failed to read the command line\n");
        return STATUS_CANNOT_START;
    }
    return run(argc, argv);
}
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif
