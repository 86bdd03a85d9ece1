// The frame loop: order and ownership of frames, progress lines, the
// throttle, and the end of a run whose frame cannot be fetched.
#include "e2e_test.h"
#include "expected_output.h"

namespace {

class FrameLoop : public RunnerTest {};

TEST_F(FrameLoop, ZeroFrameClipWritesOneLine) {
    run_result y4m = run({"--y4m", script("frames = 0\n")});
    EXPECT_EQ(y4m.status, 0);
    EXPECT_EQ(y4m.err, "zvk_render,0,0,100.00,0.000,0.000\n");
    EXPECT_EQ(y4m.out, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n");
    EXPECT_TRUE(trace_with(y4m.trace, "get_frame").empty());

    run_result validate = run({"--validate", script("frames = 0\n")});
    EXPECT_EQ(validate.status, 0);
    EXPECT_EQ(validate.err, "zvk_progress,0,0,100.00,0.000,0.000\n");
}

TEST_F(FrameLoop, NegativeFrameCountRendersNothing) {
    run_result r = run({"--y4m", script("frames = -3\n")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "zvk_render,0,-3,100.00,0.000,0.000\n");
    EXPECT_TRUE(trace_with(r.trace, "get_frame").empty());
}

TEST_F(FrameLoop, OneFrameClipWritesTwoLines) {
    run_result r = run({"--y4m", script("frames = 1\n")});
    std::vector<progress_line> lines = progress_lines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_EQ(item(lines, 0).text, "zvk_render,0,1,0.00,0.000,0.000");
    EXPECT_EQ(item(lines, 1).label, "zvk_render");
    EXPECT_EQ(item(lines, 1).done, 1);
    EXPECT_EQ(item(lines, 1).total, 1);
    EXPECT_EQ(item(lines, 1).text.substr(0, 20), "zvk_render,1,1,100.0");
    EXPECT_GE(item(lines, 1).elapsed, 0.0);
    EXPECT_EQ(item(lines, 1).text.substr(item(lines, 1).text.size() - 6), ",0.000");
    EXPECT_EQ(r.err, item(lines, 0).text + "\n" + item(lines, 1).text + "\n");
}

TEST_F(FrameLoop, FramesInOrderOneHeldAtATime) {
    run_result r = run({"--validate", script("frames = 300\nframe_period = 7\n")});
    EXPECT_EQ(r.status, 0);
    std::vector<int> frames = fetched_frames(r.trace);
    ASSERT_EQ(frames.size(), 300u);
    for (int i = 0; i < 300; i++) ASSERT_EQ(frames[i], i);
    EXPECT_EQ(most_frames_held(r.trace), 1);
    EXPECT_EQ(trace_with(r.trace, "release_frame").size(), 300u);
    // Without a CSV the validation render reads no property at all.
    EXPECT_TRUE(trace_with(r.trace, "props").empty());
    std::vector<progress_line> lines = progress_lines(r.err);
    EXPECT_EQ(item(lines, -1).text.rfind("zvk_progress,300,300,100.00,", 0), 0u) << item(lines, -1).text;
    EXPECT_EQ(item(lines, -1).estimate, 0.0);
}

// Lines after the first come at least half a second apart, except the last.
TEST_F(FrameLoop, ThrottledToOneLinePerHalfSecond) {
    run_result r = run({"--y4m", script("frames = 16\nframe_delay_ms = 110\n")});
    EXPECT_EQ(r.status, 0);
    std::vector<progress_line> lines = progress_lines(r.err);
    ASSERT_GE(lines.size(), 3u) << r.err;
    // The first, the last, and at most one per half second between.
    EXPECT_LE(lines.size(), 2 + (size_t)(item(lines, -1).elapsed / 0.5)) << r.err;
    EXPECT_EQ(item(lines, 0).done, 0);
    EXPECT_EQ(item(lines, -1).done, 16);
    for (size_t i = 1; i + 1 < lines.size(); i++) {
        // Printed to the millisecond: allow the rounding of both readings.
        EXPECT_GE(lines[i].elapsed - lines[i - 1].elapsed, 0.499) << r.err;
        EXPECT_GT(lines[i].done, lines[i - 1].done);
        EXPECT_GT(lines[i].estimate, 0.0);
        EXPECT_NEAR(lines[i].percent, lines[i].done * 100.0 / 16, 0.005);
    }
    EXPECT_EQ(item(lines, -1).estimate, 0.0);
    EXPECT_GE(item(lines, -1).elapsed, 16 * 0.110 - 0.01);
}

TEST_F(FrameLoop, UnfetchableFrameEndsTheRunWithStatus5) {
    std::string clip = script("frames = 10\nfail_frame = 5\nfail_error = decoder lost sync\n");
    run_result r = run({"--y4m", clip});
    EXPECT_EQ(r.status, 5);
    std::vector<std::string> err = text_lines(r.err);
    ASSERT_GE(err.size(), 2u);
    EXPECT_EQ(item(err, -1), "failed to get frame 5: decoder lost sync");
    for (const progress_line& p : progress_lines(r.err)) EXPECT_LE(p.done, 5);
    std::string expected = "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n";
    for (int f = 0; f < 5; f++) expected += y4m_frame(f, yuv_planes(420, 4, 2, 1));
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(item(trace_with(r.trace, "get_frame"), -1), "get_frame 5 failed");
    EXPECT_EQ(most_frames_held(r.trace), 1);
    expect_clip_kept(r);
}

TEST_F(FrameLoop, UnfetchableFrameWithoutErrorText) {
    run_result r = run({"--validate", script("frames = 10\nfail_frame = 7-\n")});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(item(text_lines(r.err), -1), "failed to get frame 7");
}

// A frame count near 2^31 must not wrap the size of the timestamp array.
TEST_F(FrameLoop, FrameCountNear2To31) {
    run_result r = run({"--y4m", script("frames = 2147483647\nfail_frame = 3\nwidth = 2\nheight = 2\n")});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(item(text_lines(r.err), 0), "zvk_render,0,2147483647,0.00,0.000,0.000");
    EXPECT_EQ(item(text_lines(r.err), -1), "failed to get frame 3");
}

}  // namespace
