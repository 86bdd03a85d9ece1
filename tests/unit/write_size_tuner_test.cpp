// The write size policy against a simulated pipe whose cost per byte for
// each size the test sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "pipe/write_size_tuner.h"

namespace {

const uint64_t MiB = 1u << 20;

struct simulated_pipe {
    double seconds_per_byte[TUNER_SIZES];
    uint64_t bytes[TUNER_SIZES] = {};
};

int index_of(size_t size) {
    for (int i = 0; i < TUNER_SIZES; i++)
        if (tuner_size(i) == size) return i;
    ADD_FAILURE() << "size " << size << " is not a candidate";
    return 0;
}

// Writes total bytes through the tuner; returns the size in use between
// sweeps at the end.
size_t stream(write_size_tuner* tuner, simulated_pipe* pipe, uint64_t total) {
    for (uint64_t done = 0; done < total;) {
        size_t size = tuner_write_size(tuner);
        int i = index_of(size);
        pipe->bytes[i] += size;
        tuner_record(tuner, size, (double)size * pipe->seconds_per_byte[i]);
        done += size;
    }
    return tuner_size(tuner->in_use);
}

// Cost per byte with its minimum at size index best, rising a quarter a step
// on either side.
simulated_pipe valley(int best) {
    simulated_pipe pipe;
    for (int i = 0; i < TUNER_SIZES; i++) pipe.seconds_per_byte[i] = 1.0 + 0.25 * abs(i - best);
    return pipe;
}

TEST(WriteSizeTuner, CandidatesFrom4KiBTo1MiB) {
    EXPECT_EQ(tuner_size(0), 4096u);
    EXPECT_EQ(tuner_size(TUNER_SIZES - 1), 1048576u);
}

// Whichever size the machine favours, the first sweep finds it and a long
// stream goes almost entirely at that size, with sweeps ever rarer.
TEST(WriteSizeTuner, FindsTheFastestSizeOfThePipe) {
    for (int best = 0; best < TUNER_SIZES; best++) {
        write_size_tuner tuner;
        tuner_start(&tuner);
        simulated_pipe pipe = valley(best);
        EXPECT_EQ(stream(&tuner, &pipe, 8192 * MiB), tuner_size(best)) << best;
        uint64_t elsewhere = 0;
        for (int i = 0; i < TUNER_SIZES; i++)
            if (i != best) elsewhere += pipe.bytes[i];
        // 8 MiB of 64 KiB writes first, then sweeps after 8, 81, 218, 483,
        // ... 8190 MiB: 8 of 8 MiB elsewhere.
        EXPECT_LE(elsewhere, 8 * MiB + 8 * 8 * MiB) << best;
        EXPECT_EQ(tuner.stretch, (uint64_t)4096 * MiB) << best;
    }
}

TEST(WriteSizeTuner, SmallDifferencesDoNotSwing) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe;
    size_t first = tuner_size(tuner.in_use);  // before any sweep has spoken
    for (int i = 0; i < TUNER_SIZES; i++) pipe.seconds_per_byte[i] = tuner_size(i) == first ? 1.0 : 0.97;
    EXPECT_EQ(stream(&tuner, &pipe, 2048 * MiB), first);
}

// A time that drifts during a sweep must not favour the sizes timed first:
// each size is timed once on the way up and once on the way down.
TEST(WriteSizeTuner, DriftDuringASweepFavoursNone) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    double now = 0;
    for (uint64_t done = 0; done < 36 * MiB;) {
        size_t size = tuner_write_size(&tuner);
        // Every size costs the same, at a price that keeps rising, except
        // 128 KiB, which is 10% cheaper.
        double price = (1.0 + now / (36.0 * MiB)) * (size == 131072 ? 0.9 : 1.0);
        tuner_record(&tuner, size, (double)size * price);
        now += size;
        done += size;
    }
    EXPECT_EQ(tuner_write_size(&tuner), 131072u);
}

// When the size in use turns much slower (or faster) than the sweep found
// it, a sweep follows at once, not after the stretch the choice had earned.
TEST(WriteSizeTuner, AChangedMachineIsSweptAtOnce) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe = valley(TUNER_SIZES - 1);
    // The fifth sweep ends at 1058 MiB: the next is due 1 GiB later.
    stream(&tuner, &pipe, 1100 * MiB);
    ASSERT_EQ(tuner_size(tuner.in_use), tuner_size(TUNER_SIZES - 1));
    ASSERT_EQ(tuner.stretch, (uint64_t)1024 * MiB);
    simulated_pipe changed = valley(1);
    for (int i = 0; i < TUNER_SIZES; i++) changed.seconds_per_byte[i] *= 3;
    EXPECT_EQ(stream(&tuner, &changed, 64 * MiB), tuner_size(1));
}

TEST(WriteSizeTuner, FollowsAMachineThatChanges) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe = valley(TUNER_SIZES - 1);
    EXPECT_EQ(stream(&tuner, &pipe, 256 * MiB), tuner_size(TUNER_SIZES - 1));
    simulated_pipe changed = valley(1);
    EXPECT_EQ(stream(&tuner, &changed, 4096 * MiB), tuner_size(1));
}

// A pipe of 64 KiB between the writer and a reader on another CPU, in
// time. Each side holds the pipe while it copies (the writer until its write
// is in or the pipe is full), and a side that had to sleep (the writer on a
// full pipe, the reader on an empty one) wakes some time after the other
// let it. A write returns as soon as its bytes are in the pipe: what it cost
// the stream shows partly in later writes.
struct pipe_in_time {
    double write_call, write_byte;  // the writer's cost per write and per byte
    double read_call, read_byte;    // the reader's per read and per byte
    double wake;                    // a sleeper's delay after the other side lets it go
    size_t read_size;               // the most one read takes
    double writer = 0, reader = 0;  // when each side is next free
    double pipe_free = 0;           // when the side holding the pipe lets go
    size_t buffered = 0;
    static const size_t capacity = 64 << 10;

    // One read of what the pipe holds, at the earliest; returns its end.
    double read_once() {
        double start = std::max(reader, pipe_free);
        size_t n = std::min(buffered, read_size);
        double end = start + read_call + (double)n * read_byte;
        buffered -= n;
        pipe_free = end;
        reader = end;
        return end;
    }

    // The seconds a write of size bytes adds to the stream's wall time.
    double write(size_t size) {
        double before = writer;
        writer += write_call;
        for (size_t left = size; left > 0;) {
            // The reader gets the pipe first where it is ready first.
            while (buffered > 0 && std::max(reader, pipe_free) < std::max(writer, pipe_free)) read_once();
            if (buffered == capacity) {
                writer = read_once() + wake;
                continue;
            }
            bool reader_slept = buffered == 0;
            size_t n = std::min(capacity - buffered, left);
            writer = std::max(writer, pipe_free) + (double)n * write_byte;
            pipe_free = writer;
            buffered += n;
            left -= n;
            if (reader_slept) reader = std::max(reader, writer + wake);
        }
        return writer - before;
    }
};

// The consumers: which size each favours follows from the pipe, not from a
// table of costs. A quick reader of large reads favours small writes: they
// let it copy while the writer copies the next, where a large write makes
// both sleep in turn on a full pipe. Where every call costs dearly (both
// sides), the fewer the better: large writes.
TEST(WriteSizeTuner, FollowsTheConsumerOfASimulatedPipe) {
    struct {
        const char* name;
        pipe_in_time pipe;
        size_t smallest_best, largest_best;  // where the best size lies
    } cases[] = {
        {"quick reader", {1e-6, 0.25e-9, 1e-6, 0.25e-9, 20e-6, 128 << 10}, 4096, 8192},
        {"dear calls", {40e-6, 0.25e-9, 40e-6, 0.25e-9, 5e-6, 1 << 20}, 65536, 1048576},
    };
    for (auto& c : cases) {
        // What each size delivers alone, for the expectation.
        double fixed[TUNER_SIZES];
        for (int i = 0; i < TUNER_SIZES; i++) {
            pipe_in_time alone = c.pipe;
            double seconds = 0;
            for (uint64_t done = 0; done < 16 * MiB; done += tuner_size(i))
                seconds += alone.write(tuner_size(i));
            fixed[i] = seconds;
        }
        int best = (int)(std::min_element(fixed, fixed + TUNER_SIZES) - fixed);
        EXPECT_GE(tuner_size(best), c.smallest_best) << c.name;
        EXPECT_LE(tuner_size(best), c.largest_best) << c.name;
        write_size_tuner tuner;
        tuner_start(&tuner);
        pipe_in_time pipe = c.pipe;
        for (uint64_t done = 0; done < 512 * MiB;) {
            size_t size = tuner_write_size(&tuner);
            tuner_record(&tuner, size, pipe.write(size));
            done += size;
        }
        // The size in use delivers within the margin of the best.
        EXPECT_LE(fixed[tuner.in_use], fixed[best] * 1.10) << c.name << ": " << tuner_size(tuner.in_use);
    }
}

// A busy machine pauses the writer now and then, whatever the size it
// writes. Even where a pause falls on the best size's step in every sweep,
// it must not decide the choice.
TEST(WriteSizeTuner, PausesOfABusyMachineDoNotDecide) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe = valley(1);
    for (uint64_t done = 0; done < 1024 * MiB;) {
        size_t size = tuner_write_size(&tuner);
        double seconds = (double)size * pipe.seconds_per_byte[index_of(size)];
        // As long as writing 4 MiB takes.
        if (tuner.step == 1 && tuner.step_bytes == 0) seconds += 4.0 * MiB;
        tuner_record(&tuner, size, seconds);
        done += size;
    }
    EXPECT_EQ(tuner_size(tuner.in_use), tuner_size(1));
}

}  // namespace
