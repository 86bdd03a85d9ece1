#include "driver.h"

#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/import_script.h"
#include "checkpoint_log.h"
#include "exit_status.h"
#include "output_claims.h"
#include "pipe/stream_out.h"
#include "platform.h"
#include "process_setup.h"
#include "run/progress.h"
#include "run/unit_loop.h"
#include "run_end.h"
#include "thread_starts.h"

// The frames a run renders: the whole clip, or the range of the command
// line when it fits the clip. Returns 0, or 2 (reported).
static int choose_frames(const run_options* options, run_job* job) {
    const AVS_VideoInfo* vi = job->script->video_info;
    job->first_frame = 0;
    job->frame_count = vi->num_frames;
    job->frame_range = options->has_frame_range;
    if (options->has_frame_range) {
        if (options->last_frame >= vi->num_frames) {
            fprintf(stderr, "--frames %d %d does not fit the clip's %d frames\n", options->first_frame,
                    options->last_frame, vi->num_frames);
            return STATUS_CANNOT_START;
        }
        job->first_frame = options->first_frame;
        job->frame_count = options->last_frame - options->first_frame + 1;
    }
    job->units = job->frame_count > 0 ? job->frame_count : 0;
    return STATUS_DONE;
}

int render_clip(const run_options* options, const output_steps* output, const imported_script* script,
                FILE* log) {
    if (run_interruption() != 0) return STATUS_INTERRUPTED;
    run_job job_record = {};
    run_job* job = &job_record;
    job->script = script;
    job->log = log;
    int status = choose_frames(options, job);
    if (status != STATUS_DONE) return status;
    job->csv_path = options->csv_path;
    job->expected_source_id = options->expected_source_id;
    job->timecodes_path = options->timecodes_path;
    job->y4m_tags = options->y4m_tags;
    job->bench_csv_path = options->bench_csv_path;
    job->props_path = options->props_path;
    const AVS_VideoInfo* vi = job->script->video_info;
    job->fps_num = options->fps_num != 0 ? options->fps_num : vi->fps_numerator;
    job->fps_den = options->fps_den != 0 ? options->fps_den : vi->fps_denominator;
    return run_output(output, job);
}

// Every file the run writes, claimed before the library is loaded: a run
// refused here has written nothing. The checkpoint log's path, or null.
static int claim_output_files(const run_options* options, const char** log_path) {
    const char* script = options->script_path;
    *log_path = nullptr;
    // Only the validation forms take a CSV, and its log beside it; an empty
    // path names no file to put a log beside.
    if (options->csv_path != nullptr) {
        int status = claim_output_file("validation CSV", options->csv_path, script, UNOPENED_TOLD_LATER);
        if (status != STATUS_DONE) return status;
        if (options->csv_path[0] != '\0') *log_path = checkpoint_log_path(options->csv_path);
        if (*log_path != nullptr)
            status = claim_output_file("checkpoint log", *log_path, script, UNOPENED_IGNORED);
        if (status != STATUS_DONE) return status;
    }
    const struct {
        const char* what;
        const char* path;
    } files[] = {
        {"timecodes file", options->timecodes_path},
        {"property dump", options->props_path},
        {"bench CSV", options->bench_csv_path},
    };
    for (const auto& file : files) {
        int status = file.path != nullptr ? claim_output_file(file.what, file.path, script, UNOPENED_REFUSES)
                                          : STATUS_DONE;
        if (status != STATUS_DONE) return status;
    }
    return STATUS_DONE;
}

int drive_run(const run_options* options) {
    const output_steps* output = options->mode->output;
    if (output->guards_stdout) {
        FILE* stream = take_stdout_for_stream(output->streams);
        if (stream == nullptr) {
            fprintf(stderr, "failed to set binary stdout mode\n");
            return STATUS_CANNOT_START;
        }
        set_stream_file(stream);
    }
    watch_for_interruption();
    if (options->progress_bar) show_progress_to_people();

    const char* log_path;
    int claimed = claim_output_files(options, &log_path);
    if (claimed != STATUS_DONE) {
        drop_untaken_output_files();
        return claimed;
    }
    FILE* log = log_path != nullptr ? open_checkpoint_log(log_path, options->script_path) : nullptr;
    note_threads_before_library();
    if (avs_load_library(options->library_path) == nullptr) {
        // The file --library named, which no "dll:" line will name.
        if (options->library_path != nullptr) log_checkpoint_text(log, "library: ", options->library_path);
        log_checkpoint(log, "failed: " AVS_LIBRARY_FILE);
        report_load_failure(options->library_path);
        drop_untaken_output_files();
        close_checkpoint_log(log);
        return STATUS_CANNOT_START;
    }
    log_loaded_dll_path(log);

    imported_script script;
    import_settings settings = {options->script_path,      output->validation_blank,
                                options->memory_max_mb,    options->script_args,
                                options->script_arg_count, options->props_path != nullptr};
    int status = import_script(&settings, log, &script);
    if (status != STATUS_DONE) {
        drop_untaken_output_files();
        // Asked to stop while the script was imported: told, and logged, as
        // any other stop.
        end_run_log = log;
        if (run_interruption() != 0) end_run(STATUS_INTERRUPTED);
        end_run_log = nullptr;
        close_checkpoint_log(log);
        return status;
    }
    // From here on every end goes through end_run.
    end_run_log = log;
    end_run(render_clip(options, output, &script, log));
}
