// The thread that writes the stream while the next frame or audio step is
// fetched. Every call into the AviSynth library stays on the thread that
// imported the script: this one only writes bytes it was handed, in the
// order handed. Two chunks may be in its hands: the one it writes, and the
// next, which it takes up without waiting for the other thread.
//
// Handing over costs two wake-ups a chunk. Where fetching costs next to
// nothing (a cached frame, a cheap audio step), that is all the overlap
// would bring, so the chunk is written at once by the thread that fetched
// it; as soon as fetching takes a tenth of the writing, chunks go to the
// writer again.
#ifndef ZVK_STREAM_WRITER_H
#define ZVK_STREAM_WRITER_H

#include "pipe/stream_out.h"

// Begins a stream: written(context) is called once for every chunk handed
// over, in order, as soon as its bytes are out, on whichever thread wrote
// it, never on two threads at once. The thread itself starts with the first
// chunk: a stream with nothing to write never starts it.
void stream_writer_begin(void (*written)(void* context), void* context);

// Hands a chunk over to be written, with the seconds its fetch took; returns
// at once, or once it is written. The memory it describes must stay as it
// is until a stream_writer_wait says the chunk is written. At most
// STREAM_WRITER_DEPTH chunks may be unwritten at a time. Where the thread
// cannot be started, chunks are written here: the same bytes, without the
// overlap.
enum { STREAM_WRITER_DEPTH = 2 };
void stream_writer_hand(const stream_chunk* chunk, double fetch_seconds);

// Returns once at most `unwritten` of the chunks handed over are still not
// written: the others, the oldest, are out.
void stream_writer_wait(int unwritten);

// Ends the stream once every chunk is written: the thread, if it started,
// has ended when this returns, so the process may end at once.
void stream_writer_end(void);

#endif
