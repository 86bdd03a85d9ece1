// Paces the writes into a pipe whose reader takes small bites and is
// slower than the writer. Into a full pipe every read of such a reader
// wakes the blocked writer, and on a virtual machine each wake-up costs the
// reader up to a tenth of its time. A paced writer never waits in the pipe:
// it keeps the pipe between a floor and a ceiling, small enough that what
// the reader takes is still in the caches, writing while it is under the
// ceiling and sleeping, between, the time the reader needs to take it down
// to the floor. The reader then almost always finds bytes and never has a
// writer to wake.
//
// Pacing starts when a chunk written the plain way made the writer wait in
// the pipe more often than once per 16 KiB, at less than 1.2 GB/s, and only
// in a pipe of 640 KiB or more (the widened one). It ends, and the writes
// block again as anywhere else, when the reader empties the pipe while it
// is filled or turns faster than this machine's sleeps can follow, when it
// takes nothing for 200 ms (it stopped, or went), or when sleeps overshoot
// so often that the pipe keeps running dry. After an end, more chunks go
// the plain way each time before pacing may start again. The decisions are
// here; the system calls are the caller's.
#ifndef ZVK_PIPE_PACER_H
#define ZVK_PIPE_PACER_H

#include <stddef.h>

struct pipe_pacer {
    size_t capacity;        // the pipe's size; too small: never paced
    bool on;                // pacing the writes
    double drain_rate;      // bytes per second the reader takes, lately
    size_t room;            // bytes that fit under the ceiling for sure
    size_t looked_queued;   // the pipe held this much at the last look
    double looked_at;       // then
    size_t written_since;   // and this much was written since
    bool slept;             // a sleep came since the last look
    double stalled_since;   // the reader has taken nothing since; -1: it takes
    int looks_after_sleep;  // in this window of looks
    int dry_after_sleep;    // of them, those that found the pipe empty
    int chunks_to_wait;     // plain ones before pacing may start again
    int wait_after_end;     // the wait after the next end
};

// The largest write while paced: the pipe's lock, which the reader waits
// for, is held for the copy of one page.
enum { PACED_WRITE_SIZE = 4096 };

// capacity: the pipe's size in bytes, 0 when standard output is no pipe.
void pacer_start(pipe_pacer* pacer, size_t capacity);

// A chunk of bytes went the plain way in seconds, the writer waiting in the
// pipe waits times (-1: unknown). Pacing may start.
void pacer_chunk_written(pipe_pacer* pacer, size_t bytes, double seconds, long waits);

// Whether a write of bytes surely fits under the ceiling without a look at
// the pipe.
bool pacer_fits(const pipe_pacer* pacer, size_t bytes);

// The pipe held queued bytes at now, before a write of bytes. Returns the
// seconds to sleep before the next look, or 0: write now (paced, or, once
// pacing ended here, the plain way).
double pacer_look(pipe_pacer* pacer, size_t queued, double now, size_t bytes);

// bytes were written while paced.
void pacer_wrote(pipe_pacer* pacer, size_t bytes);

// The pipe cannot be looked at: pacing ends for good.
void pacer_stop(pipe_pacer* pacer);

#endif
