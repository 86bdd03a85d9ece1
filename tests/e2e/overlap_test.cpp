// The next frame or audio step is fetched while the one before is written.
// With a slow consumer the writer still holds its bytes when the next fetch
// returns; the stand-in overwrites a frame's memory when it is released, so
// bytes written from a frame already given back come out wrong. The frames
// are large enough to be handed over, not copied.
#include "e2e_test.h"
#include "expected_output.h"
#include "standin_pattern.h"

namespace {

class Overlap : public RunnerTest {
protected:
    void SetUp() override {
        RunnerTest::SetUp();
        slow.read_chunk = 1500;
        slow.read_pause_ms = 1;
    }
    run_request slow;
    const std::string clip = "width = 256\nheight = 192\npad = 8\nframe_period = 5\nprivate_frames = 1\n";
    const std::vector<plane_size> planes = yuv_planes(420, 256, 192, 1);
    const std::string header = "YUV4MPEG2 W256 H192 F25:1 Ip A0:0 C420jpeg\n";
    std::string frames(int count) {
        std::string bytes = header;
        for (int f = 0; f < count; f++) bytes += y4m_frame(f % 5, planes);
        return bytes;
    }
};

TEST_F(Overlap, EveryByteComesFromAFrameStillHeld) {
    run_result r = run({"--y4m", script(clip + "frames = 12\n")}, slow);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == frames(12));
    EXPECT_EQ(most_frames_held(r.trace), 2);
    EXPECT_EQ(item(progress_lines(r.err), -1).done, 12);
    expect_clip_kept(r);
}

// Frame 5 fails while frame 4 is still being written: frame 4 goes out whole
// first, and its progress before the message.
TEST_F(Overlap, FetchFailureWhileTheFrameBeforeIsWritten) {
    run_result r = run({"--y4m", script(clip + "frames = 10\nfail_frame = 5\nfail_error = gone\n")}, slow);
    EXPECT_EQ(r.status, 5);
    EXPECT_TRUE(r.out == frames(5));
    EXPECT_EQ(item(text_lines(r.err), -1), "failed to get frame 5: gone");
    for (const progress_line& p : progress_lines(r.err)) EXPECT_LE(p.done, 5);
    run_result mkv = run({"--mkv", script(clip + "frames = 10\nfail_frame = 5\nfail_error = gone\n")}, slow);
    EXPECT_EQ(mkv.status, 5);
    EXPECT_EQ(item(text_lines(mkv.err), -1), "failed to get frame 5: gone");
    EXPECT_EQ(item(progress_lines(mkv.err), -1).done, 5);
    const size_t planes_size = 64 * 48 * 3 / 2;
    EXPECT_TRUE(mkv.out.substr(mkv.out.size() - planes_size) ==
                frames(5).substr(frames(5).size() - planes_size))
        << "frame 4's planes last";
    // The fetch's error text is read before anything else is asked of the library.
    EXPECT_EQ(slice(r.trace, -3, 3), (std::vector<std::string>{"get_frame 5 failed", "clip_get_error text",
                                                               "release_frame 4 held=0"}));
}

TEST_F(Overlap, ConsumerThatClosesThePipeMidFrame) {
    run_request request = slow;
    request.out_mode = STDOUT_CLOSE_AFTER;
    request.close_after = frames(2).size() + 2000;
    run_result r = run({"--y4m", script(clip + "frames = 30\n")}, request);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == frames(3).substr(0, request.close_after));
    EXPECT_EQ(item(progress_lines(r.err), -1).done, 30);
}

// Audio steps take turns in two buffers: one is filled while the other is
// written.
TEST_F(Overlap, AudioStepsWithASlowConsumer) {
    run_request request = slow;
    request.read_chunk = 60000;
    std::string audio =
        "frames = 0\naudio_rate = 48000\nsample_type = int16\nchannels = 2\naudio_samples = 300000\n";
    std::string expected((size_t)300000 * 4, '\0');
    for (int64_t s = 0; s < 300000; s++)
        for (int c = 0; c < 2; c++)
            standin_sample(2, s, c, (unsigned char*)&expected[(size_t)(s * 4 + c * 2)]);

    run_result whole = run({"--wav", script(audio)}, request);
    EXPECT_EQ(whole.status, 0);
    EXPECT_TRUE(whole.out.substr(44) == expected);

    run_result failed = run({"--wav", script(audio + "fail_audio_at = 200000\n")}, request);
    EXPECT_EQ(failed.status, 9);
    EXPECT_EQ(failed.err, "failed to get audio at sample 196608\n");
    EXPECT_TRUE(failed.out.substr(44) == expected.substr(0, (size_t)196608 * 4));

    // Matroska, in the same steps: three whole blocks go out first.
    failed = run({"--mkv", script(audio + "fail_audio_at = 200000\n")}, request);
    EXPECT_EQ(failed.status, 9);
    EXPECT_EQ(diagnostic_lines(failed.err), "failed to get audio at sample 196608\n");
    EXPECT_EQ(item(progress_lines(failed.err), -1).total, 0) << "no frames to count";
    EXPECT_TRUE(failed.out.substr(failed.out.size() - 4 * 65536) == expected.substr(2 * 65536 * 4, 4 * 65536))
        << "a whole block last";
}

}  // namespace
