// Standard output for the binary streams. A frame or an audio step is one
// chunk: runs of rows where they lie (the frame marker, the planes, the
// sample buffer). On POSIX the rows go to the descriptor without a copy,
// gathered into writes of the size that measures fastest
// (write_size_tuner.h); on Windows they pass through the C runtime's
// buffered stream, which copies them.
#ifndef ZVK_STREAM_OUT_H
#define ZVK_STREAM_OUT_H

#include <stddef.h>

// count rows of row_size bytes, the first at first, each pitch bytes after
// the one before.
struct byte_rows {
    const unsigned char* first;
    ptrdiff_t pitch;
    size_t row_size;
    int count;
};

// What one frame or audio step puts on standard output, in order.
enum { STREAM_CHUNK_PARTS = 4 };
struct stream_chunk {
    byte_rows parts[STREAM_CHUNK_PARTS];
    int count;
};

// Adds a part of count rows (at most STREAM_CHUNK_PARTS per chunk); an
// empty one adds nothing.
void add_chunk_part(stream_chunk* chunk, const void* first, ptrdiff_t pitch, size_t row_size, int count);

// Writes every byte of the chunk before it returns: nothing of its memory is
// used afterwards. Write errors are ignored: a consumer that stops reading
// must not stop the run.
void write_stream_chunk(const stream_chunk* chunk);

#endif
