#include <gtest/gtest.h>

#include <vector>

#include "bench/bench_summary.h"

TEST(BenchSummary, PercentilesAndSlowestFrames) {
    struct {
        std::vector<double> ms;
        int first_frame;
        double min, median, p90, p99, max;
        std::vector<int> slowest;
    } rows[] = {
        {{}, 0, 0, 0, 0, 0, 0, {}},
        {{7}, 100, 7, 7, 7, 7, 7, {100}},
        // Even count: the median lies between the middle two.
        {{4, 1, 3, 2}, 0, 1, 2.5, 3.7, 3.97, 4, {0, 2, 3, 1}},
        // Ties go to the earlier frame; only five are named.
        {{5, 1, 5, 1, 5, 1, 5, 9, 5, 1}, 10, 1, 5, 5.4, 8.64, 9, {17, 10, 12, 14, 16}},
        // One slow frame in a hundred moves p99 and max, not the median.
        {std::vector<double>(99, 2.0), 0, 2, 2, 2, 2, 2, {0, 1, 2, 3, 4}},
    };
    rows[4].ms.push_back(50.0);
    rows[4].p99 = 2.0 + 0.01 * 48.0;
    rows[4].max = 50.0;
    rows[4].slowest = {99, 0, 1, 2, 3};
    for (const auto& row : rows) {
        std::vector<double> scratch(row.ms.size());
        bench_summary s =
            summarize_fetch_times(row.ms.data(), (int)row.ms.size(), row.first_frame, scratch.data());
        SCOPED_TRACE(row.ms.size());
        EXPECT_EQ(s.frames, (int)row.ms.size());
        EXPECT_DOUBLE_EQ(s.min_ms, row.min);
        EXPECT_DOUBLE_EQ(s.median_ms, row.median);
        EXPECT_NEAR(s.p90_ms, row.p90, 1e-9);
        EXPECT_NEAR(s.p99_ms, row.p99, 1e-9);
        EXPECT_DOUBLE_EQ(s.max_ms, row.max);
        EXPECT_EQ(std::vector<int>(s.slowest, s.slowest + s.slowest_count), row.slowest);
    }
}
