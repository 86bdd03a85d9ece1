// Chooses the size of the writes into standard output by measuring them.
// Into a pipe, the best size depends on where the consumer runs: on another
// CPU, writes of two pages ran five times faster than writes of 256 KiB to
// 1 MiB; on the same CPU, those ran half again as fast as two pages. The
// tuner keeps one size, now and then tries the other over a short stretch,
// and keeps the faster; a try that loses makes the next one come later, so
// a settled stream pays little for asking.
#ifndef ZVK_WRITE_SIZE_TUNER_H
#define ZVK_WRITE_SIZE_TUNER_H

#include <stddef.h>

enum { TUNER_SMALL_WRITE = 8192, TUNER_LARGE_WRITE = 1048576 };

enum tuner_phase {
    TUNER_RUNNING,  // writing with the size in use
    TUNER_TIMING,   // timing the size in use, just before a try
    TUNER_TRYING,   // timing the other size
};

struct write_size_tuner {
    int size_index;     // of the size in use: 0 small, 1 large
    tuner_phase phase;
    size_t stretch;     // bytes between two tries
    size_t written;     // bytes written in the current phase
    double mark_time;   // when the current phase began
    double baseline;    // seconds per byte of the size in use, before the try
};

void tuner_start(write_size_tuner* tuner);

// The size to use for the next write.
size_t tuner_write_size(const write_size_tuner* tuner);

// Records a completed write of bytes, ending at time now (seconds).
void tuner_record(write_size_tuner* tuner, size_t bytes, double now);

#endif
