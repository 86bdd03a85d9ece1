// Chooses the size of the writes into standard output by measuring them on
// the machine the runner runs on. Into a pipe the best size depends on the
// machine and on where the consumer runs: writes of two pages have run five
// times faster than writes of 1 MiB with the consumer on another CPU, and
// half as fast with both on one CPU; on other machines 16 to 64 KiB won.
// So every size from 4 KiB to 1 MiB is timed now and then, on the writes
// alone (fetching frames is not the pipe's cost), in a sweep up and back
// down so that a drifting pipe favours none. A sweep's figures join those of
// the sweeps before, which count half as much at each new sweep: one noisy
// sweep cannot swing the choice. The fastest size is kept until the next
// sweep, which comes later each time the choice holds, or at once when the
// size in use turns much slower or faster than it was: the machine changed.
#ifndef ZVK_WRITE_SIZE_TUNER_H
#define ZVK_WRITE_SIZE_TUNER_H

#include <stddef.h>
#include <stdint.h>

enum { TUNER_SIZES = 9 };  // 4 KiB, 8 KiB, ... 1 MiB

// The write size of index 0 to TUNER_SIZES - 1.
size_t tuner_size(int index);

struct write_size_tuner {
    int in_use;                   // index of the size used between sweeps
    double in_use_cost;           // its seconds per byte at the last sweep; 0 before any
    int step;                     // of the sweep, 0 to 2 * TUNER_SIZES - 1; -1 between sweeps
    uint64_t step_bytes;          // written in this step so far
    double bytes[TUNER_SIZES];    // written with each size in the sweeps, weighted
    double seconds[TUNER_SIZES];  // and the time those writes took, weighted alike
    uint64_t until_sweep;         // bytes left before the next sweep
    uint64_t stretch;             // bytes between two sweeps
    uint64_t watch_bytes;         // written with the size in use since the watch began
    double watch_seconds;         // and the time those writes took
};

// Starts with 64 KiB writes; the first sweep comes after 8 MiB.
void tuner_start(write_size_tuner* tuner);

// The size to use for the next write.
size_t tuner_write_size(const write_size_tuner* tuner);

// Records a completed write of bytes that took seconds.
void tuner_record(write_size_tuner* tuner, size_t bytes, double seconds);

#endif
