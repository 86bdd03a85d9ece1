// The run driver: from the parsed command line to the end of the process.
// It reads the run mode once, to take the mode's output from the table
// (run/outputs.h), and hands every layer the values it needs.
#ifndef ZVK_DRIVER_H
#define ZVK_DRIVER_H

#include <stdio.h>

#include "avs/import_script.h"
#include "command_line.h"
#include "run/output.h"

// Sets up standard output, loads the library and imports the script; once
// the clip exists it runs the output and ends the process through end_run.
// Returns only on a failure before the clip exists, with the status.
int drive_run(const run_options* options);

// The run once the clip exists: the frames the command line chose, the
// output's steps over them; returns the status for end_run: 0, a failure's
// status (reported), or STATUS_INTERRUPTED.
int render_clip(const run_options* options, const output_steps* output, const imported_script* script,
                FILE* log);

#endif
