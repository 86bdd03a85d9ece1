// The validation report: the clip_info line, the CSV of frame properties,
// the closing line, and the failures that end a validation run.
#include "e2e_test.h"
#include "expected_output.h"

namespace {

const std::string csv_header =
    "output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,"
    "absolute_timestretch\n";

class Validation : public RunnerTest {};

TEST_F(Validation, ClipInfoLineWithoutAudio) {
    run_result r = run({"--validate", script("width = 640\nheight = 360\nframes = 3\nfps = 24000/1001\n")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "clip_info,width=640,height=360,chroma=C420jpeg,bit_depth=8,frames=3,fps_num=24000,fps_den=1001,"
        "has_audio=0,audio_rate=0,audio_channels=0,audio_samples=0\n"
        "rendered=3\n");
}

TEST_F(Validation, ClipInfoLineWithAudioAndAWideRate) {
    run_result r =
        run({"--validate-real",
             script("width = 8\nheight = 4\npixel_type = YUV422P10\nframes = 2\nfps = 4294967295/2147483648\n"
                    "audio_rate = 44100\nsample_type = int24\nchannels = 6\naudio_samples = 8589934592\n")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "clip_info,width=8,height=4,chroma=C422p10,bit_depth=10,frames=2,fps_num=4294967295,"
              "fps_den=2147483648,has_audio=1,audio_rate=44100,audio_channels=6,audio_samples=8589934592\n"
              "rendered=2\n");
}

TEST_F(Validation, ClipWithoutATagIsUnknownAndRunsToTheEnd) {
    run_result r = run({"--validate", script("pixel_type = Y8\nframes = 4\n")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "clip_info,width=4,height=2,chroma=unknown,bit_depth=8,frames=4,fps_num=25,fps_den=1,"
              "has_audio=0,audio_rate=0,audio_channels=0,audio_samples=0\nrendered=4\n");
    run_result f = run({"--validate", script("pixel_type = YUV420PS\nframes = 1\n")});
    EXPECT_NE(item(text_lines(f.out), 0).find(",chroma=unknown,bit_depth=32,"), std::string::npos) << f.out;
}

TEST_F(Validation, RowsOfPropertiesPresentAndAbsent) {
    std::string clip = script(
        "frames = 5\n"
        "prop zvk_source_id @0 = int 42\n"
        "prop zvk_source_frame @0 = int 7\n"
        "prop zvk_drop_frame @0 = int 1\n"
        "prop _Matrix @0 = int 1\n"
        "prop _Primaries @0 = int 1\n"
        "prop _Transfer @0 = int 1\n"
        "prop _ColorRange @0 = int 0\n"
        "prop zvk_absolute_timestretch @0 = float 1.001\n"
        // frame 1: values beyond 32 bits and below zero; a stretch of 2
        "prop zvk_source_id @1 = int -9223372036854775808\n"
        "prop zvk_source_frame @1 = int 1099511627781\n"
        "prop zvk_drop_frame @1 = int -1\n"
        "prop _Matrix @1 = int 0\n"
        "prop _Primaries @1 = int -2\n"
        "prop _Transfer @1 = int 9223372036854775807\n"
        "prop _ColorRange @1 = int 4294967296\n"
        "prop zvk_absolute_timestretch @1 = float 2\n"
        // frame 2: only the columns that print 0 when absent are set, to 0
        "prop zvk_drop_frame @2 = int 0\n"
        "prop _Primaries @2 = int 0\n"
        "prop zvk_absolute_timestretch @2 = float 0\n"
        // frame 4: an unset key and a bad index both count as absent
        "prop zvk_source_id @4 = error 1\n"
        "prop _Matrix @4 = error 4\n"
        "prop zvk_absolute_timestretch @4 = float -0.5\n"
        "nomap = 3\n");
    run_result r = run({"--validate", clip, path("frames.csv")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(path("frames.csv")),
              csv_header +
                  "0,42,7,1,1,1,1,0,1.0009999999999999\n"
                  "1,-9223372036854775808,1099511627781,-1,0,-2,9223372036854775807,4294967296,2\n"
                  "2,,,0,,0,0,0,0\n"
                  "3,,,0,,0,0,0,\n"
                  "4,,,0,,0,0,0,-0.5\n");
    EXPECT_EQ(csv_header.size(), 106u);
    EXPECT_EQ(most_frames_held(r.trace), 1);
    // Eight reads per frame, in column order, each with its own map request.
    std::vector<std::string> reads = trace_with(r.trace, "prop_get");
    ASSERT_EQ(reads.size(), 8u * 4);  // frame 3 has no map
    EXPECT_EQ(std::vector<std::string>(reads.begin(), reads.begin() + 8),
              (std::vector<std::string>{
                  "prop_get_int 0 zvk_source_id -> 0", "prop_get_int 0 zvk_source_frame -> 0",
                  "prop_get_int 0 zvk_drop_frame -> 0", "prop_get_int 0 _Matrix -> 0",
                  "prop_get_int 0 _Primaries -> 0", "prop_get_int 0 _Transfer -> 0",
                  "prop_get_int 0 _ColorRange -> 0", "prop_get_float 0 zvk_absolute_timestretch -> 0"}));
    EXPECT_EQ(trace_with(r.trace, "props ").size(), 8u * 5);
}

TEST_F(Validation, ZeroFrameClipWritesTheHeaderOnly) {
    run_result r = run({"--validate", script("frames = 0\n"), path("frames.csv")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(path("frames.csv")), csv_header);
    EXPECT_NE(item(text_lines(r.out), 0).find(",frames=0,"), std::string::npos);
    EXPECT_EQ(item(text_lines(r.out), 1), "rendered=0");
}

TEST_F(Validation, WithoutACsvNoFileNoLogNoPropertyRead) {
    run_result r = run({"--validate", script("frames = 3\nprop zvk_source_id = string not-a-number\n")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(text_lines(r.out).size(), 2u);
    EXPECT_TRUE(trace_with(r.trace, "props").empty());
    std::vector<std::string> files;
    for (const char* name : {"frames.csv", "frames.csv.runner.log"}) EXPECT_FALSE(file_exists(path(name)));
    std::vector<progress_line> lines = progress_lines(r.err);
    EXPECT_EQ(item(lines, 0).text, "zvk_progress,0,3,0.00,0.000,0.000");
    EXPECT_EQ(r.err, item(lines, 0).text + "\n" + item(lines, -1).text + "\n");
}

TEST_F(Validation, CsvThatCannotBeOpenedGivesStatus11) {
    std::string csv = path("missing/frames.csv");
    run_result r = run({"--validate", script("frames = 3\n"), csv});
    EXPECT_EQ(r.status, 11);
    EXPECT_EQ(text_lines(r.out).size(), 1u);
    EXPECT_EQ(r.out.rfind("clip_info,", 0), 0u);
    // Before the loop: no progress line, no frame.
    EXPECT_EQ(r.err, "failed to open validation CSV for writing: " + csv + "\n");
    EXPECT_TRUE(trace_with(r.trace, "get_frame").empty());
    expect_clip_kept(r);
}

TEST_F(Validation, UnreadablePropertyGivesStatus12WithTheEarlierRows) {
    std::string clip =
        script("frames = 10\nprop zvk_source_id = int frame\nprop _Transfer @5 = string bt709\n");
    run_result r = run({"--validate", clip, path("frames.csv")});
    EXPECT_EQ(r.status, 12);
    EXPECT_EQ(item(text_lines(r.err), -1), "failed to read zevokit frame properties at frame 5");
    std::string expected = csv_header;
    for (int f = 0; f < 5; f++) expected += std::to_string(f) + "," + std::to_string(f) + ",,0,,0,0,0,\n";
    EXPECT_EQ(read_file(path("frames.csv")), expected);
    EXPECT_EQ(text_lines(r.out).size(), 1u);
    // All eight reads are made, then the frame is released.
    std::vector<std::string> reads = trace_with(r.trace, "prop_get");
    EXPECT_EQ(item(reads, -1), "prop_get_float 5 zvk_absolute_timestretch -> 1");
    EXPECT_EQ(item(r.trace, -1), "release_frame 5 held=0");
    for (const progress_line& p : progress_lines(r.err)) EXPECT_LE(p.done, 5);
}

// The rows of every frame rendered before a fetch failure reach the file.
TEST_F(Validation, UnfetchableFrameKeepsTheEarlierRows) {
    std::string clip = script("frames = 10\nfail_frame = 5\nprop zvk_source_frame = int frame\n");
    run_result r = run({"--validate", clip, path("frames.csv")});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(item(text_lines(r.err), -1), "failed to get frame 5");
    std::string expected = csv_header;
    for (int f = 0; f < 5; f++) expected += std::to_string(f) + ",," + std::to_string(f) + ",0,,0,0,0,\n";
    EXPECT_EQ(read_file(path("frames.csv")), expected);
}

TEST_F(Validation, ExistingCsvIsReplaced) {
    write_file(path("frames.csv"), std::string(5000, 'x'));
    run_result r = run({"--validate", script("frames = 0\n"), path("frames.csv")});
    EXPECT_EQ(read_file(path("frames.csv")), csv_header);
}

// The two validation modes differ only in the variable the script sees.
TEST_F(Validation, BlankAndRealModesDifferOnlyInTheVariable) {
    std::string clip = script("frames = 4\nprop zvk_source_id = int 11\nprop zvk_source_frame = int frame\n");
    run_result blank = run({"--validate", clip, path("blank.csv")});
    std::vector<std::string> blank_log = read_lines(path("blank.csv.runner.log"));
    run_result real = run({"--validate-real", clip, path("real.csv")});
    std::vector<std::string> real_log = read_lines(path("real.csv.runner.log"));
    EXPECT_EQ(blank.status, 0);
    EXPECT_EQ(real.status, 0);
    EXPECT_EQ(blank.out, real.out);
    EXPECT_EQ(read_file(path("blank.csv")), read_file(path("real.csv")));
    EXPECT_EQ(blank_log, real_log);
    ASSERT_EQ(blank.trace.size(), real.trace.size());
    for (size_t i = 0; i < blank.trace.size(); i++) {
        if (blank.trace[i].rfind("set_var", 0) == 0) {
            EXPECT_EQ(blank.trace[i], "set_var zvk_validation_blank b 1");
            EXPECT_EQ(real.trace[i], "set_var zvk_validation_blank b 0");
        } else {
            EXPECT_EQ(blank.trace[i], real.trace[i]);
        }
    }
    EXPECT_EQ(progress_lines(blank.err).size(), progress_lines(real.err).size());
}

}  // namespace
