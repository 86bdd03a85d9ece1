// The command line: one of the forms of the table of modes (modes.h),
// optionally after leading options ("--frames FIRST LAST"), each of which
// sets part of run_options.
#ifndef ZVK_COMMAND_LINE_H
#define ZVK_COMMAND_LINE_H

#include <stdint.h>

#include "modes.h"

struct run_options {
    const run_mode* mode;  // the form's row
    const char* script_path;
    const char* csv_path;  // null when not given
    int64_t expected_source_id;
    uint32_t fps_num;      // 0: take the clip's
    uint32_t fps_den;      // 0: take the clip's
    bool has_frame_range;  // frames first_frame..last_frame only, both counted from 0
    int first_frame;
    int last_frame;
    bool progress_bar;         // progress for people instead of the machine lines
    const char** script_args;  // --arg: "name=value" items as given, checked
    int script_arg_count;
    int memory_max_mb;           // --memory-max; 0: the library's default
    const char* library_path;    // --library; null: the platform's search
    const char* timecodes_path;  // Y4M forms: the timestamp file to write, or null
    bool y4m_tags;               // Y4M forms: the first frame's properties in the header
    const char* bench_csv_path;  // --bench: the per-frame CSV, or null
    const char* props_path;      // --props: the dump of every fetched frame, or null
};

// Fills options and returns 0, or reports the error on standard error and
// returns the exit status (2).
int parse_command_line(int argc, char** argv, run_options* options);

// Frees what parse_command_line allocated (the list of --arg items).
void release_run_options(run_options* options);

// The usage text: the six forms of the original command line, or every
// form and leading option (extended) when the command line used a later one.
void usage(bool extended = false);

// Base-10 readers that never refuse: leading white space and one sign are
// taken, reading stops at the first non-digit, no digits give 0.
// A signed 64-bit value, clamped to its range.
int64_t parse_lenient_int64(const char* text);
// An unsigned 32-bit value: above 4294967295 gives 4294967295, and a minus
// sign negates modulo 2^32.
uint32_t parse_lenient_uint32(const char* text);

#endif
