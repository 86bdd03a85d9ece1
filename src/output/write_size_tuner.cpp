#include "output/write_size_tuner.h"

// Bytes over which each of the two sizes is timed before they are compared.
static const size_t measured_bytes = 4u << 20;
// Bytes before the first try, and the most between two tries.
static const size_t first_stretch = 32u << 20;
static const size_t longest_stretch = 2048u << 20;
// The other size must be this much faster to be taken: noise must not
// make the choice swing.
static const double margin = 1.15;

static const size_t write_sizes[2] = {TUNER_SMALL_WRITE, TUNER_LARGE_WRITE};

void tuner_start(write_size_tuner* tuner) {
    tuner->size_index = 0;
    tuner->phase = TUNER_RUNNING;
    tuner->stretch = first_stretch;
    tuner->written = 0;
    tuner->mark_time = 0.0;
    tuner->baseline = 0.0;
}

size_t tuner_write_size(const write_size_tuner* tuner) {
    int index = tuner->phase == TUNER_TRYING ? 1 - tuner->size_index : tuner->size_index;
    return write_sizes[index];
}

static void next_phase(write_size_tuner* tuner, tuner_phase phase, double now) {
    tuner->phase = phase;
    tuner->written = 0;
    tuner->mark_time = now;
}

void tuner_record(write_size_tuner* tuner, size_t bytes, double now) {
    tuner->written += bytes;
    switch (tuner->phase) {
    case TUNER_RUNNING:
        if (tuner->written + measured_bytes >= tuner->stretch) next_phase(tuner, TUNER_TIMING, now);
        break;
    case TUNER_TIMING:
        if (tuner->written < measured_bytes) break;
        tuner->baseline = (now - tuner->mark_time) / (double)tuner->written;
        next_phase(tuner, TUNER_TRYING, now);
        break;
    case TUNER_TRYING: {
        if (tuner->written < measured_bytes) break;
        double tried = (now - tuner->mark_time) / (double)tuner->written;
        if (tried * margin < tuner->baseline) {
            tuner->size_index = 1 - tuner->size_index;
            tuner->stretch = first_stretch;
        } else if (tuner->stretch < longest_stretch) {
            tuner->stretch *= 2;
        }
        next_phase(tuner, TUNER_RUNNING, now);
        break;
    }
    }
}
