#include "pipe/stream_writer.h"

#include <stdlib.h>
#include <string.h>

#include "clock.h"
#include "platform_threads.h"

// What the writer holds: a chunk and the units it completes (a staged
// chunk completes many).
struct queued_chunk {
    stream_chunk chunk;
    int units;
};

// Chunks handed over and written so far; chunk n waits in queue[n % slots].
// Guarded by the lock, as is quitting. A stage may wait there besides the
// caller's chunks.
enum { slots = STREAM_WRITER_DEPTH + 1 };
static queued_chunk queue[slots];
static unsigned long handed = 0;
static unsigned long written = 0;
static bool quitting = false;
static bool started = false;
static bool threaded = false;
static void (*on_written)(void*) = nullptr;
static void* written_context = nullptr;

// 1 MiB, the widened pipe's size: a stage fills it in one write.
enum { stage_size = 1 << 20, smallest_handed = stage_size / 16 };
// The most a staged byte waits, and the fetch after which the stage goes at
// once (see stream_writer.h).
static const double longest_stay = 1e-3;
// Two stages, allocated with the first small chunk: one fills while the
// writer writes the other.
static unsigned char* stages[2] = {nullptr, nullptr};
static int filling = 0;
static size_t staged_bytes = 0;
static int staged_units = 0;
static double staged_since = 0.0;
// The chunk number each stage was handed over as; it is free once written.
static unsigned long stage_handed_as[2] = {0, 0};
static bool stage_in_queue[2] = {false, false};

static void write_and_tell(const queued_chunk* queued) {
    if (queued->chunk.before != nullptr) queued->chunk.before(queued->chunk.context);
    write_stream_chunk(&queued->chunk);
    if (on_written != nullptr)
        for (int i = 0; i < queued->units; i++) on_written(written_context);
}

static void writer_loop(void) {
    lock_shared();
    for (;;) {
        while (written == handed && !quitting) wait_for_change();
        if (written == handed) break;
        // The slot stays as it is until written counts it.
        const queued_chunk* queued = &queue[written % slots];
        unlock_shared();
        write_and_tell(queued);
        lock_shared();
        written++;
        announce_change();
    }
    unlock_shared();
}

void stream_writer_begin(void (*written_step)(void*), void* context) {
    on_written = written_step;
    written_context = context;
}

// Queues a chunk for the thread, which starts with the first; without the
// thread, writes it here.
static void hand_over(const stream_chunk* chunk, int units) {
    queued_chunk queued = {*chunk, units};
    if (!started) {
        started = true;
        quitting = false;
        threaded = start_thread(writer_loop);
    }
    if (!threaded) {
        write_and_tell(&queued);
        return;
    }
    lock_shared();
    while (handed - written == slots) wait_for_change();
    queue[handed % slots] = queued;
    handed++;
    announce_change();
    unlock_shared();
}

// Hands the stage over, and waits until the other one is free to fill.
static void send_stage(void) {
    if (staged_bytes == 0) return;
    stream_chunk chunk = {};
    add_chunk_part(&chunk, stages[filling], 0, staged_bytes, 1);
    hand_over(&chunk, staged_units);
    stage_in_queue[filling] = threaded;
    stage_handed_as[filling] = handed - 1;
    filling = 1 - filling;
    staged_bytes = 0;
    staged_units = 0;
    if (!stage_in_queue[filling]) return;
    lock_shared();
    while (written <= stage_handed_as[filling]) wait_for_change();
    unlock_shared();
    stage_in_queue[filling] = false;
}

static size_t chunk_bytes(const stream_chunk* chunk) {
    size_t bytes = 0;
    for (int p = 0; p < chunk->count; p++) bytes += chunk->parts[p].row_size * (size_t)chunk->parts[p].count;
    return bytes;
}

static void stage(const stream_chunk* chunk, size_t bytes, double fetch_seconds) {
    if (staged_bytes + bytes > stage_size) send_stage();
    if (chunk->before != nullptr) {
        // Run here, as its bytes are copied, once every chunk handed over
        // before has been written: the stage that fills is then the one
        // write ahead of what is out, so a file of lines (a frame's
        // timestamp) is never more than that write ahead of the stream.
        if (threaded) {
            lock_shared();
            while (written != handed) wait_for_change();
            unlock_shared();
        }
        chunk->before(chunk->context);
    }
    unsigned char* at = stages[filling] + staged_bytes;
    for (int p = 0; p < chunk->count; p++) {
        const byte_rows& rows = chunk->parts[p];
        for (int y = 0; y < rows.count; y++, at += rows.row_size)
            memcpy(at, rows.first + y * rows.pitch, rows.row_size);
    }
    double now = monotonic_seconds();
    if (staged_bytes == 0) staged_since = now;
    staged_bytes += bytes;
    staged_units++;
    if (fetch_seconds >= longest_stay || now - staged_since >= longest_stay) send_stage();
}

// Without the memory for the stages every chunk is handed over.
static bool have_stages(void) {
    if (stages[1] != nullptr) return true;
    if (stages[0] == nullptr) stages[0] = (unsigned char*)malloc(stage_size);
    if (stages[0] != nullptr) stages[1] = (unsigned char*)malloc(stage_size);
    return stages[1] != nullptr;
}

bool stream_writer_hand(const stream_chunk* chunk, double fetch_seconds) {
    size_t bytes = chunk_bytes(chunk);
    if (bytes < smallest_handed && have_stages()) {
        stage(chunk, bytes, fetch_seconds);
        return true;
    }
    send_stage();
    hand_over(chunk, 1);
    return false;
}

void stream_writer_wait(int unwritten) {
    if (!threaded) return;
    lock_shared();
    while (handed - written > (unsigned long)unwritten) wait_for_change();
    unlock_shared();
}

void stream_writer_end(void) {
    // The last stage of a stream that never needed the thread is written
    // here.
    if (!started) started = true;
    send_stage();
    if (threaded) {
        lock_shared();
        quitting = true;
        announce_change();
        unlock_shared();
        join_thread();
    }
    threaded = false;
    started = false;
    stage_in_queue[0] = stage_in_queue[1] = false;
}
