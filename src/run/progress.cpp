#include "run/progress.h"

#include <stdio.h>
#include <stdlib.h>

#include "clock.h"

// Seconds between progress lines, the first and the last excepted.
static const double progress_interval = 0.5;

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
    write_progress(p->label, p->done, p->total, now - p->start,
                   remaining_seconds(p->stamps, p->done, p->total, now, p->start));
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
    write_progress(label, 0, total, 0.0, 0.0);
}

void progress_unit_done(progress* p) {
    int done = ++p->done;
    if (p->label == nullptr) return;
    double now = monotonic_seconds();
    if (p->stamps != nullptr && done <= p->total) p->stamps[done] = now;
    if (done == p->total || now - p->last_report >= progress_interval) report_progress(p, now);
}

void progress_finish(progress* p) {
    if (p->label != nullptr && p->reported != p->done) report_progress(p, monotonic_seconds());
    free(p->stamps);
    p->stamps = nullptr;
}
