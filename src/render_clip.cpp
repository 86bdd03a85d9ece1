#include "render_clip.h"

#include "output/frame_loop.h"
#include "output/source_check.h"
#include "output/validation_report.h"
#include "output/wav_writer.h"
#include "process_setup.h"
#include "run_end.h"

// The frames a run renders: the whole clip, or the range of the command
// line when it fits the clip. Returns 0, or 2 (reported).
static int choose_frames(const run_options* options, const AVS_VideoInfo* vi, int* first, int* count) {
    *first = 0;
    *count = vi->num_frames;
    if (!options->has_frame_range) return 0;
    if (options->last_frame >= vi->num_frames) {
        fprintf(stderr, "--frames %d %d does not fit the clip's %d frames\n", options->first_frame,
                options->last_frame, vi->num_frames);
        return 2;
    }
    *first = options->first_frame;
    *count = options->last_frame - options->first_frame + 1;
    return 0;
}

int render_clip(const run_options* options, const imported_script* script, FILE* log) {
    const AVS_VideoInfo* vi = script->video_info;
    if (run_interruption() != 0) return STATUS_INTERRUPTED;
    if (options->mode == RUN_CHECK_SOURCE) return check_source_id(script, options->expected_source_id);

    frame_loop_job job = {};
    int status = choose_frames(options, vi, &job.first, &job.count);
    if (status != 0) return status;

    if (is_audio_mode(options->mode)) {
        audio_span span;
        if (options->has_frame_range &&
            !audio_of_frames(vi, options->first_frame, options->last_frame, &span)) {
            fprintf(stderr, "--frames needs a clip frame rate to find the audio of frames\n");
            return 2;
        }
        return write_wav_stream(script->clip, vi, options->has_frame_range ? &span : nullptr,
                                options->mode == RUN_RF64);
    }

    validation_report report = {log, options->csv_path, nullptr};
    if (is_validation_mode(options->mode)) {
        print_clip_info(log, vi);
        if (report.csv_path != nullptr) {
            status = open_validation_csv(&report);
            if (status != 0) return status;
        }
        job.report = &report;
    }
    job.fps_num = options->fps_num != 0 ? options->fps_num : vi->fps_numerator;
    job.fps_den = options->fps_den != 0 ? options->fps_den : vi->fps_denominator;
    return render_frames(options->mode, script, &job);
}

