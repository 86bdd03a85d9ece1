// Standard output for the binary streams. A frame or an audio step is one
// chunk: runs of rows where they lie (the frame marker, the planes, the
// sample buffer). On POSIX the rows go to the descriptor without a copy,
// gathered into as few writes as the pipe takes well; on Windows they pass
// through the C runtime's buffered stream, which copies them.
#ifndef ZVK_STREAM_OUT_H
#define ZVK_STREAM_OUT_H

#include <stddef.h>
#include <stdio.h>

// Where the stream goes: standard output until the driver hands the stream
// a descriptor of its own (take_stdout_for_stream in process_setup.h).
FILE* stream_file(void);
void set_stream_file(FILE* file);

// count rows of row_size bytes, the first at first, each pitch bytes after
// the one before.
struct byte_rows {
    const unsigned char* first;
    ptrdiff_t pitch;
    size_t row_size;
    int count;
};

// What one frame or audio step puts on standard output, in order. Six
// parts hold a Matroska unit: a block header, four planes, the audio.
enum { STREAM_CHUNK_PARTS = 6 };
struct stream_chunk {
    byte_rows parts[STREAM_CHUNK_PARTS];
    int count;
    // Run by the thread that writes the chunk, just before its bytes: what
    // must be out no later than they are (a frame's timestamp line).
    void (*before)(void* context);
    void* context;
};

// Adds a part of count rows (at most STREAM_CHUNK_PARTS per chunk); an
// empty one adds nothing.
void add_chunk_part(stream_chunk* chunk, const void* first, ptrdiff_t pitch, size_t row_size, int count);

// Writes every byte of the chunk before it returns: nothing of its memory is
// used afterwards. A write error is kept (standard_output_error), not
// acted on here.
void write_stream_chunk(const stream_chunk* chunk);

// The first error that lost bytes of standard output (a full disk, a
// file-size limit, a descriptor not open for writing), as an errno value; 0
// while there is none. A consumer that stops reading (a closed pipe) is no
// error: the run goes on as if it still read.
int standard_output_error(void);

// The status a run ends with, given the status it would end with and
// standard_output_error(): a run that went well fails with status 11 where
// standard output lost bytes; any other status stands.
int status_after_output(int status, int output_error);

// Flushes what standard output's buffer holds (a header, a report line),
// keeping its error.
void flush_standard_output(void);

// Says on standard error why standard output lost bytes.
void report_standard_output_error(void);

#endif
