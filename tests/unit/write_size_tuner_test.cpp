// The write size policy against a simulated pipe whose cost per byte for
// each size the test sets.
#include <gtest/gtest.h>

#include "output/write_size_tuner.h"

namespace {

struct simulated_pipe {
    double seconds_per_byte[2];  // small, large
    double now = 0;
    size_t small_bytes = 0;
    size_t large_bytes = 0;
};

// Writes total bytes through the tuner; returns the size in use at the end.
size_t stream(write_size_tuner* tuner, simulated_pipe* pipe, size_t total) {
    for (size_t done = 0; done < total;) {
        size_t size = tuner_write_size(tuner);
        int index = size == TUNER_SMALL_WRITE ? 0 : 1;
        pipe->now += (double)size * pipe->seconds_per_byte[index];
        (index == 0 ? pipe->small_bytes : pipe->large_bytes) += size;
        tuner_record(tuner, size, pipe->now);
        done += size;
    }
    return tuner_write_size(tuner);
}

const size_t MiB = 1u << 20;

TEST(WriteSizeTuner, StartsSmall) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    EXPECT_EQ(tuner_write_size(&tuner), (size_t)TUNER_SMALL_WRITE);
}

TEST(WriteSizeTuner, TakesTheLargeSizeWhenItIsFaster) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe = {{1.0, 0.6}};
    stream(&tuner, &pipe, 64 * MiB);
    EXPECT_EQ(tuner.size_index, 1);
    // Small writes were tried back once and lost, so it stays large.
    stream(&tuner, &pipe, 1024 * MiB);
    EXPECT_EQ(tuner.size_index, 1);
    EXPECT_GT(pipe.large_bytes, 10 * pipe.small_bytes);
}

TEST(WriteSizeTuner, KeepsTheSmallSizeAndAsksLessOften) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe = {{1.0, 5.0}};
    stream(&tuner, &pipe, 8192 * MiB);
    EXPECT_EQ(tuner.size_index, 0);
    // Tries come after 32, 64, 128, ... MiB: a handful of 4 MiB tries.
    EXPECT_LE(pipe.large_bytes, 8 * 4 * MiB + 2 * TUNER_LARGE_WRITE);
    EXPECT_GE(pipe.large_bytes, 4 * 4 * MiB);
}

TEST(WriteSizeTuner, SmallDifferencesDoNotSwing) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe = {{1.0, 0.9}};  // within the margin
    stream(&tuner, &pipe, 2048 * MiB);
    EXPECT_EQ(tuner.size_index, 0);
}

TEST(WriteSizeTuner, FollowsAMachineThatChanges) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe = {{1.0, 0.5}};
    stream(&tuner, &pipe, 256 * MiB);
    EXPECT_EQ(tuner.size_index, 1);
    pipe.seconds_per_byte[0] = 0.2;  // now small writes win
    stream(&tuner, &pipe, 4096 * MiB);
    EXPECT_EQ(tuner.size_index, 0);
}

TEST(WriteSizeTuner, TimeBetweenTriesIsBounded) {
    write_size_tuner tuner;
    tuner_start(&tuner);
    simulated_pipe pipe = {{1.0, 3.0}};
    stream(&tuner, &pipe, 20000 * MiB);
    EXPECT_LE(tuner.stretch, 2048 * MiB);
    EXPECT_EQ(tuner.size_index, 0);
}

}  // namespace
