#include "run/progress.h"

#include <atomic>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "clock.h"
#include "formats/c_number.h"
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

// The fields of a line for people, from the one that matters most.
enum { COUNT, SHORT_COUNT, PERCENT, RATE, SPENT, LEFT, FIELDS };

// Layouts from the longest to the shortest: the first that fits is shown.
static const int layouts[][5] = {
    {COUNT, PERCENT, RATE, SPENT, LEFT},  {COUNT, PERCENT, RATE, LEFT, -1}, {COUNT, PERCENT, LEFT, -1, -1},
    {SHORT_COUNT, PERCENT, LEFT, -1, -1}, {PERCENT, LEFT, -1, -1, -1},
};

void format_people_progress(char* text, size_t size, const people_progress* state, int columns) {
    int done = state->done, total = state->total;
    double elapsed = state->elapsed;
    char field[FIELDS][64], spent[32], left[32];
    double per_mille = total <= 0 ? 1000.0 : (double)done * 1000.0 / (double)total;
    if (state->unit_seconds > 0.0) {
        double seconds = fmin((double)done * state->unit_seconds, state->total_seconds);
        if (done >= total) seconds = state->total_seconds;
        per_mille = state->total_seconds > 0.0 ? seconds * 1000.0 / state->total_seconds : 1000.0;
        snprintf(field[COUNT], sizeof field[COUNT], "%.1f/%.1f s", seconds, state->total_seconds);
        snprintf(field[SHORT_COUNT], sizeof field[SHORT_COUNT], "%.0f/%.0f s", seconds, state->total_seconds);
        if (done > 0 && elapsed > 0.0)
            snprintf(field[RATE], sizeof field[RATE], "%.1fx", seconds / elapsed);
        else
            snprintf(field[RATE], sizeof field[RATE], "--x");
    } else {
        snprintf(field[COUNT], sizeof field[COUNT], "%d/%d frames", done, total);
        snprintf(field[SHORT_COUNT], sizeof field[SHORT_COUNT], "%d/%d", done, total);
        if (done > 0 && elapsed > 0.0)
            snprintf(field[RATE], sizeof field[RATE], "%.1f fps", (double)done / elapsed);
        else
            snprintf(field[RATE], sizeof field[RATE], "-- fps");
    }
    // Rounded down, so that 100% means done.
    snprintf(field[PERCENT], sizeof field[PERCENT], "%.1f%%", floor(per_mille) / 10.0);
    format_duration(spent, sizeof spent, elapsed);
    snprintf(field[SPENT], sizeof field[SPENT], "%s elapsed", spent);
    // Before the first unit the estimate knows nothing yet.
    format_duration(left, sizeof left, done > 0 || done >= total ? state->estimate : -1.0);
    snprintf(field[LEFT], sizeof field[LEFT], "%s left", left);

    size_t room = columns > 0 ? (size_t)columns - 1 : (size_t)-1;
    if (room >= size) room = size - 1;
    for (const auto& layout : layouts) {
        size_t used = 0;
        text[0] = '\0';
        for (int f : layout) {
            if (f < 0) break;
            used += (size_t)snprintf(text + used, size - used, "%s%s", used > 0 ? "  " : "", field[f]);
            if (used >= size) used = size - 1;
        }
        if (used <= room) return;
    }
    text[room] = '\0';  // narrower than the shortest layout: what fits of it
}

// Whether a terminal's line of progress holds the cursor at its end. Set
// by the thread that counts units done (the stream writer's), ended by
// whichever thread has a message.
static std::atomic<bool> line_open(false);

void end_progress_line(void) {
    if (!line_open.exchange(false)) return;
    fputc('\n', stderr);
    fflush(stderr);
}

// A line for people: on a terminal each state returns to the start of the
// line it shares with the cursor and clears it, so that nothing above it
// (a library's prints) is ever touched; elsewhere one line per state.
static void write_people_progress(progress* p, double elapsed, double estimate) {
    char text[192];
    people_progress state = {p->done, p->total, elapsed, estimate, p->unit_seconds, p->total_seconds};
    format_people_progress(text, sizeof text, &state, style == TERMINAL_LINE ? stderr_columns() : 0);
    if (style == TERMINAL_LINE) {
        // The first state starts where the cursor is: what is before it
        // on that line is not this run's.
        fprintf(stderr, "%s%s", line_open.exchange(true) ? "\r\033[K" : "", text);
    } else {
        fprintf(stderr, "%s\n", text);
    }
    fflush(stderr);
}

static void show(progress* p, double elapsed, double estimate) {
    if (style == MACHINE_LINES)
        write_progress(p->label, p->done, p->total, elapsed, estimate);
    else
        write_people_progress(p, elapsed, estimate);
}

void write_progress(const char* label, int done, int total, double elapsed, double estimate) {
    double percent = total <= 0 ? 100.0 : (double)done * 100.0 / (double)total;
    char numbers[3][64];
    format_c_number(numbers[0], sizeof numbers[0], 'f', 2, percent);
    format_c_number(numbers[1], sizeof numbers[1], 'f', 3, elapsed);
    format_c_number(numbers[2], sizeof numbers[2], 'f', 3, estimate);
    fprintf(stderr, "%s,%d,%d,%s,%s,%s\n", label, done, total, numbers[0], numbers[1], numbers[2]);
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

void progress_start(progress* p, const char* label, int total, double unit_seconds, double total_seconds) {
    *p = progress{};
    p->label = label;
    p->total = total;
    p->unit_seconds = unit_seconds;
    p->total_seconds = total_seconds;
    // The WAV forms print no progress lines: only people see their steps.
    p->shown = label != nullptr || (style != MACHINE_LINES && unit_seconds > 0.0);
    if (!p->shown) return;
    // One entry per completed count, 0 to the total; sized in size_t so a
    // count near 2^31 cannot wrap. Without it the estimate still works.
    if (total >= 0) p->stamps = (double*)calloc((size_t)total + 1, sizeof(double));
    progress_range_begins(p);
    show(p, 0.0, 0.0);
}

void progress_range_begins(progress* p) {
    if (!p->shown) return;
    p->start = monotonic_seconds();
    if (p->stamps != nullptr) p->stamps[0] = p->start;
    p->last_report = p->start;
}

void progress_unit_done(progress* p) {
    // A unit past the total (a Matroska stream's audio after its last
    // frame) completes no frame.
    if (p->label != nullptr && p->done >= p->total) return;
    int done = ++p->done;
    if (!p->shown) return;
    double now = monotonic_seconds();
    if (p->stamps != nullptr && done <= p->total) p->stamps[done] = now;
    if (done == p->total || now - p->last_report >= progress_interval()) report_progress(p, now);
}

void progress_finish(progress* p) {
    if (p->shown && p->reported != p->done) report_progress(p, monotonic_seconds());
    end_progress_line();
    free(p->stamps);
    p->stamps = nullptr;
}
