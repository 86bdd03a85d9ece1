// --props FILE: one JSON line per fetched frame, with its digest and every
// key of its property map, whatever the form renders.
#ifndef ZVK_PROPS_DUMP_H
#define ZVK_PROPS_DUMP_H

#include <stdint.h>

#include "avs/avs_interface.h"
#include "formats/json_text.h"
#include "run/output.h"

// The line of one frame, line feed included, in text: frame is the clip's
// frame number, dropped says the form left the frame out. Returns 0, or 12
// when a property cannot be read, or 5 when the planes cannot.
int format_frame_props(text_buffer* text, AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame,
                       const AVS_VideoInfo* vi, int frame_number, bool dropped);

// The dump is emptied and opened when the run's output starts: 0, or 11
// (reported).
int open_props_dump(const char* path);

// The line of unit n's frame, if it has one. Returns 0, or the status of the
// failure (job->failure tells it).
int dump_unit_props(run_job* job, int64_t n, const unit* u);

// Returns status, or 11 (reported) when the dump lost a line and status was
// 0. Nothing is open afterwards.
int close_props_dump(int status);

#endif
