// A library (or a plugin in it) that prints to standard output while the
// script is imported and at every fetch: in the stream modes its text goes
// to standard error and the stream keeps its bytes; the reports of the
// other modes keep standard output as it was.
#include "e2e_test.h"
#include "expected_output.h"
#include "json_check.h"

namespace {

class ChattyLibrary : public RunnerTest {};

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
}

TEST_F(ChattyLibrary, StreamsStayByteIdenticalAndTheTextGoesToStandardError) {
    const std::string clip =
        "width = 16\nheight = 8\nframes = 5\nprop zvk_drop_frame @1 = int 1\n"
        "audio_rate = 8000\nsample_type = int16\nchannels = 2\naudio_samples = 140000\n";
    std::string quiet = script(clip, "quiet.avs");
    std::string chatty = script(clip + "stdout_text = plugin says hello\n", "chatty.avs");
    struct {
        std::vector<std::string> args;
        size_t fetches;  // lines printed at fetches
    } cases[] = {
        {{"--y4m"}, 5},
        {{"--y4m-skip-drop", "25", "1"}, 5},
        {{"--frames", "2", "3", "--y4m"}, 2},
        {{"--wav"}, 3},
        {{"--rf64"}, 3},
        {{"--wav-extensible"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<std::string> a = c.args, b = c.args;
        a.push_back(quiet);
        b.push_back(chatty);
        run_result expected = run(a), r = run(b);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_GT(expected.out.size(), 0u);
        EXPECT_TRUE(r.out == expected.out) << "the stream differs from the quiet run's";
        EXPECT_EQ(count_of(r.err, "plugin says hello (import)\n"), 1u);
        EXPECT_EQ(
            count_of(r.err, "plugin says hello (frame)\n") + count_of(r.err, "plugin says hello (audio)\n"),
            c.fetches);
    }
}

// --info's standard output is one JSON document: the text goes to standard
// error, as in the stream modes.
TEST_F(ChattyLibrary, InfoStaysOneJsonDocument) {
    run_result r = run({"--info", script("frames = 2\nstdout_text = plugin says hello\n")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count_of(r.err, "plugin says hello (import)\n"), 1u);
    expect_json(r.out, run({"--info", script("frames = 2\n", "quiet.avs")}).out, path("info.json"));
}

TEST_F(ChattyLibrary, ReportsKeepStandardOutput) {
    std::string avs = script("frames = 2\nprop zvk_source_id = int 7\nstdout_text = plugin says hello\n");
    run_result validate = run({"--validate", avs});
    EXPECT_EQ(validate.status, 0);
    EXPECT_EQ(count_of(validate.out, "plugin says hello"), 3u);
    EXPECT_EQ(count_of(validate.err, "plugin says hello"), 0u);
    run_result check = run({"--check-source", "7", avs});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out.find("plugin says hello (import)\n"), 0u);
}

}  // namespace
