// The dispatch of a run once its clip exists: the mode's writer, on the
// frames the command line chose.
#ifndef ZVK_RENDER_CLIP_H
#define ZVK_RENDER_CLIP_H

#include <stdio.h>

#include "avs/import_script.h"
#include "command_line.h"

// Does the mode's work and returns the run's status for end_run: 0, a
// failure's status (reported), or STATUS_INTERRUPTED.
int render_clip(const run_options* options, const imported_script* script, FILE* log);

#endif
