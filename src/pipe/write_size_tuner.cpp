#include "pipe/write_size_tuner.h"

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
// sweep, over a watch of so many bytes (less would be the noise of a busy
// machine): then a sweep follows at once.
static const double drift = 3.0;
static const uint64_t watch_length = 32u << 20;
// Used until the first sweep has spoken: a good size on most machines.
static const int first_size = 4;  // 64 KiB
// Written before the first sweep: while the consumer starts up, every size
// looks slow.
static const uint64_t warm_up = 8u << 20;

size_t tuner_size(int index) { return (size_t)4096 << index; }

static void start_sweep(write_size_tuner* tuner) {
    tuner->step = 0;
    tuner->step_bytes = 0;
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
    tuner->watch_bytes = 0;
    tuner->watch_seconds = 0.0;
    for (int i = 0; i < TUNER_SIZES; i++) {
        tuner->bytes[i] = 0.0;
        tuner->seconds[i] = 0.0;
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
    tuner->watch_bytes = 0;
    tuner->watch_seconds = 0.0;
    tuner->step = -1;
}

// Between sweeps: the countdown to the next, and the watch on the size in
// use.
static void record_between_sweeps(write_size_tuner* tuner, size_t bytes, double seconds) {
    tuner->until_sweep = bytes < tuner->until_sweep ? tuner->until_sweep - bytes : 0;
    tuner->watch_bytes += bytes;
    tuner->watch_seconds += seconds;
    if (tuner->watch_bytes >= watch_length) {
        double cost = tuner->watch_seconds / (double)tuner->watch_bytes;
        if (tuner->in_use_cost > 0 &&
            (cost > tuner->in_use_cost * drift || cost * drift < tuner->in_use_cost)) {
            tuner->stretch = first_stretch;
            tuner->until_sweep = 0;
        }
        tuner->watch_bytes = 0;
        tuner->watch_seconds = 0.0;
    }
    if (tuner->until_sweep == 0) start_sweep(tuner);
}

void tuner_record(write_size_tuner* tuner, size_t bytes, double seconds) {
    if (tuner->step < 0) {
        record_between_sweeps(tuner, bytes, seconds);
        return;
    }
    int size = swept_size(tuner->step);
    tuner->bytes[size] += (double)bytes;
    tuner->seconds[size] += seconds;
    tuner->step_bytes += bytes;
    if (tuner->step_bytes < step_length) return;
    tuner->step_bytes = 0;
    if (++tuner->step == 2 * TUNER_SIZES) end_sweep(tuner);
}
