// The timestamp file beside a Y4M stream (--timecodes): Matroska's format
// v2, a header line, then the start of every frame written, in
// milliseconds. A frame starts at the sum of the durations of the clip's
// frames before it, written or left out.
#ifndef ZVK_TIMECODES_H
#define ZVK_TIMECODES_H

#include <stddef.h>
#include <stdint.h>

#include "avs/avs_interface.h"
#include "output_claims.h"

// The frames' starts so far, summed without drift: the frames of a run of
// equal durations start at base + count * duration.
struct frame_timeline {
    uint32_t clip_num;  // the clip's rate, for frames without durations of their own
    uint32_t clip_den;
    double base_ms;   // where the current run of equal durations started
    int64_t run_num;  // the run's duration in seconds, num / den
    int64_t run_den;
    int64_t run_count;  // frames of the run so far
};

// A timeline at 0 for a clip's rate (num / den frames a second).
void start_frame_timeline(frame_timeline* t, uint32_t clip_num, uint32_t clip_den);

// The start of a held frame, in milliseconds; the timeline moves past it by
// its _DurationNum/_DurationDen properties, or by the clip's rate where
// they are absent or unusable.
double timeline_frame_start(frame_timeline* t, AVS_ScriptEnvironment* environment,
                            const AVS_VideoFrame* frame);

// Where the frame after the last one timed starts, in milliseconds.
double timeline_end(const frame_timeline* t);

struct timecodes_file {
    const char* path;
    output_file* file;  // taken when the stream starts; null before
    frame_timeline timeline;
};

// The frames' timeline, before the file is taken: 0, or 2 when the clip
// has no frame rate to time frames by (reported).
int prepare_timecodes(timecodes_file* timecodes, const char* path, const AVS_VideoInfo* vi);

// Takes the claimed file (output_claims.h), emptied, and writes its header
// line: 0, or 11 (reported).
int take_timecodes(timecodes_file* timecodes);

// The start of a held frame on the file's timeline (timeline_frame_start).
double next_frame_start(timecodes_file* timecodes, AVS_ScriptEnvironment* environment,
                        const AVS_VideoFrame* frame);

// A frame's line, from its start.
enum { TIMECODE_LINE_SIZE = 64 };
void format_timecode(double start_ms, char* line, size_t size);

// Writes a frame's line, whole or not at all: 0, or 11 (reported) with the
// file cut back to its whole lines.
int write_timecode(timecodes_file* timecodes, const char* line);

// Closes the file, if one was taken, at the end of a run of this status:
// the status, or 11 (reported) for a run that did not fail otherwise when
// the file is no longer the one at its path or lost lines.
int close_timecodes(timecodes_file* timecodes, int status);

#endif
