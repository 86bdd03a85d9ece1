#include "run/progress.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "clock.h"
#include "process_setup.h"

enum progress_style {
    MACHINE_LINES,
    TERMINAL_LINE,  // one line rewritten in place
    PLAIN_LINES,
};
static progress_style style = MACHINE_LINES;

// Seconds between progress lines, the first and the last excepted: a log
// a person reads gets a line now and then, not two a second.
static double progress_interval(void) { return style == PLAIN_LINES ? 5.0 : 0.5; }

void show_progress_to_people(void) { style = stderr_takes_rewrites() ? TERMINAL_LINE : PLAIN_LINES; }

// "1:05" below an hour, "2:01:05" from an hour; "--:--" when unknown.
static void format_duration(char* text, size_t size, double seconds) {
    if (!(seconds >= 0.0 && seconds < 3.6e8)) {
        snprintf(text, size, "--:--");
        return;
    }
    long long s = (long long)(seconds + 0.5);
    if (s < 3600)
        snprintf(text, size, "%lld:%02lld", s / 60, s % 60);
    else
        snprintf(text, size, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
}

void format_people_progress(char* text, size_t size, int done, int total, double elapsed, double estimate) {
    // Rounded down, so that 100% means done.
    double percent = total <= 0 ? 100.0 : floor((double)done * 1000.0 / (double)total) / 10.0;
    char rate[32], spent[32], left[32];
    if (done > 0 && elapsed > 0.0)
        snprintf(rate, sizeof rate, "%.1f", (double)done / elapsed);
    else
        snprintf(rate, sizeof rate, "--");
    format_duration(spent, sizeof spent, elapsed);
    // Before the first unit the estimate knows nothing yet.
    format_duration(left, sizeof left, done > 0 || done >= total ? estimate : -1.0);
    snprintf(text, size, "%d/%d frames  %.1f%%  %s fps  %s elapsed  %s left", done, total, percent, rate,
             spent, left);
}

// A line for people: on a terminal every line after the first goes up to
// the one before and rewrites it, so that the cursor always rests below
// it and any message the run prints starts on a line of its own.
static void write_people_progress(progress* p, double elapsed, double estimate) {
    char text[192];
    format_people_progress(text, sizeof text, p->done, p->total, elapsed, estimate);
    if (style == TERMINAL_LINE && p->shown > 0) fputs("\033[A\r\033[K", stderr);
    fprintf(stderr, "%s\n", text);
    fflush(stderr);
    p->shown++;
}

static void show(progress* p, double elapsed, double estimate) {
    if (style == MACHINE_LINES)
        write_progress(p->label, p->done, p->total, elapsed, estimate);
    else
        write_people_progress(p, elapsed, estimate);
}

void write_progress(const char* label, int done, int total, double elapsed, double estimate) {
    double percent = total <= 0 ? 100.0 : (double)done * 100.0 / (double)total;
    fprintf(stderr, "%s,%d,%d,%.2f,%.3f,%.3f\n", label, done, total, percent, elapsed, estimate);
    fflush(stderr);
}

double remaining_seconds(const double* stamps, int done, int frames, double now, double start) {
    if (stamps != nullptr && done >= 2) {
        int half = done / 2;
        double window = now - stamps[done - half];
        return (double)(frames - done) * window / (double)half;
    }
    return (double)(frames - done) * (now - start) / (double)done;
}

static void report_progress(progress* p, double now) {
    show(p, now - p->start, remaining_seconds(p->stamps, p->done, p->total, now, p->start));
    p->reported = p->done;
    p->last_report = now;
}

void progress_start(progress* p, const char* label, int total) {
    *p = progress{};
    p->label = label;
    p->total = total;
    if (label == nullptr) return;
    // One entry per completed count, 0 to the total; sized in size_t so a
    // count near 2^31 cannot wrap. Without it the estimate still works.
    if (total >= 0) p->stamps = (double*)calloc((size_t)total + 1, sizeof(double));
    p->start = monotonic_seconds();
    if (p->stamps != nullptr) p->stamps[0] = p->start;
    p->last_report = p->start;
    show(p, 0.0, 0.0);
}

void progress_unit_done(progress* p) {
    int done = ++p->done;
    if (p->label == nullptr) return;
    double now = monotonic_seconds();
    if (p->stamps != nullptr && done <= p->total) p->stamps[done] = now;
    if (done == p->total || now - p->last_report >= progress_interval()) report_progress(p, now);
}

void progress_finish(progress* p) {
    if (p->label != nullptr && p->reported != p->done) report_progress(p, monotonic_seconds());
    free(p->stamps);
    p->stamps = nullptr;
}
