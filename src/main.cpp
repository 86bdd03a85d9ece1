// zvk_avs_runner: imports one AviSynth script through the AviSynth+ C
// interface and turns the clip it returns into one machine-readable result.
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/import_script.h"
#include "checkpoint_log.h"
#include "command_line.h"
#include "platform.h"
#include "process_setup.h"
#include "render_clip.h"
#include "run_end.h"

// Loads the library and imports the script; returns only on a failure
// before the clip exists, with the status.
static int run(const run_options* options) {
    FILE* log = nullptr;
    if (is_validation_mode(options->mode) && options->csv_path != nullptr)
        log = open_checkpoint_log(options->csv_path, options->script_path);

    if (avs_load_library() == nullptr) {
        log_checkpoint(log, "failed: " AVS_LIBRARY_FILE);
        fprintf(stderr,
                "failed to load " AVS_LIBRARY_FILE ". Install " RUNNER_WIDTH
                " AviSynth+ and make sure " AVS_LIBRARY_FILE " can be found.\n");
        if (avs_load_problem()[0] != '\0') fprintf(stderr, "%s\n", avs_load_problem());
        close_checkpoint_log(log);
        return 2;
    }
    log_loaded_dll_path(log);

    imported_script script;
    int status = import_script(options->mode, options->script_path, log, &script);
    if (status != 0) {
        close_checkpoint_log(log);
        return status;
    }
    // From here on every end goes through end_run.
    end_run_log = log;
    end_run(render_clip(options, &script, log));
}

int main(int argc, char** argv) {
    reserve_standard_streams();
    ignore_write_signals();

    run_options options;
    int status = parse_command_line(argc, argv, &options);
    if (status != 0) return status;

    if (is_stream_mode(options.mode) && !set_binary_stdout()) {
        fprintf(stderr, "failed to set binary stdout mode\n");
        return 2;
    }
    watch_for_interruption();
    status = run(&options);
    // Asked to stop while the script was imported, and it failed: still
    // end the way the request ends a process.
    if (run_interruption() != 0) end_by_interruption(run_interruption());
    return status;
}
