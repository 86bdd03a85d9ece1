#include "formats/timecodes.h"

#include <errno.h>
#include <string.h>

#include "avs/frame_props.h"
#include "exit_status.h"
#include "output_claims.h"
#include "run/progress.h"

static double run_length_ms(const frame_timeline* t, int64_t count) {
    return (double)count * 1000.0 * (double)t->run_num / (double)t->run_den;
}

// Moves the timeline past a frame of num / den seconds; returns its start.
static double advance(frame_timeline* t, int64_t num, int64_t den) {
    if (num != t->run_num || den != t->run_den) {
        t->base_ms += run_length_ms(t, t->run_count);
        t->run_num = num;
        t->run_den = den;
        t->run_count = 0;
    }
    return t->base_ms + run_length_ms(t, t->run_count++);
}

void start_frame_timeline(frame_timeline* t, uint32_t clip_num, uint32_t clip_den) {
    memset(t, 0, sizeof *t);
    t->clip_num = clip_num;
    t->clip_den = clip_den;
    t->run_den = 1;
}

double timeline_frame_start(frame_timeline* t, AVS_ScriptEnvironment* environment,
                            const AVS_VideoFrame* frame) {
    int64_t num = 0, den = 0;
    bool own = read_int_frame_prop(environment, frame, "_DurationNum", &num) == FRAME_PROP_PRESENT &&
               read_int_frame_prop(environment, frame, "_DurationDen", &den) == FRAME_PROP_PRESENT &&
               num >= 0 && den > 0;
    // A rate of num / den frames a second is a duration of den / num seconds.
    if (!own) num = t->clip_den, den = t->clip_num;
    return advance(t, num, den);
}

double timeline_end(const frame_timeline* t) { return t->base_ms + run_length_ms(t, t->run_count); }

double next_frame_start(timecodes_file* timecodes, AVS_ScriptEnvironment* environment,
                        const AVS_VideoFrame* frame) {
    return timeline_frame_start(&timecodes->timeline, environment, frame);
}

static int write_line(timecodes_file* timecodes, const char* line) {
    if (write_output_file(timecodes->file, line, strlen(line))) return STATUS_DONE;
    int error = errno;
    end_progress_line();
    fprintf(stderr, "failed to write timecodes file: %s: %s\n", timecodes->path, strerror(error));
    return STATUS_OUTPUT_FAILED;
}

int prepare_timecodes(timecodes_file* timecodes, const char* path, const AVS_VideoInfo* vi) {
    memset(timecodes, 0, sizeof *timecodes);
    if (vi->fps_numerator == 0 || vi->fps_denominator == 0) {
        fprintf(stderr, "--timecodes needs a clip frame rate to time frames by\n");
        return STATUS_CANNOT_START;
    }
    timecodes->path = path;
    start_frame_timeline(&timecodes->timeline, vi->fps_numerator, vi->fps_denominator);
    return STATUS_DONE;
}

int take_timecodes(timecodes_file* timecodes) {
    timecodes->file = take_output_file(timecodes->path);
    if (timecodes->file == nullptr) {
        fprintf(stderr, "failed to open timecodes file for writing: %s: %s\n", timecodes->path,
                strerror(errno));
        return STATUS_OUTPUT_FAILED;
    }
    return write_line(timecodes, "# timestamp format v2\n");
}

void format_timecode(double start_ms, char* line, size_t size) {
    // Milliseconds to the nanosecond, without trailing zeros.
    snprintf(line, size - 1, "%.6f", start_ms);
    char* end = line + strlen(line);
    while (end[-1] == '0') end--;
    if (end[-1] == '.') end--;
    strcpy(end, "\n");
}

int write_timecode(timecodes_file* timecodes, const char* line) { return write_line(timecodes, line); }

int close_timecodes(timecodes_file* timecodes, int status) {
    if (timecodes->file == nullptr) return status;
    bool intact = output_file_intact(timecodes->file);
    bool closed = close_output_file(timecodes->file);
    timecodes->file = nullptr;
    if (status != STATUS_DONE) return status;
    if (!closed) {
        fprintf(stderr, "failed to write timecodes file: %s\n", timecodes->path);
        return STATUS_OUTPUT_FAILED;
    }
    if (!intact) {
        fprintf(stderr, "timecodes file is no longer at its path: %s\n", timecodes->path);
        return STATUS_OUTPUT_FAILED;
    }
    return STATUS_DONE;
}
