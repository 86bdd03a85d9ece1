// The thread that writes the stream while the next frame or audio step is
// fetched. Every call into the AviSynth library stays on the thread that
// imported the script: this one only writes bytes it was handed, in the
// order handed.
//
// Handing a chunk over costs two wake-ups, some 20 microseconds each on a
// virtual machine: a frame of a few KiB would spend more on them than on
// its bytes. So a chunk smaller than a stage's sixteenth is copied into the
// stage instead (the copy takes less than one wake-up), and the stage goes
// over as one chunk once the next does not fit, once its first bytes have
// waited a millisecond (a hand-over a millisecond at most), or after a
// fetch of that long (fetching, not the writer, then sets the pace). The
// look is taken as a chunk is staged: a staged chunk may also wait out the
// one fetch after it, however long, before it goes.
#ifndef ZVK_STREAM_WRITER_H
#define ZVK_STREAM_WRITER_H

#include "pipe/stream_out.h"

// Begins a stream: written(context) is called once for every chunk handed
// over, in order, as soon as its bytes are out, on whichever thread wrote
// it, never on two threads at once. The thread itself starts with the first
// chunk that goes to it: a stream with nothing to write never starts it.
void stream_writer_begin(void (*written)(void* context), void* context);

// Hands a chunk over to be written, with the seconds its fetch took;
// returns at once. True: it was copied, and its memory is free. False: the
// memory it describes must stay as it is until a stream_writer_wait says
// the chunk is written; at most STREAM_WRITER_DEPTH such chunks may be
// unwritten at a time. Where the thread cannot be started, chunks are
// written here: the same bytes, without the overlap.
enum { STREAM_WRITER_DEPTH = 2 };
bool stream_writer_hand(const stream_chunk* chunk, double fetch_seconds);

// Returns once at most `unwritten` of the chunks handed over are still not
// written: the others, the oldest, are out.
void stream_writer_wait(int unwritten);

// Ends the stream once every chunk is written: the thread, if it started,
// has ended when this returns, so the process may end at once.
void stream_writer_end(void);

#endif
