// The timestamp file beside a Y4M stream (--timecodes): Matroska's format
// v2, a header line, then the start of every frame written, in
// milliseconds. A frame starts at the sum of the durations of the clip's
// frames before it, written or left out.
#ifndef ZVK_TIMECODES_H
#define ZVK_TIMECODES_H

#include <stdint.h>
#include <stdio.h>

#include "avs/avs_interface.h"

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

struct timecodes_file {
    const char* path;
    FILE* file;     // unbuffered: a line is out, or cut back, at once
    int64_t whole;  // bytes of whole lines in the file
    frame_timeline timeline;
};

// Opens the file and writes its header line: 0, 2 when the clip has no
// frame rate to time frames by, or 11 (each reported).
int open_timecodes(timecodes_file* timecodes, const char* path, const AVS_VideoInfo* vi);

// The start of a held frame, in milliseconds; the timeline moves past it by
// its _DurationNum/_DurationDen properties, or by the clip's rate where
// they are absent or unusable.
double next_frame_start(timecodes_file* timecodes, AVS_ScriptEnvironment* environment,
                        const AVS_VideoFrame* frame);

// Writes the line of a frame that is out: 0, or 11 (reported) with the file
// cut back to its whole lines.
int write_timecode(timecodes_file* timecodes, double start_ms);

// Closes the file, if one is open.
void close_timecodes(timecodes_file* timecodes);

#endif
