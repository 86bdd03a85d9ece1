// The thread that writes the stream while the next frame or audio step is
// fetched. Every call into the AviSynth library stays on the thread that
// imported the script: this one only writes bytes it was handed. One chunk
// is in its hands at a time.
#ifndef ZVK_STREAM_WRITER_H
#define ZVK_STREAM_WRITER_H

#include "output/stream_out.h"

// Starts the thread, once per process. Where it cannot be started, chunks
// are written at once, in stream_writer_hand: the same bytes, without the
// overlap.
void stream_writer_start(void);

// Hands a chunk over to be written; returns at once. The memory it describes
// must stay as it is until stream_writer_wait has returned. Only after
// stream_writer_wait may the next chunk be handed.
void stream_writer_hand(const stream_chunk* chunk);

// Returns once every byte handed over has been written.
void stream_writer_wait(void);

#endif
