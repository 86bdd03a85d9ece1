#include "output/write_size_tuner.h"

// Each size is written in each direction of a sweep for at least this many
// bytes and this much write time: shorter figures are mostly scheduling noise.
static const uint64_t step_length = 2u << 20;
static const double step_time = 0.002;
// Bytes before the second sweep, and the most between two sweeps.
static const uint64_t first_stretch = 64u << 20;
static const uint64_t longest_stretch = (uint64_t)4 << 30;
// Another size must be this much faster to replace the one in use: noise
// must not make the choice swing.
static const double margin = 1.05;
// Used until the first sweep has spoken: a good size on most machines.
static const int first_size = 4;  // 64 KiB

size_t tuner_size(int index) { return (size_t)4096 << index; }

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
    tuner->stretch = first_stretch;
    tuner->until_sweep = 0;
    for (int i = 0; i < TUNER_SIZES; i++) {
        tuner->bytes[i] = 0.0;
        tuner->seconds[i] = 0.0;
    }
    start_sweep(tuner);
}

// Up through the sizes, then back down.
static int swept_size(int step) { return step < TUNER_SIZES ? step : 2 * TUNER_SIZES - 1 - step; }

size_t tuner_write_size(const write_size_tuner* tuner) {
    return tuner_size(tuner->step >= 0 ? swept_size(tuner->step) : tuner->in_use);
}

static void end_sweep(write_size_tuner* tuner) {
    double cost[TUNER_SIZES];
    for (int i = 0; i < TUNER_SIZES; i++)
        cost[i] = tuner->bytes[i] > 0 ? tuner->seconds[i] / tuner->bytes[i] : 0.0;
    int fastest = tuner->in_use;
    for (int i = 0; i < TUNER_SIZES; i++)
        if (cost[i] < cost[fastest]) fastest = i;
    if (cost[fastest] * margin < cost[tuner->in_use]) {
        tuner->in_use = fastest;
        tuner->stretch = first_stretch;
    } else if (tuner->stretch < longest_stretch) {
        tuner->stretch *= 2;
    }
    tuner->until_sweep = tuner->stretch;
    tuner->step = -1;
}

void tuner_record(write_size_tuner* tuner, size_t bytes, double seconds) {
    if (tuner->step < 0) {
        tuner->until_sweep = bytes < tuner->until_sweep ? tuner->until_sweep - bytes : 0;
        if (tuner->until_sweep == 0) start_sweep(tuner);
        return;
    }
    int size = swept_size(tuner->step);
    tuner->bytes[size] += (double)bytes;
    tuner->seconds[size] += seconds;
    tuner->step_bytes += bytes;
    tuner->step_seconds += seconds;
    if (tuner->step_bytes < step_length || tuner->step_seconds < step_time) return;
    tuner->step_bytes = 0;
    tuner->step_seconds = 0.0;
    if (++tuner->step == 2 * TUNER_SIZES) end_sweep(tuner);
}
