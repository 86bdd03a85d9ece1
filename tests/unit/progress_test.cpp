#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "clock.h"
#include "run/progress.h"

TEST(RemainingSeconds, UsesTheLastHalfOfTheCompletedFrames) {
    double stamps[241] = {};
    double start = 100.0;
    stamps[0] = start;
    stamps[28] = start + 0.200;  // must not be used
    stamps[29] = start + 0.251;
    stamps[30] = start + 0.300;  // must not be used
    // 57 done: half 28, window from entry 57 - 28 = 29.
    EXPECT_NEAR(remaining_seconds(stamps, 57, 240, start + 0.503, start), 183 * 0.252 / 28, 1e-12);
    // Even done: 10 done, half 5, window from entry 5.
    stamps[5] = start + 0.050;
    EXPECT_NEAR(remaining_seconds(stamps, 10, 240, start + 0.150, start), 230 * 0.100 / 5, 1e-12);
}

TEST(RemainingSeconds, WholeRunPaceAtTheFirstFrameOrWithoutTimestamps) {
    double stamps[3] = {10.0, 10.6, 0.0};
    EXPECT_NEAR(remaining_seconds(stamps, 1, 240, 10.6, 10.0), 239 * 0.6, 1e-9);
    EXPECT_NEAR(remaining_seconds(nullptr, 57, 240, 10.503, 10.0), 183 * 0.503 / 57, 1e-9);
}

TEST(RemainingSeconds, NothingLeftAfterTheLastFrame) {
    double stamps[5] = {0, 1, 2, 3, 4};
    EXPECT_EQ(remaining_seconds(stamps, 4, 4, 4.0, 0.0), 0.0);
    EXPECT_EQ(remaining_seconds(nullptr, 4, 4, 4.0, 0.0), 0.0);
}

TEST(WriteProgress, FormatsOneLine) {
    ::testing::internal::CaptureStderr();
    write_progress("zvk_render", 57, 240, 0.503, 1.647);
    write_progress("zvk_progress", 0, 0, 0.0, 0.0);
    write_progress("zvk_render", 0, -5, 0.0, 0.0);
    write_progress("zvk_render", 1, 3, 12.3456, 24.6912);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "zvk_render,57,240,23.75,0.503,1.647\n"
              "zvk_progress,0,0,100.00,0.000,0.000\n"
              "zvk_render,0,-5,100.00,0.000,0.000\n"
              "zvk_render,1,3,33.33,12.346,24.691\n");
}

TEST(PeopleProgress, FormatsOneStateToFitTheTerminal) {
    const double step = 65536.0 / 48000.0;  // an audio step at 48 kHz
    struct {
        people_progress state;
        int columns;  // 0: not a terminal
        const char* text;
    } cases[] = {
        {{0, 240, 0.0, 0.0, 0, 0}, 0, "0/240 frames  0.0%  -- fps  0:00 elapsed  --:-- left"},
        {{57, 240, 0.503, 1.647, 0, 0}, 0, "57/240 frames  23.7%  113.3 fps  0:01 elapsed  0:02 left"},
        // Not 100% before the last frame.
        {{2399, 2400, 59.6, 0.02, 0, 0}, 0, "2399/2400 frames  99.9%  40.3 fps  1:00 elapsed  0:00 left"},
        {{43200, 43200, 3725.0, 0.0, 0, 0},
         0,
         "43200/43200 frames  100.0%  11.6 fps  1:02:05 elapsed  0:00 left"},
        {{0, 0, 0.0, 0.0, 0, 0}, 0, "0/0 frames  100.0%  -- fps  0:00 elapsed  0:00 left"},
        // An estimate beyond any clock, or none at all.
        {{1, 1000000, 1e6, 1e12, 0, 0}, 0, "1/1000000 frames  0.0%  0.0 fps  277:46:40 elapsed  --:-- left"},
        {{3, 10, 1.0, std::nan(""), 0, 0}, 0, "3/10 frames  30.0%  3.0 fps  0:01 elapsed  --:-- left"},
        // The widest layout that leaves the last column free; then less.
        {{57, 240, 0.503, 1.647, 0, 0}, 57, "57/240 frames  23.7%  113.3 fps  0:01 elapsed  0:02 left"},
        {{57, 240, 0.503, 1.647, 0, 0}, 56, "57/240 frames  23.7%  113.3 fps  0:02 left"},
        {{57, 240, 0.503, 1.647, 0, 0}, 40, "57/240 frames  23.7%  0:02 left"},
        {{43200, 43200, 3725.0, 0.0, 0, 0}, 31, "43200/43200  100.0%  0:00 left"},
        {{57, 240, 0.503, 1.647, 0, 0}, 17, "23.7%  0:02 left"},
        {{57, 240, 0.503, 1.647, 0, 0}, 8, "23.7%  "},
        {{57, 240, 0.503, 1.647, 0, 0}, 1, ""},
        // Audio: seconds of sound, the last step a part of one.
        {{0, 16, 0.0, 0.0, step, 20.0}, 0, "0.0/20.0 s  0.0%  --x  0:00 elapsed  --:-- left"},
        {{4, 16, 0.5, 1.5, step, 20.0}, 0, "5.5/20.0 s  27.3%  10.9x  0:01 elapsed  0:02 left"},
        {{16, 16, 2.0, 0.0, step, 20.0}, 40, "20.0/20.0 s  100.0%  10.0x  0:00 left"},
    };
    for (const auto& c : cases) {
        char text[192];
        format_people_progress(text, sizeof text, &c.state, c.columns);
        EXPECT_STREQ(text, c.text) << c.columns;
        if (c.columns > 0) {
            EXPECT_LT(strlen(text), (size_t)c.columns);
        }
    }
}

TEST(MonotonicSeconds, NeverGoesBack) {
    double last = monotonic_seconds();
    for (int i = 0; i < 10000; i++) {
        double now = monotonic_seconds();
        ASSERT_GE(now, last);
        last = now;
    }
}
