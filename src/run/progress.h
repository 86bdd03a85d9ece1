// The progress lines of a run: "label,done,total,percent,elapsed,estimate"
// on standard error, the first at the start, then at most one every half
// second as units are done, and always one for the last unit done.
//
// Asked for (--progress-bar), progress for people replaces those lines:
// "57/240 frames  23.8%  113.3 fps  0:01 elapsed  0:02 left", on a terminal
// one line rewritten in place, otherwise a plain line every five seconds;
// the first and the last state always shown, each line ending in a newline.
#ifndef ZVK_PROGRESS_H
#define ZVK_PROGRESS_H

#include <stddef.h>

struct progress {
    const char* label;  // null: the run prints no progress lines
    int total;
    int done;      // units whose output is complete
    int reported;  // done of the latest line
    double start;
    double last_report;
    double* stamps;  // stamps[k]: the clock when k units were done; may be null
    int shown;       // lines for people written so far
};

// Progress for people from here on; once, before the run.
void show_progress_to_people(void);

// The text of a line for people, without a line end.
void format_people_progress(char* text, size_t size, int done, int total, double elapsed, double estimate);

// Takes the start time and writes the first line (done 0).
void progress_start(progress* p, const char* label, int total);

// One more unit done: its time stamp, and a line when the last line is half
// a second old or the unit was the last. Called by one thread at a time, in
// the order the units are done.
void progress_unit_done(progress* p);

// A run that ends early ends with a line of what it completed, so that what
// reached the consumer or the CSV is what the last line says; then frees
// what the progress holds.
void progress_finish(progress* p);

// Seconds left after done of frames: the pace of the last done / 2 frames
// when the completed-frame timestamps are known (stamps[k] = clock when k
// frames had completed), else the pace of the whole run so far.
double remaining_seconds(const double* stamps, int done, int frames, double now, double start);

// One line on standard error, flushed.
void write_progress(const char* label, int done, int total, double elapsed, double estimate);

#endif
