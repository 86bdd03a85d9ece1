#include "output/stream_out.h"

#include <stdio.h>

#if defined(_WIN32)

// No gathered write on Windows: the C runtime's buffered stream does the
// gathering there.
void stream_write(const void* data, size_t size) { fwrite(data, 1, size, stdout); }

void stream_flush(void) {}

#else

#include <errno.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include "output/progress.h"
#include "output/write_size_tuner.h"

// Rows of a padded plane each take a segment: a large write of narrow rows
// needs many (the common IOV_MAX).
enum { stream_segments = 1024 };

static struct iovec held[stream_segments];
static int held_count = 0;
static size_t held_bytes = 0;
static write_size_tuner tuner;
static bool tuner_started = false;

// Writes the held segments. A write error drops them: a consumer that stops
// reading must not stop the run.
static void write_held(void) {
    // Anything the stream's own buffer holds (a header) goes first.
    fflush(stdout);
    size_t bytes = held_bytes;
    struct iovec* next = held;
    int left = held_count;
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
    held_count = 0;
    held_bytes = 0;
    tuner_record(&tuner, bytes, monotonic_seconds());
}

void stream_write(const void* data, size_t size) {
    if (!tuner_started) {
        tuner_start(&tuner);
        tuner_started = true;
    }
    const char* bytes = (const char*)data;
    while (size > 0) {
        size_t write_size = tuner_write_size(&tuner);
        size_t room = write_size - held_bytes;
        size_t piece = size < room ? size : room;
        struct iovec* last = held_count > 0 ? &held[held_count - 1] : nullptr;
        if (last != nullptr && (const char*)last->iov_base + last->iov_len == bytes) {
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

void stream_flush(void) {
    if (held_count > 0) write_held();
}

#endif
