// A frame counts as done when its bytes are out: its progress line comes
// with its bytes, not after the next frame's fetch, and a run that ends
// early says how many frames went out whole.
#include <signal.h>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

class ProgressTiming : public RunnerTest {};

// When the reader had first seen `size` bytes of a stream; -1 if never.
double arrival(const std::vector<std::pair<double, size_t>>& arrivals, size_t size) {
    for (const auto& a : arrivals)
        if (a.second >= size) return a.first;
    return -1;
}

TEST_F(ProgressTiming, EachLineComesWithItsFrame) {
    const std::vector<plane_size> planes = yuv_planes(420, 64, 48, 1);
    const size_t header = std::string("YUV4MPEG2 W64 H48 F25:1 Ip A0:0 C420jpeg\n").size();
    const size_t frame = y4m_frame(0, planes).size();
    // Frames slower than the throttle: every one gets its line.
    const std::string clip = "width = 64\nheight = 48\nframes = 6\nframe_delay_ms = 700\n";
    struct {
        const char* name;
        std::string extra;
        int stop_after_frames;  // SIGINT once this many frames are out; 0: none
        int status;             // -1: ended by the signal
        int last_done;          // -1: wherever the stop came
    } cases[] = {
        {"whole", "", 0, 0, 6},
        {"fetch fails after four", "fail_frame = 4\n", 0, 5, 4},
        {"stopped after two", "", 2, -1, -1},
    };
    for (const auto& c : cases) {
        run_request request;
        if (c.stop_after_frames > 0) {
            request.signal_to_send = SIGINT;
            request.when = [&](const std::string& out, const std::string&) {
                return out.size() >= header + frame * (size_t)c.stop_after_frames;
            };
        }
        run_result r = run({"--y4m", script(clip + c.extra)}, request);
        if (c.status >= 0) {
            EXPECT_EQ(r.status, c.status) << c.name;
        } else if (e2e.platform == "windows") {
            EXPECT_EQ(r.status, 0x3A) << c.name;  // Ctrl-C's status, as the shell sees it
        } else {
            EXPECT_EQ(r.signal, SIGINT) << c.name;
        }
        std::vector<progress_line> lines = progress_lines(r.err);
        ASSERT_FALSE(lines.empty()) << c.name;
        // The last line counts every frame that went out whole.
        size_t whole = (r.out.size() - header) / frame;
        EXPECT_EQ(lines.back().done, (int)whole) << c.name;
        if (c.last_done >= 0) {
            EXPECT_EQ(lines.back().done, c.last_done) << c.name;
        }
        // Each line appears within 0.2 s of the bytes of the frames it counts.
        size_t err_size = 0;
        for (const std::string& line : text_lines(r.err)) {
            err_size += line.size() + 1;
            std::vector<progress_line> parsed = progress_lines(line + "\n");
            if (parsed.empty() || parsed[0].done == 0) continue;
            double bytes_out = arrival(r.out_arrivals, header + frame * (size_t)parsed[0].done);
            double line_out = arrival(r.err_arrivals, err_size);
            EXPECT_GE(bytes_out, 0) << c.name << ": " << line;
            EXPECT_LT(line_out - bytes_out, 0.2) << c.name << ": " << line;
        }
    }
}

// The range's time starts at its first frame: the timestamp file's pass over
// the frames before the range (2.4 s here) counts in neither the elapsed
// time nor the estimate.
TEST_F(ProgressTiming, RangeTimeStartsAtItsFirstFrame) {
    const std::string clip = script("width = 64\nheight = 48\nframes = 12\nframe_delay_ms @0-7 = 300\n");
    run_result r = run({"--timecodes", path("times.txt"), "--frames", "8", "11", "--y4m", clip});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<progress_line> lines = progress_lines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_EQ(lines.back().done, 4);
    EXPECT_LT(lines.back().elapsed, 1.2) << r.err;
}

}  // namespace
