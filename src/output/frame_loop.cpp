#include "output/frame_loop.h"

#include <stdlib.h>

#include "avs/avs_library.h"
#include "checkpoint_log.h"
#include "output/progress.h"
#include "output/stream_writer.h"
#include "output/y4m_writer.h"
#include "process_setup.h"
#include "run_end.h"

// Seconds between progress lines, the first and the last excepted.
static const double progress_interval = 0.5;

struct progress {
    const char* label;
    int total;
    int done;           // frames through the whole loop body
    int reported;       // done of the latest line
    double start;
    double last_report;
    double* stamps;     // stamps[k]: the clock when k frames had completed; may be null
};

// A progress line for the frames done so far.
static void report_progress(progress* p, double now) {
    write_progress(p->label, p->done, p->total, now - p->start,
                   remaining_seconds(p->stamps, p->done, p->total, now, p->start));
    p->reported = p->done;
    p->last_report = now;
}

// The progress step after every completed frame.
static void frame_done(progress* p) {
    int done = ++p->done;
    double now = monotonic_seconds();
    if (p->stamps != nullptr) p->stamps[done] = now;
    if (done == p->total || now - p->last_report >= progress_interval) report_progress(p, now);
}

// A run that stops early ends with a line of what it completed, so that
// what reached the consumer or the CSV is what the last line says.
static int stop_interrupted(progress* p) {
    if (p->reported != p->done) report_progress(p, monotonic_seconds());
    return STATUS_INTERRUPTED;
}

// The clip's error text belongs to the failed fetch: it is read at once.
static int fetch_failure(int index, clip_error_text suffix) {
    fprintf(stderr, "failed to get frame %d%s%s\n", index, suffix.separator, suffix.message);
    return 5;
}

static bool logs_frame(int index, int first, int last) {
    return index == first || index == last || index % 1000 == 0;
}

// One frame at a time: fetched, its row written, released.
static int render_validation(const imported_script* script, const frame_loop_job* job, progress* p) {
    const AVS_Library* avs = avs_library;
    validation_report* report = job->report;
    for (int i = 0; i < job->count; i++) {
        int index = job->first + i;
        if (run_interruption() != 0) {
            abandon_validation_report(report);
            return stop_interrupted(p);
        }
        if (logs_frame(index, job->first, job->first + (job->count - 1)))
            log_checkpoint_number(report->log, "render: frame ", index);

        AVS_VideoFrame* frame = avs->avs_get_frame(script->clip, index);
        if (frame == nullptr) {
            int status = fetch_failure(index, clip_error_suffix(script->clip));
            // Rows of the frames already rendered must reach the file.
            abandon_validation_report(report);
            return status;
        }
        int status = 0;
        if (report->csv != nullptr) status = write_validation_row(report, script->environment, frame, index);
        avs->avs_release_video_frame(frame);
        if (status != 0) return status;
        frame_done(p);
    }
    return finish_validation_report(report, job->count);
}

// The frames handed to the stream writer, oldest first: each is released
// once its bytes are out, and counts as done then.
struct frames_in_flight {
    AVS_VideoFrame* frames[STREAM_WRITER_DEPTH];
    int count;
};

// Waits until at most `left` of the frames in flight are unwritten, and
// releases the others.
static void complete_written(frames_in_flight* flight, progress* p, int left) {
    if (flight->count <= left) return;
    stream_writer_wait(left);
    int done = flight->count - left;
    for (int i = 0; i < done; i++) {
        avs_library->avs_release_video_frame(flight->frames[i]);
        frame_done(p);
    }
    for (int i = 0; i < left; i++) flight->frames[i] = flight->frames[i + done];
    flight->count = left;
}

// Frame i + 1 is fetched while frame i is written by the stream writer, and
// handed over before frame i is out, so the writer never waits for this
// thread; a frame stays held until its bytes are out: at most two are held.
static int render_y4m(run_mode mode, const imported_script* script, const frame_loop_job* job, progress* p) {
    const AVS_Library* avs = avs_library;
    frames_in_flight flight = {};
    stream_writer_start();
    for (int i = 0; i < job->count; i++) {
        int index = job->first + i;
        if (run_interruption() != 0) {
            complete_written(&flight, p, 0);
            return stop_interrupted(p);
        }
        double fetch_start = monotonic_seconds();
        AVS_VideoFrame* frame = avs->avs_get_frame(script->clip, index);
        double fetch_seconds = monotonic_seconds() - fetch_start;
        if (frame == nullptr) {
            clip_error_text suffix = clip_error_suffix(script->clip);
            complete_written(&flight, p, 0);
            return fetch_failure(index, suffix);
        }
        stream_chunk chunk;
        int status = y4m_frame_chunk(script->environment, frame, mode, &chunk);
        if (status != 0 || chunk.count == 0) {
            // Nothing of this frame goes out: it is done, or fails, after
            // the frames before it.
            complete_written(&flight, p, 0);
            avs->avs_release_video_frame(frame);
            if (status != 0) {
                report_unreadable_planes(index);
                return status;
            }
            frame_done(p);
            continue;
        }
        stream_writer_hand(&chunk, fetch_seconds);
        flight.frames[flight.count++] = frame;
        complete_written(&flight, p, 1);
    }
    complete_written(&flight, p, 0);
    return 0;
}

int render_frames(run_mode mode, const imported_script* script, const frame_loop_job* job) {
    bool validation = is_validation_mode(mode);
    progress p = {};
    p.label = validation ? "zvk_progress" : "zvk_render";
    p.total = job->count;
    // One entry per completed count, 0 to the total; sized in size_t so a
    // count near 2^31 cannot wrap. Without it the estimate still works.
    if (job->count >= 0) p.stamps = (double*)calloc((size_t)job->count + 1, sizeof(double));

    p.start = monotonic_seconds();
    if (p.stamps != nullptr) p.stamps[0] = p.start;
    p.last_report = p.start;
    write_progress(p.label, 0, p.total, 0.0, 0.0);

    int status;
    if (validation) {
        status = render_validation(script, job, &p);
    } else {
        status = write_y4m_header(script->video_info, job->fps_num, job->fps_den);
        if (status == 0) status = render_y4m(mode, script, job, &p);
    }
    free(p.stamps);
    return status;
}
