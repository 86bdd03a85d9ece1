// A run asked to stop (SIGINT, SIGTERM, SIGHUP) stops at the next frame or
// audio step: the consumer gets whole frames only, the CSV keeps every row
// reported done, the log names the interruption, and the process ends by the
// same signal. And two things about timing that only a live run shows: the
// estimate comes from per-frame times, and the clip_info line is readable
// while frame 0 is still rendering.
#include <signal.h>

#include "e2e_test.h"
#include "expected_output.h"
#include "standin_pattern.h"

namespace {

// Under Wine a SIGINT reaches a console program as Ctrl-C, the one console
// event a test can send it; SIGTERM and SIGHUP end the Wine process outright.
class Interruption : public RunnerTest {
protected:
    bool windows() const { return e2e.platform == "windows"; }
    int stop(int signo) const { return windows() ? SIGINT : signo; }
    std::string name(int signo) const {
        if (windows()) return "Ctrl-C";
        return signo == SIGINT ? "SIGINT" : signo == SIGTERM ? "SIGTERM" : "SIGHUP";
    }
    // Runs with the request's signal sent once its condition holds; the run
    // must end the way that request ends a process: by the same signal, or
    // on Windows with the status of a program ended by Ctrl-C
    // (STATUS_CONTROL_C_EXIT, of which the shell sees the low 8 bits).
    run_result interrupted(const std::vector<std::string>& args, run_request request) {
        run_result r = run(args, request);
        EXPECT_TRUE(r.acted) << "the runner ended before the signal was due";
        if (windows())
            EXPECT_EQ(r.status, 0x3A) << r.err;
        else
            EXPECT_EQ(r.signal, request.signal_to_send) << r.err;
        return r;
    }
};

// Once a progress line reports at least this many frames done.
std::function<bool(const std::string&, const std::string&)> done_at_least(int frames) {
    return [frames](const std::string&, const std::string& err) {
        std::string lines = err;  // CR LF under Windows
        lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
        for (const progress_line& p : progress_lines(lines))
            if (p.done >= frames) return true;
        return false;
    };
}

std::function<bool(const std::string&, const std::string&)> out_longer_than(size_t bytes) {
    return [bytes](const std::string& out, const std::string&) { return out.size() > bytes; };
}

const char* const csv_header =
    "output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,"
    "absolute_timestretch\n";

TEST_F(Interruption, ValidationKeepsTheRowsReportedDone) {
    std::string csv = path("frames.csv");
    run_request request;
    request.when = done_at_least(50);
    request.signal_to_send = stop(SIGTERM);
    run_result r = interrupted(
        {"--validate", script("frames = 200\nframe_delay_ms = 10\nprop zvk_source_id = int frame\n"),
         native_path(csv)},
        request);
    int done = item(progress_lines(r.err), -1).done;
    EXPECT_GE(done, 50);
    EXPECT_LT(done, 200);
    std::string rows = csv_header;
    for (int f = 0; f < done; f++) rows += std::to_string(f) + "," + std::to_string(f) + ",,0,,0,0,0,\n";
    EXPECT_EQ(read_file(csv), rows);
    EXPECT_EQ(item(text_lines(r.err), -1), "interrupted by " + name(SIGTERM));
    EXPECT_EQ(item(read_lines(csv + ".runner.log"), -1), "interrupted: " + name(SIGTERM));
    EXPECT_EQ(text_lines(r.out).size(), 1u) << "no rendered= line";
}

// Whichever signal, and wherever it finds the writer (between frames, or
// blocked in the middle of one by a slow consumer), the stream ends after
// the last whole frame or audio step.
TEST_F(Interruption, StreamsEndWithWholeFramesOrSteps) {
    // Frames large enough that a slow consumer fills even a widened pipe
    // (1 MiB) and leaves the writer blocked in the middle of one.
    const std::vector<plane_size> planes = yuv_planes(420, 320, 240, 1);
    const std::string header = "YUV4MPEG2 W320 H240 F25:1 Ip A0:0 C420jpeg\n";
    const size_t frame_size = y4m_frame(0, planes).size();
    struct {
        int signo;
        bool slow;
        std::function<bool(const std::string&, const std::string&)> when;
    } cases[] = {
        {SIGINT, false, done_at_least(50)},
        {SIGHUP, true, out_longer_than(header.size() + 11 * frame_size / 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(name(c.signo));
        run_request request;
        request.when = c.when;
        request.signal_to_send = stop(c.signo);
        if (c.slow) request.read_chunk = 4000, request.read_pause_ms = 2;
        std::string times = path("times.txt");
        run_result r = interrupted(
            {"--timecodes", native_path(times), "--y4m",
             script("width = 320\nheight = 240\nframes = 200\nframe_delay_ms = 10\nframe_period = 7\n")},
            request);
        int done = item(progress_lines(r.err), -1).done;
        EXPECT_EQ(read_lines(times).size(), (size_t)done + 1) << "a line per frame written";
        EXPECT_LT(done, 200);
        std::string expected = header;
        for (int f = 0; f < done; f++) expected += y4m_frame(f % 7, planes);
        EXPECT_EQ(r.out.size(), expected.size());
        EXPECT_TRUE(r.out == expected);
        EXPECT_EQ(item(text_lines(r.err), -1), "interrupted by " + name(c.signo));
    }
    for (const char* form : {"--mkv", "--raw"}) {
        // Matroska ends on its last whole block, raw planes on the last
        // whole frame: the planes of the last frame counted.
        SCOPED_TRACE(form);
        run_request request;
        request.when = done_at_least(50);
        request.signal_to_send = stop(SIGINT);
        run_result r = interrupted(
            {form,
             script("width = 320\nheight = 240\nframes = 200\nframe_delay_ms = 10\nframe_period = 7\n")},
            request);
        int done = item(progress_lines(r.err), -1).done;
        EXPECT_LT(done, 200);
        std::string last = plane_bytes((done - 1) % 7, planes);
        EXPECT_TRUE(r.out.size() > last.size() && r.out.substr(r.out.size() - last.size()) == last);
        if (form[2] == 'r') {
            EXPECT_EQ(r.out.size(), done * last.size());
        }
        EXPECT_EQ(item(text_lines(r.err), -1), "interrupted by " + name(SIGINT));
    }

    run_request request;
    request.when = out_longer_than(44 + 3 * 65536 * 4 / 2);
    request.signal_to_send = stop(SIGTERM);
    request.read_chunk = 20000;
    request.read_pause_ms = 1;
    run_result r = interrupted(
        {"--wav",
         script(
             "frames = 0\naudio_rate = 48000\nsample_type = int16\nchannels = 2\naudio_samples = 4000000\n")},
        request);
    ASSERT_GT(r.out.size(), 44u);
    size_t data = r.out.size() - 44;
    EXPECT_EQ(data % (65536 * 4), 0u) << data;
    EXPECT_LT(data, 4000000u * 4);
    std::string expected(data, '\0');
    for (size_t s = 0; s < data / 4; s++)
        for (int ch = 0; ch < 2; ch++)
            standin_sample(2, (int64_t)s, ch, (unsigned char*)&expected[s * 4 + ch * 2]);
    EXPECT_TRUE(r.out.substr(44) == expected);
}

// The library may be inside a long frame: a second signal does not wait,
// once it is more than the repeat of the first (which comes within a
// second, from timeout or a kill of the process group).
TEST_F(Interruption, SecondSignalEndsTheRunAtOnce) {
    std::string trace = path("trace.txt");
    run_request request;
    request.when = [trace](const std::string&, const std::string&) {
        return read_file(trace).find("delay 2 60000 ms") != std::string::npos;
    };
    request.signal_to_send = stop(SIGTERM);
    request.second_signal_after_ms = 1200;
    request.timeout_seconds = 30;
    run_result r = interrupted({"--y4m", script("frames = 5\nframe_delay_ms @2 = 60000\n")}, request);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.err.find("interrupted by"), std::string::npos);
    EXPECT_FALSE(trace_has(r.trace, "get_frame 2 held=2"));
}

class LiveRun : public RunnerTest {};

// The remaining time comes from the times of the frames done: with the
// timestamp of every frame, the window of the last done / 2 frames can never
// be longer than the whole run so far.
TEST_F(LiveRun, EstimateFromTheTimesOfEveryFrame) {
    run_result r =
        run({"--y4m", script("frames = 12\nframe_delay_ms @0-5 = 40\nframe_delay_ms @6-11 = 160\n")});
    EXPECT_EQ(r.status, 0);
    std::vector<progress_line> lines = progress_lines(r.err);
    ASSERT_GE(lines.size(), 3u) << r.err;
    for (const progress_line& p : lines) {
        if (p.done < 2) continue;
        double bound = (p.total - p.done) * p.elapsed / (p.done / 2);
        EXPECT_LE(p.estimate, bound + 0.002) << p.text;
    }
}

// The clip_info line is flushed before the first frame: a consumer can act
// on it while frame 0 is still rendering (here, the stand-in waits for it).
TEST_F(LiveRun, ClipInfoIsReadableWhileFrameZeroRenders) {
    run_request request;
    request.when = [](const std::string& out, const std::string&) {
        return out.find("clip_info,") != std::string::npos;
    };
    request.file_to_create = path("gate");
    run_result r =
        run({"--validate", script("frames = 2\nframe_gate = " + native_path(path("gate")) + "\n")}, request);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(trace_has(r.trace, "gate open"));
}

}  // namespace
