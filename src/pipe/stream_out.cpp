#include "pipe/stream_out.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <atomic>

#include "exit_status.h"
#include "pipe/stream_write.h"

// Written by whichever thread writes, read at the unit boundary.
static std::atomic<int> output_error(0);

void keep_output_error(int error) {
    if (is_closed_pipe(error)) return;
    int none = 0;
    output_error.compare_exchange_strong(none, error != 0 ? error : EIO);
}

int standard_output_error(void) { return output_error.load(); }

int status_after_output(int status, int lost) {
    return status == STATUS_DONE && lost != 0 ? STATUS_OUTPUT_FAILED : status;
}

static FILE* stream = nullptr;

FILE* stream_file(void) { return stream != nullptr ? stream : stdout; }
void set_stream_file(FILE* file) { stream = file; }

void flush_standard_output(void) {
    FILE* out = stream_file();
    errno = 0;
    if (fflush(out) != 0) keep_output_error(errno);
    // A write that failed before (a row larger than the buffer) was kept
    // where it failed.
    clearerr(out);
}

void report_standard_output_error(void) {
    fprintf(stderr, "failed to write standard output: %s\n", strerror(standard_output_error()));
}

void add_chunk_part(stream_chunk* chunk, const void* first, ptrdiff_t pitch, size_t row_size, int count) {
    // Empty rows have nothing to point at, not even a pointer.
    if (row_size == 0 || count <= 0) return;
    byte_rows& part = chunk->parts[chunk->count++];
    part.first = (const unsigned char*)first;
    part.pitch = pitch;
    part.row_size = row_size;
    part.count = count;
}
