// The frame loop of the validation and Y4M modes: every frame of the job
// fetched in order, handed to the mode's writer, released, with progress
// lines.
#ifndef ZVK_FRAME_LOOP_H
#define ZVK_FRAME_LOOP_H

#include <stdint.h>

#include "avs/import_script.h"
#include "command_line.h"
#include "output/validation_report.h"

// What the loop is asked to do.
struct frame_loop_job {
    int first;   // the frames first to first + count - 1 (the whole clip, or a range)
    int count;   // the progress total; may be negative for a clip that says so
    uint32_t fps_num;  // Y4M modes: the frame rate of the stream header
    uint32_t fps_den;
    validation_report* report;  // validation modes
};

// Returns the run's status: 0 after the last frame, the status of the
// failure that stopped it (4, 5, 11 or 12), or STATUS_INTERRUPTED when the
// run was asked to stop (at a frame boundary, after a last progress line).
int render_frames(run_mode mode, const imported_script* script, const frame_loop_job* job);

#endif
