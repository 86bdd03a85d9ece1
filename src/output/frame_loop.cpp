#include "output/frame_loop.h"

#include <stdlib.h>

#include "avs/avs_library.h"
#include "checkpoint_log.h"
#include "output/progress.h"
#include "output/validation_report.h"
#include "output/y4m_writer.h"

// Seconds between progress lines, the first and the last excepted.
static const double progress_interval = 0.5;

static bool logs_frame(int index, int frames) {
    return index == 0 || index == frames - 1 || index % 1000 == 0;
}

int render_frames(run_mode mode, const imported_script* script, frame_loop_outputs* outputs) {
    const AVS_Library* avs = avs_library;
    const AVS_VideoInfo* vi = script->video_info;
    // Read once: the timestamp array is sized by it, so a library that
    // changed it mid-run could not make the loop write past the array.
    const int frames = vi->num_frames;
    bool validation = is_validation_mode(mode);
    const char* label = validation ? "zvk_progress" : "zvk_render";

    // One entry per completed count, 0 to num_frames; sized in size_t so a
    // count near 2^31 cannot wrap. Without it the estimate still works.
    double* stamps = nullptr;
    if (frames >= 0) stamps = (double*)calloc((size_t)frames + 1, sizeof(double));

    double start = monotonic_seconds();
    if (stamps != nullptr) stamps[0] = start;
    write_progress(label, 0, frames, 0.0, 0.0);

    if (!validation) {
        int status = write_y4m_header(vi, outputs->fps_num, outputs->fps_den);
        if (status != 0) {
            free(stamps);
            return status;
        }
    }

    double last_report = start;
    for (int i = 0; i < frames; i++) {
        if (validation && logs_frame(i, frames))
            log_checkpoint_number(outputs->log, "render: frame ", i);

        AVS_VideoFrame* frame = avs->avs_get_frame(script->clip, i);
        if (frame == nullptr) {
            clip_error_text suffix = clip_error_suffix(script->clip);
            fprintf(stderr, "failed to get frame %d%s%s\n", i, suffix.separator, suffix.message);
            // Rows of the frames already rendered must reach the file.
            if (outputs->csv != nullptr) fflush(outputs->csv);
            free(stamps);
            return 5;
        }

        int status = 0;
        if (!validation)
            status = write_y4m_frame(script->environment, frame, mode, i);
        else if (outputs->csv != nullptr)
            status = write_validation_row(script->environment, frame, i, &outputs->csv);
        avs->avs_release_video_frame(frame);
        if (status != 0) {
            free(stamps);
            return status;
        }

        int done = i + 1;
        double now = monotonic_seconds();
        if (stamps != nullptr) stamps[done] = now;
        if (done != frames && now - last_report < progress_interval) continue;
        double estimate = remaining_seconds(stamps, done, frames, now, start);
        write_progress(label, done, frames, now - start, estimate);
        last_report = now;
    }

    if (validation) finish_validation_report(outputs->log, outputs->csv, outputs->csv_path, vi);
    free(stamps);
    return 0;
}
