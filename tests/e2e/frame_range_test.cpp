// Part of a clip (--frames FIRST LAST), and audio past the RIFF limit
// (--rf64). The parts of any split of a clip, rendered apart and joined,
// equal the whole render byte for byte, so that many processes or machines
// can share one clip.
#include <stdio.h>

#include "e2e_test.h"
#include "expected_output.h"
#include "standin_pattern.h"

namespace {

class FrameRange : public RunnerTest {};

// 10 frames at 30000/1001 with 44100 Hz audio: 1471.47 samples a frame, so
// most frame boundaries fall between samples; the audio runs on past the
// video's end. Frames 2 and 7 are marked dropped.
const char* const clip_text =
    "width = 8\nheight = 4\nframes = 10\nfps = 30000/1001\nframe_period = 10\n"
    "prop zvk_source_id = int frame\nprop zvk_drop_frame @2 = int 1\nprop zvk_drop_frame @7 = int 1\n"
    "audio_rate = 44100\nsample_type = int16\nchannels = 2\naudio_samples = 15000\n";

typedef std::vector<std::pair<int, int>> split;

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n') + 1); }
std::string after_first_line(const std::string& text) { return text.substr(text.find('\n') + 1); }

TEST_F(FrameRange, PartsJoinedEqualTheWhole) {
    std::string clip = script(clip_text);
    const std::vector<split> splits = {
        {{0, 9}},
        {{0, 4}, {5, 9}},
        {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}},
        {{0, 2}, {3, 3}, {4, 8}, {9, 9}},
    };
    struct {
        std::vector<std::string> form;  // the script path follows
        bool csv;
    } modes[] = {{{"--y4m"}, false},
                 {{"--y4m-skip-drop", "24", "1"}, false},
                 {{"--validate"}, true},
                 {{"--wav"}, false}};
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.form[0]);
        std::vector<std::string> args = mode.form;
        args.push_back(clip);
        if (mode.csv) args.push_back(path("whole.csv"));
        run_result whole = run(args);
        ASSERT_EQ(whole.status, 0) << whole.err;
        std::string whole_bytes = mode.csv ? read_file(path("whole.csv")) : whole.out;
        for (const split& parts : splits) {
            std::string joined;
            for (size_t i = 0; i < parts.size(); i++) {
                std::string range = std::to_string(parts[i].first) + "-" + std::to_string(parts[i].second);
                SCOPED_TRACE(range);
                std::vector<std::string> part_args = {"--frames", std::to_string(parts[i].first),
                                                      std::to_string(parts[i].second)};
                part_args.insert(part_args.end(), args.begin(), args.end());
                std::string csv = path("part" + range + ".csv");
                if (mode.csv) part_args.back() = csv;
                run_result part = run(part_args);
                ASSERT_EQ(part.status, 0) << part.err;
                int length = parts[i].second - parts[i].first + 1;
                if (mode.form[0] == "--wav") {
                    // Each part is a stream of its own, its header telling its size.
                    uint32_t size = 0;
                    for (int b = 3; b >= 0; b--) size = size * 256 + (unsigned char)part.out[40 + b];
                    EXPECT_EQ(size, part.out.size() - 44);
                    joined += i == 0 ? part.out.substr(0, 44) : "";
                    joined += part.out.substr(44);
                    continue;
                }
                progress_line last = item(progress_lines(part.err), -1);
                EXPECT_EQ(last.done, length);
                EXPECT_EQ(last.total, length);
                if (mode.csv) {
                    EXPECT_EQ(part.out, first_line(whole.out) + "rendered=" + std::to_string(length) + "\n");
                    std::string rows = read_file(csv);
                    joined += i == 0 ? rows : after_first_line(rows);
                } else {
                    EXPECT_EQ(first_line(part.out), first_line(whole.out));
                    joined += i == 0 ? part.out : after_first_line(part.out);
                }
            }
            if (mode.form[0] == "--wav") {
                // Only the sizes in the header differ: the samples are the same.
                EXPECT_TRUE(joined.substr(44) == whole_bytes.substr(44));
            } else {
                EXPECT_TRUE(joined == whole_bytes) << "joined parts differ from the whole";
            }
        }
    }
}

// A range renders, logs and reports its own frames by their numbers in the
// clip; progress counts the range.
TEST_F(FrameRange, FramesAreNamedByTheirNumberInTheClip) {
    std::string csv = path("part.csv");
    run_result r = run({"--frames", "3", "5", "--validate", script(clip_text), csv});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fetched_frames(r.trace), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(item(progress_lines(r.err), -1).text.substr(0, 24), "zvk_progress,3,3,100.00,");
    std::vector<std::string> log = read_lines(csv + ".runner.log");
    EXPECT_EQ(trace_with(log, "render: frame"),
              (std::vector<std::string>{"render: frame 3", "render: frame 5"}));
    EXPECT_EQ(item(read_lines(csv), 1).substr(0, 4), "3,3,");

    run_result failed = run({"--frames", "3", "8", "--y4m", script("frames = 10\nfail_frame = 6\n")});
    EXPECT_EQ(failed.status, 5);
    EXPECT_EQ(item(text_lines(failed.err), -1), "failed to get frame 6");
}

TEST_F(FrameRange, RangesThatCannotBeRendered) {
    std::string clip = script("frames = 10\n");
    struct {
        std::vector<std::string> args;
        std::string err;
        bool loads;  // the clip must be seen to know
    } cases[] = {
        {{"--frames", "3", "2", "--y4m", clip},
         "--frames 3 2: the first frame comes after the last\n",
         false},
        {{"--frames", "x", "2", "--y4m", clip},
         "--frames needs two frame numbers (0, 1, 2, ...), not \"x\"\n",
         false},
        {{"--frames", "-1", "2", "--wav", clip},
         "--frames needs two frame numbers (0, 1, 2, ...), not \"-1\"\n",
         false},
        {{"--frames", "0", "2x", "--validate", clip},
         "--frames needs two frame numbers (0, 1, 2, ...), not \"2x\"\n",
         false},
        {{"--frames", "0", "", "--y4m", clip},
         "--frames needs two frame numbers (0, 1, 2, ...), not \"\"\n",
         false},
        {{"--frames", "0", "2147483647", "--y4m", clip},
         "--frames needs two frame numbers (0, 1, 2, ...), not \"2147483647\"\n",
         false},
        {{"--frames", "0", "10", "--y4m", clip}, "--frames 0 10 does not fit the clip's 10 frames\n", true},
        {{"--frames", "10", "10", "--validate", clip, path("f.csv")},
         "--frames 10 10 does not fit the clip's 10 frames\n",
         true},
        {{"--frames", "0", "0", "--wav",
          script("frames = 0\naudio_rate = 8000\nsample_type = int16\nchannels = 1\n", "audio.avs")},
         "--frames 0 0 does not fit the clip's 0 frames\n",
         true},
    };
    for (const auto& c : cases) {
        run_result r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.trace.empty(), !c.loads) << c.err;
    }
    EXPECT_FALSE(file_exists(path("f.csv")));
}

// The forms that take no range, or come without one, print the usage text
// with the later forms.
TEST_F(FrameRange, UsageOfTheLaterForms) {
    std::string extended =
        std::string(usage_text) +
        "       zvk_avs_runner --rf64 script.avs\n"
        "       zvk_avs_runner --frames first last (any form above but --check-source)\n"
        "       zvk_avs_runner --progress-bar (before any form above: progress for people)\n"
        "       zvk_avs_runner --info script.avs\n"
        "       zvk_avs_runner --arg name=value (repeatable, before any form above)\n"
        "       zvk_avs_runner --memory-max megabytes (before any form above)\n"
        "       zvk_avs_runner --library path (before any form above)\n"
        "       zvk_avs_runner --wav-extensible script.avs\n"
        "       zvk_avs_runner --timecodes file (before --y4m, --y4m-skip-drop or --raw)\n"
        "       zvk_avs_runner --mkv script.avs\n"
        "       zvk_avs_runner --mkv-skip-drop script.avs\n"
        "       zvk_avs_runner --y4m-tags (before --y4m or --y4m-skip-drop: frame properties in the "
        "header)\n"
        "       zvk_avs_runner --bench script.avs [frames.csv]\n"
        "       zvk_avs_runner --props file (before any form that fetches frames: all but --wav, --rf64, "
        "--wav-extensible and --info)\n"
        "       zvk_avs_runner --info-frame0 script.avs\n"
        "       zvk_avs_runner --raw script.avs\n";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--frames", "0", "1"},
             {"--frames", "0"},
             {"--frames", "0", "1", "--check-source", "5", "a.avs"},
             {"--frames", "0", "1", "--y4m", "a.avs", "b"},
             {"--frames", "0", "1", "--frames", "0", "1", "--y4m", "a.avs"},
             {"--rf64", "a.avs", "b"},
             {"--rf64"},
         }) {
        run_result r = run(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.err, extended);
        EXPECT_TRUE(r.trace.empty());
    }
}

class Rf64 : public RunnerTest {};

std::string le32(uint32_t v) {
    return std::string{(char)(v & 0xFF), (char)((v >> 8) & 0xFF), (char)((v >> 16) & 0xFF), (char)(v >> 24)};
}
std::string le64(uint64_t v) { return le32((uint32_t)v) + le32((uint32_t)(v >> 32)); }

std::string audio(long long samples, const std::string& more = "") {
    return "frames = 0\naudio_rate = 48000\nsample_type = int16\nchannels = 2\naudio_samples = " +
           std::to_string(samples) + "\n" + more;
}

// Where RIFF can describe the data, the stream is the --wav stream.
TEST_F(Rf64, SameAsWavWhereRiffSuffices) {
    for (const std::string& clip : {audio(150000), audio(0), audio(1073741814, "fail_audio_at = 0\n")}) {
        run_result wav = run({"--wav", script(clip)});
        run_result rf64 = run({"--rf64", script(clip)});
        EXPECT_EQ(rf64.status, wav.status);
        EXPECT_TRUE(rf64.out == wav.out);
        EXPECT_EQ(rf64.err, wav.err);
    }
}

// One sample frame past the limit: a ds64 chunk carries the sizes. The
// first fetch fails, leaving the header alone to check.
TEST_F(Rf64, Ds64HeaderPastTheLimit) {
    run_result r = run({"--rf64", script(audio(1073741815, "fail_audio_at = 0\n"))});
    EXPECT_EQ(r.status, 9);
    uint64_t data = 1073741815ull * 4;
    std::string expected = "RF64" + le32(0xFFFFFFFFu) + "WAVE" + "ds64" + le32(28) + le64(data + 72) +
                           le64(data) + le64(1073741815ull) + le32(0) + "fmt " + le32(16) +
                           std::string("\x01\x00\x02\x00", 4) + le32(48000) + le32(192000) +
                           std::string("\x04\x00\x10\x00", 4) + "data" + le32(0xFFFFFFFFu);
    EXPECT_EQ(r.out.size(), 80u);
    EXPECT_TRUE(r.out == expected);
    // --wav keeps its refusal.
    run_result wav = run({"--wav", script(audio(1073741815))});
    EXPECT_EQ(wav.status, 8);
    EXPECT_EQ(wav.out, "");
}

// 46 minutes of 7.1 float audio, 4.3 GB, through a pipe: ffprobe reads the
// duration, ffmpeg decodes every sample to the last.
TEST_F(Rf64, StreamOver4GiBThroughAPipe) {
    const long long samples = 134250000;
    std::string clip =
        script("frames = 0\naudio_rate = 48000\nsample_type = float\nchannels = 8\naudio_samples = " +
               std::to_string(samples) + "\n");
    std::string runner = runner_command() + " --rf64 " + shell_quote(native_path(clip));
    int status;
    std::string probe =
        shell_output(runner +
                         " | ffprobe -v error -show_entries stream=codec_name,sample_rate,channels"
                         ":format=duration -of csv=p=0 -i -",
                     &status);
    EXPECT_EQ(probe, "pcm_f32le,48000,8\n2796.875000\n");

    FILE* decoded =
        popen((runner + " | ffmpeg -nostdin -v error -i - -f f32le -c:a pcm_f32le -").c_str(), "r");
    ASSERT_NE(decoded, nullptr);
    static char buffer[1 << 20];
    uint64_t total = 0;
    std::string last;
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, decoded)) > 0) {
        total += n;
        last = (last + std::string(buffer, n)).substr(last.size() + n > 256 ? last.size() + n - 256 : 0);
    }
    EXPECT_EQ(pclose(decoded), 0);
    EXPECT_EQ(total, (uint64_t)samples * 32);
    std::string expected(256, '\0');
    for (int s = 0; s < 8; s++)
        for (int c = 0; c < 8; c++)
            standin_sample(16, samples - 8 + s, c, (unsigned char*)&expected[(size_t)(s * 32 + c * 4)]);
    EXPECT_TRUE(last == expected) << "the last samples differ";
}

}  // namespace
