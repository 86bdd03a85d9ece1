#include "pipe/stream_out.h"

#include <stdio.h>

void add_chunk_part(stream_chunk* chunk, const void* first, ptrdiff_t pitch, size_t row_size, int count) {
    // Empty rows have nothing to point at, not even a pointer.
    if (row_size == 0 || count <= 0) return;
    byte_rows& part = chunk->parts[chunk->count++];
    part.first = (const unsigned char*)first;
    part.pitch = pitch;
    part.row_size = row_size;
    part.count = count;
}

#if defined(_WIN32)

void write_stream_chunk(const stream_chunk* chunk) {
    for (int p = 0; p < chunk->count; p++) {
        const byte_rows& rows = chunk->parts[p];
        for (int y = 0; y < rows.count; y++) fwrite(rows.first + y * rows.pitch, 1, rows.row_size, stdout);
    }
    // A frame counts as done once its bytes are written: none wait in the
    // buffer for the next one.
    fflush(stdout);
}

#else

#include <errno.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include "clock.h"
#include "pipe/write_size_tuner.h"

// Rows of a padded plane each take a segment: a large write of narrow rows
// needs many (the common IOV_MAX).
enum { stream_segments = 1024 };

static struct iovec held[stream_segments];
static int held_count = 0;
static size_t held_bytes = 0;
static write_size_tuner tuner;
static bool tuner_started = false;

// Writes the held segments, timing the writes alone for the tuner. A write
// error drops them.
static void write_held(void) {
    // Anything the stream's own buffer holds (the header) goes first.
    fflush(stdout);
    size_t bytes = held_bytes;
    struct iovec* next = held;
    int left = held_count;
    double start = monotonic_seconds();
    while (left > 0) {
        ssize_t written = writev(STDOUT_FILENO, next, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                struct pollfd out = {STDOUT_FILENO, POLLOUT, 0};
                poll(&out, 1, -1);
                continue;
            }
            break;
        }
        while (left > 0 && (size_t)written >= next->iov_len) {
            written -= (ssize_t)next->iov_len;
            next++;
            left--;
        }
        if (left > 0) {
            next->iov_base = (char*)next->iov_base + written;
            next->iov_len -= (size_t)written;
        }
    }
    tuner_record(&tuner, bytes, monotonic_seconds() - start);
    held_count = 0;
    held_bytes = 0;
}

static void hold(const unsigned char* bytes, size_t size) {
    while (size > 0) {
        size_t write_size = tuner_write_size(&tuner);
        size_t room = write_size - held_bytes;
        size_t piece = size < room ? size : room;
        struct iovec* last = held_count > 0 ? &held[held_count - 1] : nullptr;
        if (last != nullptr && (const unsigned char*)last->iov_base + last->iov_len == bytes) {
            // Contiguous with what is held (rows of a plane without padding).
            last->iov_len += piece;
        } else {
            held[held_count].iov_base = (void*)bytes;
            held[held_count].iov_len = piece;
            held_count++;
        }
        held_bytes += piece;
        bytes += piece;
        size -= piece;
        if (held_bytes == write_size || held_count == stream_segments) write_held();
    }
}

void write_stream_chunk(const stream_chunk* chunk) {
    if (!tuner_started) {
        tuner_start(&tuner);
        tuner_started = true;
    }
    for (int p = 0; p < chunk->count; p++) {
        const byte_rows& rows = chunk->parts[p];
        for (int y = 0; y < rows.count; y++) hold(rows.first + y * rows.pitch, rows.row_size);
    }
    if (held_count > 0) write_held();
}

#endif
