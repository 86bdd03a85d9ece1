#include "pipe/pipe_pacer.h"

// Where the paced pipe's fill stays: 160 to 320 KiB, a quarter of a
// millisecond of a slow reader's bites.
static const size_t ceiling = 320u << 10;
static const size_t floor_fill = 160u << 10;
// A writer woken once per this many bytes or more often is feeding a
// reader of small bites; a chunk smaller than the least says too little.
static const size_t bite = 16u << 10;
static const size_t least_chunk = 256u << 10;
// Sleeps shorter than the least are not worth one; longer than the most
// they would leave the reader waiting for a writer that slept on.
static const double shortest_sleep = 10e-6;
static const double longest_sleep = 10e-3;
// A reader that takes nothing for this long stopped, or went; a busy one
// may pause for tens of milliseconds (a consumer under ThreadSanitizer
// paused for over 20).
static const double longest_stall = 200e-3;
// More looks than this of a window after a sleep finding the pipe empty:
// the sleeps overshoot (the machine's timers are coarse), pacing ends.
static const int window = 64;
static const int dry_allowed = 8;
// Plain chunks before pacing may start again after its first end; doubled
// at each end, up to the most.
static const int first_wait = 8;
static const int longest_wait = 1024;
static const double smoothing = 0.25;
// A reader faster than this takes the room between floor and ceiling in
// less than the sleeps this machine's timers give (a tenth of a
// millisecond and more): pacing would keep it waiting.
static const double fastest_paced_reader = 1.2e9;

void pacer_start(pipe_pacer* pacer, size_t capacity) {
    pacer->capacity = capacity >= 2 * ceiling ? capacity : 0;
    pacer->on = false;
    pacer->drain_rate = 0.0;
    pacer->room = 0;
    pacer->chunks_to_wait = 0;
    pacer->wait_after_end = first_wait;
}

void pacer_stop(pipe_pacer* pacer) {
    pacer->on = false;
    pacer->capacity = 0;
}

static void end_pacing(pipe_pacer* pacer) {
    pacer->on = false;
    pacer->chunks_to_wait = pacer->wait_after_end;
    if (pacer->wait_after_end < longest_wait) pacer->wait_after_end *= 2;
}

void pacer_chunk_written(pipe_pacer* pacer, size_t bytes, double seconds, long waits) {
    if (pacer->capacity == 0 || pacer->on) return;
    if (pacer->chunks_to_wait > 0) {
        pacer->chunks_to_wait--;
        return;
    }
    if (waits < 0 || bytes < least_chunk || seconds <= 0) return;
    // The reader set the chunk's pace.
    double rate = (double)bytes / seconds;
    if ((size_t)waits * bite <= bytes || rate > fastest_paced_reader) return;
    pacer->on = true;
    pacer->drain_rate = rate;
    pacer->room = 0;
    pacer->looked_at = -1.0;
    pacer->stalled_since = -1.0;
    pacer->slept = false;
    pacer->looks_after_sleep = 0;
    pacer->dry_after_sleep = 0;
}

bool pacer_fits(const pipe_pacer* pacer, size_t bytes) { return !pacer->on || pacer->room >= bytes; }

// How fast the reader took drained bytes since the last look.
static void measure_drain(pipe_pacer* pacer, double drained, size_t queued, double now) {
    double seconds = now - pacer->looked_at;
    if (drained <= 0 || seconds <= 0) return;
    double rate = drained / seconds;
    // An empty pipe says only that the reader was at least this fast.
    if (queued == 0 && rate < pacer->drain_rate) return;
    pacer->drain_rate += (rate - pacer->drain_rate) * smoothing;
}

double pacer_look(pipe_pacer* pacer, size_t queued, double now, size_t bytes) {
    if (!pacer->on) return 0.0;
    bool first = pacer->looked_at < 0;
    if (!first) {
        double drained = (double)pacer->looked_queued + (double)pacer->written_since - (double)queued;
        if (drained > 0) {
            pacer->stalled_since = -1.0;
        } else if (pacer->stalled_since < 0) {
            pacer->stalled_since = pacer->looked_at;
        } else if (now - pacer->stalled_since > longest_stall) {
            // The write blocks, or fails, as anywhere else.
            end_pacing(pacer);
            return 0.0;
        }
        if (queued == 0 && !pacer->slept) {
            // It took all that was written while it was written.
            end_pacing(pacer);
            return 0.0;
        }
        measure_drain(pacer, drained, queued, now);
        if (pacer->drain_rate > fastest_paced_reader) {
            end_pacing(pacer);
            return 0.0;
        }
        if (pacer->slept) {
            pacer->looks_after_sleep++;
            if (queued == 0) pacer->dry_after_sleep++;
            if (pacer->dry_after_sleep > dry_allowed) {
                end_pacing(pacer);
                return 0.0;
            }
            if (pacer->looks_after_sleep == window) pacer->looks_after_sleep = pacer->dry_after_sleep = 0;
        }
    }
    // Filled up to the ceiling: down to the floor before the next fill.
    bool may_fill = first || pacer->slept;
    pacer->looked_queued = queued;
    pacer->looked_at = now;
    pacer->written_since = 0;
    pacer->slept = false;
    if (may_fill && queued + bytes <= ceiling) {
        pacer->room = ceiling - queued;
        return 0.0;
    }
    pacer->room = 0;
    double seconds = queued > floor_fill ? (double)(queued - floor_fill) / pacer->drain_rate : 0.0;
    if (seconds < shortest_sleep) seconds = shortest_sleep;
    if (seconds > longest_sleep) seconds = longest_sleep;
    pacer->slept = true;
    return seconds;
}

void pacer_wrote(pipe_pacer* pacer, size_t bytes) {
    if (!pacer->on) return;
    pacer->room = pacer->room > bytes ? pacer->room - bytes : 0;
    pacer->written_since += bytes;
}
