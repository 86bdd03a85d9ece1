// The frame loop of the validation and Y4M modes: every frame fetched in
// order, handed to the mode's writer, released, with progress lines.
#ifndef ZVK_FRAME_LOOP_H
#define ZVK_FRAME_LOOP_H

#include <stdint.h>
#include <stdio.h>

#include "avs/import_script.h"
#include "command_line.h"

struct frame_loop_outputs {
    FILE* log;         // validation modes: the checkpoint log, or null
    FILE* csv;         // validation modes: the open CSV, or null
    const char* csv_path;
    uint32_t fps_num;  // Y4M modes: the effective frame rate
    uint32_t fps_den;
};

// Returns the run's exit status: 0 after the last frame, or the status of the
// failure that stopped it (4, 5 or 12).
int render_frames(run_mode mode, const imported_script* script, frame_loop_outputs* outputs);

#endif
