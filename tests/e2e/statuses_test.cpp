// Every exit status from 0 to 15 reaches the caller, each with the line that
// explains it: a crash that happens to end with the same number (an access
// violation under Wine ends with 5) does not pass.
#include <set>

#include "e2e_test.h"
#include "exit_status.h"
#include "expected_output.h"

namespace {

class Statuses : public RunnerTest {};

TEST_F(Statuses, EachStatusWithItsMessage) {
    struct {
        int status;
        std::vector<std::string> args;  // "@" stands for the clip description's path
        std::string description;
        std::string last_line;  // of standard error
        std::string variant;
        std::string out;  // the start of standard output
    } cases[] = {
        {0, {"--check-source", "7", "@"}, "prop zvk_source_id = int 7\n", "", "complete", "source_id=7\n"},
        {1, {"--y4m", "@"}, "result = error\nerror = no such filter\n", "no such filter", "complete", ""},
        {2, {"--wav"}, "", "       zvk_avs_runner --wav script.avs", "complete", ""},
        {3, {"--y4m", "@"}, "result = bool\n", "script did not return a clip", "complete", ""},
        {4,
         {"--y4m", "@"},
         "pixel_type = RGBP\n",
         "unsupported Avisynth pixel format for Y4M output: -1879048191",
         "complete",
         ""},
        {5,
         {"--y4m", "@"},
         "frames = 3\nfail_frame = 1\nfail_error = gone\n",
         "failed to get frame 1: gone",
         "complete",
         "YUV4MPEG2 "},
        {6, {"--wav", "@"}, "frames = 3\n", "script has no audio", "complete", ""},
        {7,
         {"--wav", "@"},
         "audio_rate = 8000\nsample_type = int8\nchannels = 1\n",
         "unsupported Avisynth audio sample type for WAV output: 1",
         "complete",
         ""},
        {8,
         {"--wav", "@"},
         "audio_rate = 8000\nsample_type = int32\nchannels = 2\naudio_samples = 600000000\n",
         "WAV output would exceed RIFF size limit",
         "complete",
         ""},
        {9,
         {"--wav", "@"},
         "audio_rate = 8000\nsample_type = int16\nchannels = 1\naudio_samples = 9\nfail_audio_at = 0\n",
         "failed to get audio at sample 0",
         "complete",
         "RIFF"},
        {11,
         {"--validate", "@", "/nonexistent-dir/x.csv"},
         "frames = 1\n",
         "failed to open validation CSV for writing: /nonexistent-dir/x.csv",
         "complete",
         "clip_info,"},
        {12,
         {"--check-source", "7", "@"},
         "prop zvk_source_id = error 3\n",
         "failed to read zvk_source_id at frame 0",
         "complete",
         ""},
        {13, {"--check-source", "7", "@"}, "frames = 0\n", "script has no video frames", "complete", ""},
        {14,
         {"--check-source", "7", "@"},
         "frames = 1\n",
         "frame 0 is missing zvk_source_id",
         "complete",
         ""},
        {15,
         {"--check-source", "7", "@"},
         "prop zvk_source_id = int 8\n",
         "frame 0 has zvk_source_id 8, expected 7",
         "complete",
         ""},
    };
    // Every status the program names is shown here, 10 in the test below.
    std::set<int> shown = {10}, named;
    for (const auto& c : cases) shown.insert(c.status);
#define NAMED(name, value, meaning) named.insert(value);
    EXIT_STATUSES(NAMED)
#undef NAMED
    EXPECT_EQ(shown, named);
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        for (std::string& a : args)
            if (a == "@") a = script(c.description);
        run_request request;
        request.variant = c.variant;
        run_result r = run(args, request);
        EXPECT_EQ(r.status, c.status) << c.last_line;
        std::vector<std::string> lines = text_lines(r.err);
        if (c.last_line.empty()) {
            EXPECT_TRUE(lines.empty()) << r.err;
        } else {
            EXPECT_EQ(lines.empty() ? "" : item(lines, -1), c.last_line) << "status " << c.status;
        }
        EXPECT_EQ(r.out.substr(0, c.out.size()), c.out) << "status " << c.status;
        if (c.out.empty()) {
            EXPECT_EQ(r.out, "") << "status " << c.status;
        }
    }
}

// Status 10 needs the 65536-sample buffer (here 65532 x 65536 bytes) to be
// refused: a 32-bit program cannot have 4 GiB, a 64-bit one is given less
// address space.
TEST_F(Statuses, AudioBufferThatCannotBeAllocatedGivesStatus10) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address space limits do not mix with AddressSanitizer";
#endif
    run_request request;
    if (e2e.platform == "windows") {
        if (e2e.width != "32-bit") GTEST_SKIP() << "Wine needs more address space than the limit leaves";
    } else {
        request.memory_limit = (size_t)1 << 30;
    }
    run_result r = run(
        {"--wav", script("audio_rate = 8000\nsample_type = int32\nchannels = 16383\naudio_samples = 5\n")},
        request);
    EXPECT_EQ(r.status, 10);
    EXPECT_EQ(item(text_lines(r.err), -1), "failed to allocate audio buffer");
    EXPECT_EQ(r.out.size(), 44u) << "the header, as before any sample";
    EXPECT_TRUE(trace_with(r.trace, "get_audio").empty());
}

}  // namespace
