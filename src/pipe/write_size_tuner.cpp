#include "pipe/write_size_tuner.h"

#include <algorithm>

// Bytes written with each size in each direction of a sweep: 9 MiB a sweep.
static const uint64_t step_length = 512u << 10;
// Bytes before the second sweep, and the most between two sweeps.
static const uint64_t first_stretch = 64u << 20;
static const uint64_t longest_stretch = (uint64_t)4 << 30;
// Another size must be this much faster to replace the one in use: noise,
// and sizes that cost nearly the same, must not make the choice swing.
static const double margin = 1.10;
// A gain this large means the machine changed (the consumer moved to
// another CPU, say): the next sweep comes soon.
static const double upheaval = 1.5;
// So does the size in use costing this much more, or less, than at the last
// sweep in most parts of a watch (a few parts are the pauses of a busy
// machine): then a sweep follows at once. The watch is TUNER_WATCH_PARTS
// parts of so many bytes: 32 MiB.
static const double drift = 3.0;
static const uint64_t watch_part_length = 4u << 20;
// A size's steps up and down in one sweep whose costs differ this much: the
// dearer one was paused by something else than the pipe.
static const double outlier = 2.0;
// Used until the first sweep has spoken: a good size on most machines.
static const int first_size = 4;  // 64 KiB
// Written before the first sweep: while the consumer starts up, every size
// looks slow.
static const uint64_t warm_up = 8u << 20;

size_t tuner_size(int index) { return (size_t)4096 << index; }

static void start_watch(write_size_tuner* tuner) {
    tuner->watch_bytes = 0;
    tuner->watch_seconds = 0.0;
    tuner->watch_parts = 0;
}

static void start_sweep(write_size_tuner* tuner) {
    tuner->step = 0;
    tuner->step_bytes = 0;
    tuner->step_seconds = 0.0;
    for (int i = 0; i < TUNER_SIZES; i++) {
        tuner->bytes[i] /= 2;
        tuner->seconds[i] /= 2;
    }
}

void tuner_start(write_size_tuner* tuner) {
    tuner->in_use = first_size;
    tuner->in_use_cost = 0.0;
    tuner->stretch = first_stretch;
    tuner->until_sweep = warm_up;
    tuner->step = -1;
    tuner->step_bytes = 0;
    tuner->step_seconds = 0.0;
    start_watch(tuner);
    for (int i = 0; i < TUNER_SIZES; i++) {
        tuner->up_bytes[i] = tuner->up_seconds[i] = 0.0;
        tuner->bytes[i] = tuner->seconds[i] = 0.0;
    }
}

// Up through the sizes, then back down.
static int swept_size(int step) { return step < TUNER_SIZES ? step : 2 * TUNER_SIZES - 1 - step; }

size_t tuner_write_size(const write_size_tuner* tuner) {
    return tuner_size(tuner->step >= 0 ? swept_size(tuner->step) : tuner->in_use);
}

static void end_sweep(write_size_tuner* tuner) {
    double cost[TUNER_SIZES];
    for (int i = 0; i < TUNER_SIZES; i++) cost[i] = tuner->seconds[i] / tuner->bytes[i];
    int fastest = tuner->in_use;
    for (int i = 0; i < TUNER_SIZES; i++)
        if (cost[i] < cost[fastest]) fastest = i;
    bool changed = cost[fastest] * upheaval < cost[tuner->in_use];
    if (cost[fastest] * margin < cost[tuner->in_use]) tuner->in_use = fastest;
    tuner->in_use_cost = cost[tuner->in_use];
    if (changed)
        tuner->stretch = first_stretch;
    else if (tuner->stretch < longest_stretch)
        tuner->stretch *= 2;
    tuner->until_sweep = tuner->stretch;
    start_watch(tuner);
    tuner->step = -1;
}

// A step of the sweep is done: on the way up it waits for its size's step
// down, which decides with it what the two count.
static void end_step(write_size_tuner* tuner) {
    int size = swept_size(tuner->step);
    double bytes = (double)tuner->step_bytes, seconds = tuner->step_seconds;
    tuner->step_bytes = 0;
    tuner->step_seconds = 0.0;
    if (tuner->step < TUNER_SIZES) {
        tuner->up_bytes[size] = bytes;
        tuner->up_seconds[size] = seconds;
    } else {
        double up_cost = tuner->up_seconds[size] / tuner->up_bytes[size], down_cost = seconds / bytes;
        double cheaper = std::min(up_cost, down_cost);
        bool paused = std::max(up_cost, down_cost) > cheaper * outlier;
        tuner->bytes[size] += tuner->up_bytes[size] + bytes;
        tuner->seconds[size] +=
            paused ? (tuner->up_bytes[size] + bytes) * cheaper : tuner->up_seconds[size] + seconds;
    }
    if (++tuner->step == 2 * TUNER_SIZES) end_sweep(tuner);
}

// The watch's verdict: the size in use is off by the drift factor from what
// it cost at the last sweep in most parts of the watch.
static bool drifted(const write_size_tuner* tuner) {
    if (tuner->in_use_cost <= 0) return false;
    int off = 0;
    for (int i = 0; i < TUNER_WATCH_PARTS; i++) {
        double cost = tuner->watch_costs[i];
        if (cost > tuner->in_use_cost * drift || cost * drift < tuner->in_use_cost) off++;
    }
    return off > TUNER_WATCH_PARTS / 2;
}

// Between sweeps: the countdown to the next, and the watch on the size in
// use.
static void record_between_sweeps(write_size_tuner* tuner, size_t bytes, double seconds) {
    tuner->until_sweep = bytes < tuner->until_sweep ? tuner->until_sweep - bytes : 0;
    tuner->watch_bytes += bytes;
    tuner->watch_seconds += seconds;
    if (tuner->watch_bytes >= watch_part_length) {
        tuner->watch_costs[tuner->watch_parts++] = tuner->watch_seconds / (double)tuner->watch_bytes;
        tuner->watch_bytes = 0;
        tuner->watch_seconds = 0.0;
        if (tuner->watch_parts == TUNER_WATCH_PARTS) {
            if (drifted(tuner)) {
                tuner->stretch = first_stretch;
                tuner->until_sweep = 0;
            }
            tuner->watch_parts = 0;
        }
    }
    if (tuner->until_sweep == 0) start_sweep(tuner);
}

void tuner_record(write_size_tuner* tuner, size_t bytes, double seconds) {
    if (tuner->step < 0) {
        record_between_sweeps(tuner, bytes, seconds);
        return;
    }
    tuner->step_bytes += bytes;
    tuner->step_seconds += seconds;
    if (tuner->step_bytes >= step_length) end_step(tuner);
}
