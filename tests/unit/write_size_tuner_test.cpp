// The write size policy against a simulated pipe whose cost per byte for
// each size the test sets.
#include <gtest/gtest.h>

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

}  // namespace
