// The timestamp file of the Y4M modes (--timecodes FILE): one line per frame
// written, at the frame's true time (per-frame durations, else the clip's
// rate, dropped frames included), the CSV's failure rules, and mkvmerge
// placing the frames of an x264 stream at those times.
#include <signal.h>
#include <stdlib.h>

#include <random>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

// Ten frames: 20 ms each (0-3), the clip's 40 ms (4-5), 30 ms each (6-9);
// frames 2, 5 and 6 are marked dropped. Frames start at 0, 20, 40, 60, 80,
// 120, 160, 190, 220, 250 ms.
const std::string clip =
    "width = 64\nheight = 48\nframes = 10\nfps = 25/1\n"
    "prop _DurationNum @0-3 = int 1\nprop _DurationDen @0-3 = int 50\n"
    "prop _DurationNum @6- = int 3\nprop _DurationDen @6- = int 100\n"
    "prop zvk_drop_frame @2 = int 1\nprop zvk_drop_frame @5-6 = int 1\n";

const std::string v2 = "# timestamp format v2\n";

class Timecodes : public RunnerTest {
protected:
    // The run with --timecodes placed after the other leading options, the
    // timestamp file's text in *text; its stream must be the run's without.
    run_result run_with_file(std::vector<std::string> args, std::string* text) {
        std::string file = path("times.txt");
        std::vector<std::string> plain = args;
        auto form = std::find_if(args.begin(), args.end(),
                                 [](const std::string& a) { return a == "--y4m" || a == "--y4m-skip-drop"; });
        args.insert(form, {"--timecodes", native_path(file)});
        run_result r = run(args);
        run_result without = run(plain);
        EXPECT_TRUE(r.out == without.out) << "the stream differs from the run without --timecodes";
        *text = read_file(file);
        return r;
    }
};

TEST_F(Timecodes, OneLinePerFrameWrittenAtItsTrueTime) {
    std::string avs = script(clip);
    struct {
        std::vector<std::string> args;
        std::string lines;
    } cases[] = {
        {{"--y4m", avs}, "0\n20\n40\n60\n80\n120\n160\n190\n220\n250\n"},
        {{"--y4m-skip-drop", "24", "1", avs}, "0\n20\n60\n80\n190\n220\n250\n"},
        // A range starts at its first frame's time in the whole clip.
        {{"--frames", "3", "8", "--y4m-skip-drop", "24", "1", avs}, "60\n80\n190\n220\n"},
        {{"--frames", "5", "9", "--y4m", avs}, "120\n160\n190\n220\n250\n"},
        {{"--frames", "0", "0", "--y4m", avs}, "0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.size());
        std::string text;
        run_result r = run_with_file(c.args, &text);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(diagnostic_lines(r.err), "");
        EXPECT_EQ(text, v2 + c.lines);
    }
    // Without per-frame durations, the clip's rate, in fractions of a
    // millisecond; a duration the file cannot use (a zero denominator)
    // takes the clip's rate too.
    std::string ntsc = script(
        "frames = 4\nfps = 30000/1001\nprop _DurationNum @1 = int 5\n"
        "prop _DurationDen @1 = int 0\n",
        "ntsc.avs");
    std::string text;
    EXPECT_EQ(run_with_file({"--y4m", ntsc}, &text).status, 0);
    EXPECT_EQ(text, v2 + "0\n33.366667\n66.733333\n100.1\n");
}

// The file follows the frames out: a stopped run leaves the lines of the
// frames that reached the stream; a file that cannot be written is
// reported, and the run fails.
TEST_F(Timecodes, FailuresFollowTheCsvRules) {
    std::string avs = script(clip + "fail_frame = 7\nfail_error = decoder broke\n");
    std::string text;
    run_result r = run_with_file({"--y4m", avs}, &text);
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(diagnostic_lines(r.err), "failed to get frame 7: decoder broke\n");
    EXPECT_EQ(text, v2 + "0\n20\n40\n60\n80\n120\n160\n");

    std::string missing = path("no/such/dir/times.txt");
    run_result unopened = run({"--timecodes", native_path(missing), "--y4m", script(clip)});
    EXPECT_EQ(unopened.status, 11);
    EXPECT_EQ(unopened.err, "failed to open timecodes file for writing: " + native_path(missing) +
                                ": No such file or directory\n");
    EXPECT_EQ(unopened.out, "");
    run_result unnamed = run({"--timecodes", "", "--y4m", script(clip)});
    EXPECT_EQ(unnamed.status, 2);
    EXPECT_EQ(unnamed.err, "timecodes file needs a file name, not an empty path\n");
    EXPECT_TRUE(unnamed.trace.empty()) << "the library was loaded";

    // A disk that fills after a few lines: no line is left cut.
    if (e2e.platform != "linux") return;
    run_request full;
    full.file_size_limit = v2.size() + 10;
    run_result cut = run({"--timecodes", path("times.txt"), "--y4m", script(clip)}, full);
    EXPECT_EQ(cut.status, 11);
    EXPECT_EQ(diagnostic_lines(cut.err),
              "failed to write timecodes file: " + path("times.txt") + ": File too large\n");
    EXPECT_EQ(read_file(path("times.txt")), v2 + "0\n20\n40\n");
}

// Killed at a random moment, a run leaves a line for every frame its reader
// received, and at most the line of the one frame being written beyond;
// mkvmerge takes the frames received with that file. The frames go out by
// the writer thread (slow fetches) or by the fetching thread (a slow
// reader).
TEST_F(Timecodes, KilledRunsLeaveALinePerFrameReceived) {
    if (e2e.platform == "windows") GTEST_SKIP() << "SIGKILL and shell pipelines of Linux consumers";
    const std::vector<plane_size> planes = yuv_planes(420, 64, 48, 1);
    const std::string header = "YUV4MPEG2 W64 H48 F25:1 Ip A0:0 C420jpeg\n";
    const size_t frame_size = y4m_frame(0, planes).size();
    std::string slow_fetches =
        script("width = 64\nheight = 48\nframes = 60\nframe_delay_ms = 4\n", "slow.avs");
    std::string fast_fetches = script("width = 64\nheight = 48\nframes = 200\n", "fast.avs");
    bool encoders = system("command -v x264 >/dev/null 2>&1 && command -v mkvmerge >/dev/null 2>&1") == 0;
    unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int kill = 0; kill < 20; kill++) {
        SCOPED_TRACE(kill);
        bool slow_reader = kill % 2 == 1;
        size_t frames = slow_reader ? 200 : 60;
        size_t at = header.size() + std::uniform_int_distribution<size_t>(0, frames * frame_size / 2)(random);
        std::string times = path("times.txt");
        run_request request;
        request.when = [at](const std::string& out, const std::string&) { return out.size() >= at; };
        request.signal_to_send = SIGKILL;
        if (slow_reader) request.read_chunk = 3000, request.read_pause_ms = 1;
        run_result r =
            run({"--timecodes", times, "--y4m", slow_reader ? fast_fetches : slow_fetches}, request);
        ASSERT_GE(r.out.size(), header.size());
        size_t received = (r.out.size() - header.size()) / frame_size;
        std::vector<std::string> lines = read_lines(times);
        ASSERT_GE(lines.size(), 1u);
        EXPECT_EQ(lines[0], "# timestamp format v2");
        EXPECT_GE(lines.size() - 1, received) << r.out.size() << " bytes received";
        EXPECT_LE(lines.size() - 1, received + 1) << r.out.size() << " bytes received";
        // A few are muxed: mkvmerge refuses a file with fewer lines than frames.
        if (!encoders || received == 0 || kill % 5 != 0) continue;
        write_file(path("got.y4m"), r.out.substr(0, header.size() + received * frame_size));
        int status = 0;
        shell_output("cd " + shell_quote(dir) +
                         " && rm -f v.264 v.mkv && x264 --demuxer y4m -o v.264 got.y4m 2>/dev/null && "
                         "mkvmerge -q -o v.mkv --timestamps 0:times.txt v.264",
                     &status);
        EXPECT_EQ(status, 0);
    }
    // Frames just small enough to be staged, 17 to a 1 MiB stage, into a
    // reader that keeps the pipe full: the file is at most the one stage
    // being written ahead, never the stage filling behind it too.
    const size_t staged_frame = y4m_frame(0, yuv_planes(420, 256, 160, 1)).size();
    const std::string staged_header = "YUV4MPEG2 W256 H160 F25:1 Ip A0:0 C420jpeg\n";
    std::string staged = script("width = 256\nheight = 160\nframes = 150\n", "staged.avs");
    for (int kill = 0; kill < 4; kill++) {
        SCOPED_TRACE("staged " + std::to_string(kill));
        size_t at = (2 << 20) + std::uniform_int_distribution<size_t>(0, 2 << 20)(random);
        run_request request;
        request.when = [at](const std::string& out, const std::string&) { return out.size() >= at; };
        request.signal_to_send = SIGKILL;
        request.read_chunk = 16384, request.read_pause_ms = 1;
        run_result r = run({"--timecodes", path("staged.txt"), "--y4m", staged}, request);
        ASSERT_GE(r.out.size(), staged_header.size());
        size_t received = (r.out.size() - staged_header.size()) / staged_frame;
        size_t lines = read_lines(path("staged.txt")).size() - 1;
        EXPECT_GE(lines, received);
        EXPECT_LE(lines, received + (1 << 20) / staged_frame + 1) << r.out.size() << " bytes received";
    }
}

TEST_F(Timecodes, OnlyWithTheY4mModes) {
    for (const char* form : {"--wav", "--rf64", "--validate"}) {
        run_result r = run({"--timecodes", path("t.txt"), form, script(clip)});
        EXPECT_EQ(r.status, 2) << form;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.trace.empty());
        EXPECT_FALSE(file_exists(path("t.txt")));
    }
}

// x264 encodes the stream, mkvmerge muxes it with the file, and the frames
// of the .mkv sit at the file's times.
TEST_F(Timecodes, MkvmergePlacesTheFramesAtTheirTimes) {
    if (e2e.platform == "windows") GTEST_SKIP() << "shell pipelines of Linux consumers";
    for (const char* tool : {"x264", "mkvmerge", "ffprobe"}) {
        if (system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) != 0) {
            printf("SKIPPED: %s is not installed (Debian packages x264, mkvtoolnix, ffmpeg)\n", tool);
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    std::string avs = shell_quote(script(clip));
    struct {
        const char* leading;
        const char* times;
    } cases[] = {
        {"", "0,20,60,80,190,220,250"},
        {"--frames 3 8 ", "60,80,190,220"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leading);
        int status;
        std::string out = shell_output(
            "cd " + shell_quote(dir) + " && rm -f v.264 v.mkv && " + runner_command() + " " + c.leading +
                "--timecodes t.txt --y4m-skip-drop 25 1 " + avs +
                " 2>/dev/null | x264 --demuxer y4m -o v.264 - 2>/dev/null && mkvmerge -q -o v.mkv "
                "--timestamps 0:t.txt "
                "v.264 && ffprobe -v error -show_entries packet=pts_time -of csv=p=0 v.mkv | sort -n | "
                "awk '{ printf \"%s%d\", (NR > 1 ? \",\" : \"\"), $1 * 1000 + 0.5 }'",
            &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(out, c.times);
    }
}

}  // namespace
