// The pacer against a simulated pipe: a reader that drains it at a rate
// the test sets, a writer of one page at a time that sleeps as the pacer
// says, and timers that overshoot.
#include <gtest/gtest.h>

#include <functional>

#include "pipe/pipe_pacer.h"

namespace {

const size_t KiB = 1024, MiB = 1024 * 1024;
const size_t page = PACED_WRITE_SIZE;

struct simulated_pipe {
    size_t capacity = MiB;
    double now = 0;
    double queued = 0;
    std::function<double(double)> rate;  // bytes per second at a time
    double overshoot = 50e-6;            // of every sleep
    double starved = 0;                  // seconds the reader found it empty
    size_t highest = 0;                  // the most it held after a write
    int full_writes = 0;                 // writes that would have blocked
    int looks = 0;                       // system calls of their own
};

void pass(simulated_pipe* pipe, double seconds) {
    double r = pipe->rate(pipe->now), wanted = r * seconds;
    if (wanted > pipe->queued) {
        pipe->starved += r > 0 ? (wanted - pipe->queued) / r : 0;
        pipe->queued = 0;
    } else {
        pipe->queued -= wanted;
    }
    pipe->now += seconds;
}

// Writes total bytes a page at a time the way the stream does while
// paced; returns the bytes written before pacing ended.
size_t paced_stream(pipe_pacer* pacer, simulated_pipe* pipe, size_t total) {
    size_t written = 0;
    // Ten seconds of the stream: a pacer that never ends has failed.
    while (written < total && pacer->on && pipe->now < 10) {
        while (!pacer_fits(pacer, page) && pipe->now < 10) {
            double seconds = pacer_look(pacer, (size_t)pipe->queued, pipe->now, page);
            pipe->looks++;
            if (seconds > 0) pass(pipe, seconds + pipe->overshoot);
        }
        if (!pacer->on) break;
        if (pipe->queued + page > pipe->capacity) pipe->full_writes++;
        pipe->queued += page;
        if ((size_t)pipe->queued > pipe->highest) pipe->highest = (size_t)pipe->queued;
        pacer_wrote(pacer, page);
        pass(pipe, 1e-6);  // the copy
        written += page;
    }
    return written;
}

// A 1080p frame written the plain way into a full 1 MiB pipe, the writer
// woken waits times over seconds.
const size_t frame = 3110406;

TEST(PipePacer, StartsOnlyForASlowReaderOfSmallBites) {
    struct {
        const char* reader;
        size_t capacity, bytes;
        double seconds;
        long waits;
        bool paced;
    } cases[] = {
        {"4 KiB bites at 0.6 GB/s", MiB, frame, frame / 0.6e9, 600, true},
        {"16 KiB bites", MiB, frame, frame / 0.6e9, 150, false},
        {"a frame at a time (an encoder)", MiB, frame, frame / 0.2e9, 3, false},
        {"4 KiB bites at 2 GB/s", MiB, frame, frame / 2e9, 700, false},
        {"a pipe of the default 64 KiB", 64 * KiB, frame, frame / 0.6e9, 600, false},
        {"no pipe", 0, frame, frame / 0.6e9, 600, false},
        {"waits unknown", MiB, frame, frame / 0.6e9, -1, false},
        {"a chunk too small to say", MiB, 64 * KiB, 64 * KiB / 0.6e9, 16, false},
    };
    for (const auto& c : cases) {
        pipe_pacer pacer;
        pacer_start(&pacer, c.capacity);
        pacer_chunk_written(&pacer, c.bytes, c.seconds, c.waits);
        EXPECT_EQ(pacer.on, c.paced) << c.reader;
    }
}

// Paced, the reader always finds bytes and the writer never meets a full
// pipe, from the first look at the full pipe the plain chunk left on.
TEST(PipePacer, FeedsASlowReaderWithoutBlocking) {
    for (double rate : {0.2e9, 0.6e9, 1.0e9}) {
        pipe_pacer pacer;
        pacer_start(&pacer, MiB);
        // The plain chunk's rate understates the reader: it paid for the
        // wake-ups.
        pacer_chunk_written(&pacer, frame, frame / (rate * 0.8), 600);
        ASSERT_TRUE(pacer.on) << rate;
        simulated_pipe pipe;
        pipe.queued = (double)MiB;
        pipe.rate = [rate](double) { return rate; };
        size_t total = 200 * MiB;
        EXPECT_EQ(paced_stream(&pacer, &pipe, total), total) << rate;
        EXPECT_EQ(pipe.full_writes, 0) << rate;
        EXPECT_LE(pipe.highest, 320 * KiB) << rate;
        // The first sleep may overshoot, on the rate the plain chunk gave.
        EXPECT_LT(pipe.starved, pipe.now * 0.001) << rate;
        // A look per fill and one per sleep, not one per page near the
        // ceiling.
        EXPECT_LE(pipe.looks, (int)(14 * total / MiB)) << rate;
    }
}

// Pacing ends, so that the writes block (or fail) as they would unpaced,
// once it would keep the reader waiting or the writer sleeping for
// nothing; and it does not start again at the next chunk.
TEST(PipePacer, EndsWhenItWouldHurt) {
    struct {
        const char* reader;
        std::function<double(double)> rate;
        double overshoot;
        double ended_within;  // seconds of the stream
    } cases[] = {
        {"stops reading after 50 ms", [](double t) { return t < 0.05 ? 0.6e9 : 0.0; }, 50e-6, 0.05 + 0.215},
        {"turns fast after 50 ms", [](double t) { return t < 0.05 ? 0.6e9 : 1.5e9; }, 50e-6, 0.05 + 0.005},
        {"timers that overshoot by 1 ms", [](double) { return 0.6e9; }, 1e-3, 0.05},
    };
    for (const auto& c : cases) {
        pipe_pacer pacer;
        pacer_start(&pacer, MiB);
        pacer_chunk_written(&pacer, frame, frame / 0.5e9, 600);
        ASSERT_TRUE(pacer.on) << c.reader;
        simulated_pipe pipe;
        pipe.rate = c.rate;
        pipe.overshoot = c.overshoot;
        paced_stream(&pacer, &pipe, 1000 * MiB);
        EXPECT_FALSE(pacer.on) << c.reader;
        EXPECT_LT(pipe.now, c.ended_within) << c.reader;
        pacer_chunk_written(&pacer, frame, frame / 0.5e9, 600);
        EXPECT_FALSE(pacer.on) << c.reader << ": started again at once";
    }
}

// A look that fails (no pipe after all) ends pacing for good.
TEST(PipePacer, StopsForGood) {
    pipe_pacer pacer;
    pacer_start(&pacer, MiB);
    pacer_chunk_written(&pacer, frame, frame / 0.5e9, 600);
    ASSERT_TRUE(pacer.on);
    pacer_stop(&pacer);
    EXPECT_TRUE(pacer_fits(&pacer, page));
    for (int i = 0; i < 4096; i++) pacer_chunk_written(&pacer, frame, frame / 0.5e9, 600);
    EXPECT_FALSE(pacer.on);
}

}  // namespace
