// Standard output's writes on POSIX: the rows go to the descriptor without
// a copy, gathered into as few writes as the pipe takes well.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "pipe/stream_out.h"
#include "pipe/stream_write.h"

bool is_closed_pipe(int error) { return error == EPIPE; }

// Rows of a padded plane each take a segment: a large write of narrow rows
// needs many (the common IOV_MAX).
enum { stream_segments = 1024 };

static struct iovec held[stream_segments];
static int held_count = 0;
static size_t held_bytes = 0;
// The most bytes one write takes; 0 until the first chunk.
static size_t write_size = 0;

// Writes the held segments. A write error drops them, and is kept.
static void write_held(void) {
    // Anything the stream's own buffer holds (the header) goes first.
    flush_standard_output();
    int descriptor = fileno(stream_file());
    struct iovec* next = held;
    int left = held_count;
    while (left > 0) {
        ssize_t written = writev(descriptor, next, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                struct pollfd ready = {descriptor, POLLOUT, 0};
                poll(&ready, 1, -1);
                continue;
            }
            keep_output_error(errno);
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
    held_count = 0;
    held_bytes = 0;
}

static void hold(const unsigned char* bytes, size_t size) {
    while (size > 0) {
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

// A pipe of Linux's default size (64 KiB) holds a fiftieth of a 1080p frame:
// the writer blocks, and is woken again, every few pages the reader takes,
// and each wake-up costs both sides. In a pipe of 1 MiB, the most an
// ordinary user may ask for by default, each runs on for longer. A pipe
// already larger stays so, and one the system refuses to enlarge (the
// user's allowance for pipe memory is spent) stays as it is. Returns the
// pipe's size; 0 when the system does not say.
static size_t widen_pipe(int descriptor) {
#if defined(F_SETPIPE_SZ)
    static const int wanted = 1 << 20;
    int size = fcntl(descriptor, F_GETPIPE_SZ);
    if (size > 0 && size < wanted && fcntl(descriptor, F_SETPIPE_SZ, wanted) >= 0)
        size = fcntl(descriptor, F_GETPIPE_SZ);
    return size > 0 ? (size_t)size : 0;
#else
    (void)descriptor;
    return 0;
#endif
}

// Into a file, or a pipe that holds a whole frame's worth of pages, a
// chunk goes in as few calls as its segments allow. Into a pipe of a few
// pages a write larger than the room left keeps the writer in the kernel,
// woken at every read, and 64 KiB writes took three times as long as the
// page writes of a stdio program: there a write is one page.
static size_t chosen_write_size(int descriptor) {
    struct stat status;
    bool pipe = fstat(descriptor, &status) == 0 && S_ISFIFO(status.st_mode);
    if (!pipe) return (size_t)-1;
    return widen_pipe(descriptor) >= (1u << 20) ? (size_t)-1 : 4096;
}

void write_stream_chunk(const stream_chunk* chunk) {
    if (write_size == 0) write_size = chosen_write_size(fileno(stream_file()));
    for (int p = 0; p < chunk->count; p++) {
        const byte_rows& rows = chunk->parts[p];
        for (int y = 0; y < rows.count; y++) hold(rows.first + y * rows.pitch, rows.row_size);
    }
    if (held_count > 0) write_held();
}
