// The table of modes: one row per form of the command line, holding all of
// the form's facts (its option, usage line, arguments, the leading options
// it takes, and the output it makes). A new output is a struct of steps in
// its own file (formats/ or reports/), declared in run/outputs.h, and a row
// here.
#ifndef ZVK_MODES_H
#define ZVK_MODES_H

#include <stddef.h>

#include "run/output.h"

struct run_options;

// The leading options that only some forms take; a form's row says which.
enum {
    ACCEPTS_FRAMES = 1 << 0,     // --frames FIRST LAST
    ACCEPTS_TIMECODES = 1 << 1,  // --timecodes FILE
    ACCEPTS_Y4M_TAGS = 1 << 2,   // --y4m-tags
    ACCEPTS_PROPS = 1 << 3,      // --props FILE: the forms that fetch frames
};

// Lines 1 to 6 of the usage text are the original forms: callers of those
// forms are shown those six lines alone.
enum { ORIGINAL_USAGE_LINES = 6 };

struct run_mode {
    const char* option;  // the form's first argument
    const char* usage;   // its usage line, after the program's name
    int usage_line;      // where that line stands in the usage text, from 1
    int min_values;      // the arguments after the option, the script included
    int max_values;
    // Reads the values other than the script (the last one, already taken)
    // into options; null: the script is the only value. Returns 0, or 2
    // (reported).
    int (*take_values)(char** values, int count, run_options* options);
    unsigned accepts;            // ACCEPTS_ bits
    const output_steps* output;  // what the run makes
};

extern const run_mode run_modes[];
extern const size_t run_mode_count;

// The row of a form's option, or null.
const run_mode* find_run_mode(const char* option);

#endif
