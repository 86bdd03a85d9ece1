// zvk_avs_runner: imports one AviSynth script through the AviSynth+ C
// interface and turns the clip it returns into one machine-readable result.
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/import_script.h"
#include "checkpoint_log.h"
#include "command_line.h"
#include "output/frame_loop.h"
#include "output/source_check.h"
#include "output/validation_report.h"
#include "output/wav_writer.h"
#include "platform.h"
#include "run_end.h"

int main(int argc, char** argv) {
    reserve_standard_streams();
    ignore_broken_pipe();

    run_options options;
    int status = parse_command_line(argc, argv, &options);
    if (status != 0) return status;

    if (is_stream_mode(options.mode) && !set_binary_stdout()) {
        fprintf(stderr, "failed to set binary stdout mode\n");
        return 2;
    }

    FILE* log = nullptr;
    if (is_validation_mode(options.mode) && options.csv_path != nullptr)
        log = open_checkpoint_log(options.csv_path, options.script_path);

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
    status = import_script(options.mode, options.script_path, log, &script);
    if (status != 0) {
        close_checkpoint_log(log);
        return status;
    }
    // From here on every end goes through end_run.
    end_run_log = log;

    const AVS_VideoInfo* vi = script.video_info;
    frame_loop_outputs outputs = {};
    outputs.log = log;
    outputs.csv_path = options.csv_path;
    outputs.fps_num = options.fps_num != 0 ? options.fps_num : vi->fps_numerator;
    outputs.fps_den = options.fps_den != 0 ? options.fps_den : vi->fps_denominator;

    if (options.mode == RUN_CHECK_SOURCE) check_source_id(&script, options.expected_source_id);
    if (options.mode == RUN_WAV) write_wav_stream(script.clip, vi);
    if (is_validation_mode(options.mode)) {
        print_clip_info(log, vi);
        if (options.csv_path != nullptr) outputs.csv = open_validation_csv(log, options.csv_path);
    }
    end_run(render_frames(options.mode, &script, &outputs));
}
