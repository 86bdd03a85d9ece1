// The progress lines of a run: "label,done,total,percent,elapsed,estimate"
// on standard error, the first at the start, then at most one every half
// second as units are done, and always one for the last unit done.
//
// Asked for (--progress-bar), progress for people replaces those lines:
// "57/240 frames  23.8%  113.3 fps  0:01 elapsed  0:02 left" (for audio
// "12.3/60.0 s  20.5%  ..."), on a terminal one line rewritten in place
// (a carriage return and a clear to its end: never a line above), otherwise
// a plain line every five seconds; the first and the last state always
// shown, the last one's line ended.
#ifndef ZVK_PROGRESS_H
#define ZVK_PROGRESS_H

#include <stddef.h>

struct progress {
    const char* label;  // null: the run prints no progress lines
    bool shown;         // lines are written (machine lines, or for people)
    int total;
    int done;      // units whose output is complete
    int reported;  // done of the latest line
    double start;
    double last_report;
    double* stamps;  // stamps[k]: the clock when k units were done; may be null
    double unit_seconds;
    double total_seconds;
};

// Progress for people from here on; once, before the run.
void show_progress_to_people(void);

// What a line for people says: units done of the total, counted as
// frames, or as seconds of audio when unit_seconds is not 0.
struct people_progress {
    int done, total;
    double elapsed, estimate;
    double unit_seconds;   // seconds of audio per unit; 0: the units are frames
    double total_seconds;  // of all the audio
};

// The text of a line for people, without a line end, fitted into a
// terminal of `columns` (its last column left free, so the cursor never
// wraps): the fields that matter least go first. 0: no limit.
void format_people_progress(char* text, size_t size, const people_progress* state, int columns);

// Takes the start time and writes the first line (done 0). The units are
// frames, or steps of unit_seconds of audio (total_seconds in all), shown
// to people only: an output without a label has no machine lines.
void progress_start(progress* p, const char* label, int total, double unit_seconds, double total_seconds);

// The range's first unit is about to be fetched: its time starts here, so
// that what came before it (the timestamp file's pass over the frames
// before a range) counts in neither the elapsed time nor the estimate.
void progress_range_begins(progress* p);

// A message of the runner's follows: the line a terminal's progress was
// left on is ended first, so the message starts on a line of its own.
void end_progress_line(void);

// One more unit done: its time stamp, and a line when the last line is half
// a second old or the unit was the last. Units past the total (a Matroska
// stream's audio after its last frame) are not counted. Called by one thread at a time, in
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
