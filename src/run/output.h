// An output of the runner (the validation report, the source check, a Y4M
// or a WAV stream) as a struct of named steps, named by a row of the table
// of modes (modes.h) and driven by the one loop in run/unit_loop.h:
//
//   prepare             before the first progress line
//   header              after it, before the first unit
//   fetch (unit n)      for n = 0 .. units - 1: fetches the unit from the
//                       clip and describes the bytes it puts on standard
//                       output (or writes its own output, as a CSV row)
//   release (unit)      once the unit's bytes are out
//   finish (status)     after the last unit, or the failure or stop that
//                       ended the run; returns the run's status
//
// A unit is a frame or a step of audio samples.
#ifndef ZVK_OUTPUT_H
#define ZVK_OUTPUT_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "avs/import_script.h"
#include "pipe/stream_out.h"

struct unit {
    AVS_VideoFrame* frame;  // a frame held until its bytes are out, or null
    stream_chunk chunk;     // stream outputs: what goes out; empty: nothing
    bool dropped;           // a skip-drop form left the frame out of its stream
};

// Why a fetch failed, told once the units before it are out and counted:
// "<what> <at>: <the clip's error text>".
struct unit_failure {
    const char* what;
    int64_t at;
    clip_error_text suffix;
};

// What the driver decided for the run, and what the steps keep.
struct run_job {
    const imported_script* script;
    FILE* log;         // the checkpoint log, or null
    int first_frame;   // the frames first_frame .. first_frame + frame_count - 1
    int frame_count;   // may be negative for a clip that says so
    bool frame_range;  // the frames are a range the command line chose
    uint32_t fps_num;  // the Y4M stream's frame rate
    uint32_t fps_den;
    const char* csv_path;        // validation: null when no CSV is asked for
    const char* timecodes_path;  // Y4M: the timestamp file, or null
    bool y4m_tags;               // Y4M: the header carries the first frame's properties
    const char* bench_csv_path;  // --bench: the per-frame CSV, or null
    const char* props_path;      // --props: the dump of every fetched frame, or null
    int64_t expected_source_id;
    int64_t units;  // frames, unless prepare says otherwise
    // Audio: the seconds of one unit and of them all, for progress shown
    // to people; 0: the units are frames.
    double unit_seconds;
    double total_seconds;
    int overlap;           // units that may be unwritten while the next is fetched
    void* state;           // the output's own, state_size bytes, zeroed
    unit_failure failure;  // set by a fetch that fails
};

struct output_steps {
    const char* progress_label;  // null: no progress lines
    bool streams;                // binary standard output, written by the writer thread
    // Standard output is the output's own descriptor, and the library's
    // prints go to standard error (every stream, and a report that is one
    // document, as --info's JSON).
    bool guards_stdout;
    int validation_blank;  // zvk_validation_blank set to this before the import; -1: not set
    size_t state_size;
    int (*prepare)(run_job* job);
    int (*header)(run_job* job);
    int (*fetch)(run_job* job, int64_t n, unit* u);
    void (*release)(run_job* job, unit* u);
    int (*finish)(run_job* job, int status);
};

#endif
