// A stream into a pipe gets a pipe of 1 MiB where the system allows it
// (Linux): the default 64 KiB holds a fiftieth of a 1080p frame. A pipe the
// caller made larger stays so, and the text outputs leave the pipe alone.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

class StreamPipe : public RunnerTest {};

TEST_F(StreamPipe, EnlargedForTheStreamsOnly) {
    int standard = 0, larger = 2 << 20;
#if defined(F_GETPIPE_SZ)
    int probe[2];
    ASSERT_EQ(pipe(probe), 0);
    standard = fcntl(probe[0], F_GETPIPE_SZ);
    // Past the ordinary user's allowance: only a privileged suite can make it.
    if (fcntl(probe[0], F_SETPIPE_SZ, larger) != larger) larger = 0;
    close(probe[0]);
    close(probe[1]);
#endif
    if (standard == 0) GTEST_SKIP() << "pipe sizes are not known on this system";
    // Wine's runner is a Windows program: it leaves the pipe as it is.
    int widened = e2e.platform == "linux" ? 1 << 20 : standard;
    std::string clip = script(
        "width = 64\nheight = 48\nframes = 3\naudio_rate = 48000\nsample_type = int16\nchannels = 2\n"
        "audio_samples = 4800\n");
    struct row {
        std::vector<std::string> args;
        int given;
        int expected;
    } rows[] = {
        {{"--y4m", clip}, 0, widened},   {{"--y4m-skip-drop", "25", "1", clip}, 0, widened},
        {{"--wav", clip}, 0, widened},   {{"--validate", clip}, 0, standard},
        {{"--info", clip}, 0, standard}, {{"--y4m", clip}, larger, larger},
    };
    for (const row& r : rows) {
        if (r.given == 0 && r.expected == 0) continue;
        run_request request;
        request.pipe_size = r.given;
        run_result result = run(r.args, request);
        const std::string& mode = r.args[0];
        EXPECT_EQ(result.status, 0) << mode << ": " << result.err;
        EXPECT_EQ(result.pipe_size, r.expected) << mode << " given " << r.given;
    }
}

// A reader of small bites slower than the runner finds the pipe short of
// full once the writes are paced (a page at a time, the pipe kept under
// 320 KiB); one of large bites finds it full, as the writer waits there.
// Either way every byte arrives as written, padded rows included.
TEST_F(StreamPipe, PacedForASlowReaderOfSmallBites) {
    if (e2e.platform != "linux") GTEST_SKIP() << "only the Linux program paces its writes";
    const int frames = 20;
    std::string clip = script("width = 640\nheight = 480\npad = 8\nframes = " + std::to_string(frames) +
                              "\nframe_period = 3\n");
    std::vector<plane_size> planes = yuv_planes(420, 640, 480, 1);
    std::string expected = "YUV4MPEG2 W640 H480 F25:1 Ip A0:0 C420jpeg\n";
    for (int f = 0; f < frames; f++) expected += y4m_frame(f % 3, planes);
    struct {
        size_t bite;
        bool paced;
    } readers[] = {{4096, true}, {65536, false}};
    for (const auto& reader : readers) {
        run_request request;
        request.read_chunk = reader.bite;
        request.read_pause_ms = 1;
        run_result r = run({"--y4m", clip}, request);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out == expected) << reader.bite;
        // The first frames fill the pipe before the writer has waited in it.
        int most = 0;
        for (const auto& seen : r.queued_before_reads)
            if (seen.first > expected.size() / 2) most = std::max(most, seen.second);
        if (reader.paced)
            EXPECT_LE(most, 384 << 10) << reader.bite;
        else
            EXPECT_GE(most, 768 << 10) << reader.bite;
    }
}

}  // namespace
