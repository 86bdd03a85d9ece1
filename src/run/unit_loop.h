// The one loop of every run: an output's steps (run/output.h) over the units
// of the job, with progress lines, and for the stream outputs the writer
// thread (pipe/stream_writer.h), which writes a unit while the next is
// fetched. Every AviSynth call stays on the calling thread.
#ifndef ZVK_UNIT_LOOP_H
#define ZVK_UNIT_LOOP_H

#include "run/output.h"

// Returns the run's status: 0 after the last unit, the status of the
// failure that stopped it (reported), or STATUS_INTERRUPTED when the run was
// asked to stop (at a unit boundary, after a last progress line).
int run_output(const output_steps* output, run_job* job);

#endif
