// The Y4M stream, byte for byte: header, frame markers, planes without
// padding, the frame rate and the drop rule of --y4m-skip-drop.
#include "e2e_test.h"
#include "expected_output.h"

namespace {

class Y4m : public RunnerTest {};

const std::vector<plane_size> planes_4x2_420 = yuv_planes(420, 4, 2, 1);

TEST_F(Y4m, SmallClipByteForByte) {
    run_result r = run({"--y4m", script("width = 4\nheight = 2\nfps = 25/1\nframes = 3\n")});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected = "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n";
    for (int f = 0; f < 3; f++) expected += y4m_frame(f, planes_4x2_420);
    EXPECT_EQ(r.out, expected);
    // 8 bytes of Y, 2 of U and 2 of V per frame.
    EXPECT_EQ(r.out.size(), 39u + 3 * (6 + 8 + 2 + 2));
    // Frames this small are copied and given back at once.
    EXPECT_EQ(most_frames_held(r.trace), 1);
    EXPECT_EQ(fetched_frames(r.trace), (std::vector<int>{0, 1, 2}));
    expect_clip_kept(r);
}

TEST_F(Y4m, PaddingBetweenRowsIsNeverWritten) {
    run_result r = run({"--y4m", script("width = 8\nheight = 4\nframes = 2\npad = 13\npad_byte = 0xEE\n")});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<plane_size> planes = yuv_planes(420, 8, 4, 1);
    EXPECT_EQ(r.out,
              "YUV4MPEG2 W8 H4 F25:1 Ip A0:0 C420jpeg\n" + y4m_frame(0, planes) + y4m_frame(1, planes));
}

TEST_F(Y4m, WideSamplesTakeTwoBytes) {
    struct {
        const char* description;
        int family;
        const char* tag;
    } cases[] = {
        {"pixel_type = YUV420P10\n", 420, "C420p10"},
        {"pixel_type = YUV422P10\n", 422, "C422p10"},
        {"pixel_type = YUV444P16\n", 444, "C444p16"},
        {"pixel_type = YUV422P10\nbits = 12\n", 422, "C422p12"},
        {"pixel_type = YUV420P14\npad = 6\n", 420, "C420p14"},
    };
    for (const auto& c : cases) {
        run_result r =
            run({"--y4m", script(std::string("width = 6\nheight = 4\nframes = 2\n") + c.description)});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<plane_size> planes = yuv_planes(c.family, 6, 4, 2);
        EXPECT_EQ(r.out, std::string("YUV4MPEG2 W6 H4 F25:1 Ip A0:0 ") + c.tag + "\n" + y4m_frame(0, planes) +
                             y4m_frame(1, planes))
            << c.description;
    }
}

TEST_F(Y4m, TagsOfEveryFamilyAndDepth) {
    struct {
        const char* description;
        const char* tag;
    } cases[] = {
        {"pixel_type = YV12", "C420jpeg"},
        {"pixel_type = YV16", "C422"},
        {"pixel_type = YV24", "C444"},
        {"pixel_type = YUV420P10", "C420p10"},
        {"pixel_type = YUV420P12", "C420p12"},
        {"pixel_type = YUV420P14", "C420p14"},
        {"pixel_type = YUV420P16", "C420p16"},
        {"pixel_type = YUV422P10", "C422p10"},
        {"pixel_type = YUV422P16", "C422p16"},
        {"pixel_type = YUV422P16\nbits = 14", "C422p14"},
        {"pixel_type = YUV444P10", "C444p10"},
        {"pixel_type = YUV444P16\nbits = 12", "C444p12"},
        {"pixel_type = YUV444P16\nbits = 14", "C444p14"},
        {"pixel_type = YUV444P16", "C444p16"},
        {"pixel_type = YUVA420", "C420jpeg"},
        {"pixel_type = YV12\nbits = 0", "C420jpeg"},
        {"pixel_type = YV12\nbits = -4", "C420jpeg"},
    };
    for (const auto& c : cases) {
        run_result r = run({"--y4m", script(std::string("frames = 0\n") + c.description + "\n")});
        EXPECT_EQ(r.status, 0) << c.description << "\n" << r.err;
        EXPECT_EQ(r.out, std::string("YUV4MPEG2 W4 H2 F25:1 Ip A0:0 ") + c.tag + "\n") << c.description;
    }
}

TEST_F(Y4m, AlphaPlaneIsNeverWritten) {
    run_result r = run({"--y4m", script("pixel_type = YUVA420\nframes = 1\n")});
    EXPECT_EQ(r.out, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n" + y4m_frame(0, planes_4x2_420));
}

// The first progress line comes before the refusal; nothing reaches
// standard output and no frame is fetched.
TEST_F(Y4m, FormatsWithoutATagAreRefusedWithStatus4) {
    struct {
        const char* description;
        const char* value;
    } cases[] = {
        {"pixel_type = YUV420PS", "-1610481656"},
        {"pixel_type = YUV444PS", "-1610480885"},
        {"pixel_type = Y8", "-536870912"},
        {"pixel_type = Y16", "-536805376"},
        {"pixel_type = BGR24", "1342177281"},
        {"pixel_type = BGR32", "1342177282"},
        {"pixel_type = RGBP", "-1879048191"},
        {"pixel_type = YUY2", "1610612740"},
        {"pixel_type = YV411", "-1610611959"},
        {"pixel_type = YUV420P10\nbits = 9", "-1610285048"},
        {"pixel_type = YUV422P10\nbits = 11", "-1610284280"},
        {"pixel_type = YUV444P16\nbits = 13", "-1610546421"},
        {"pixel_type = YUV444P16\nbits = 15", "-1610546421"},
        {"pixel_type = 12345", "12345"},
    };
    for (const char* mode : {"--y4m", "--y4m-skip-drop"}) {
        for (const auto& c : cases) {
            std::vector<std::string> args = {mode,
                                             script(std::string("frames = 240\n") + c.description + "\n")};
            if (std::string(mode) == "--y4m-skip-drop") args.insert(args.begin() + 1, {"30", "1"});
            run_result r = run(args);
            EXPECT_EQ(r.status, 4) << c.description;
            EXPECT_EQ(r.err, std::string("zvk_render,0,240,0.00,0.000,0.000\n"
                                         "unsupported Avisynth pixel format for Y4M output: ") +
                                 c.value + "\n");
            EXPECT_EQ(r.out, "");
            EXPECT_TRUE(trace_with(r.trace, "get_frame").empty());
            expect_clip_kept(r);
        }
    }
}

TEST_F(Y4m, LibraryWithoutPixelFormatFunctionsUsesTheClassicFormats) {
    run_request request;
    request.variant = "no_pixel_formats";
    for (auto c : std::vector<std::pair<std::string, std::string>>{
             {"YV12", "C420jpeg"}, {"YV16", "C422"}, {"YV24", "C444"}}) {
        run_result r = run({"--y4m", script("frames = 0\npixel_type = " + c.first + "\n")}, request);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 " + c.second + "\n");
    }
    // A 10-bit clip cannot be told from any classic format: refused.
    run_result r = run({"--y4m", script("frames = 1\npixel_type = YUV420P10\n")}, request);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "");
}

TEST_F(Y4m, ClipRateUnderY4mCommandLineRateUnderSkipDrop) {
    std::string clip = script("frames = 0\nfps = 30000/1001\n");
    EXPECT_EQ(run({"--y4m", clip}).out, "YUV4MPEG2 W4 H2 F30000:1001 Ip A0:0 C420jpeg\n");
    EXPECT_EQ(run({"--y4m-skip-drop", "30", "1", clip}).out, "YUV4MPEG2 W4 H2 F30:1 Ip A0:0 C420jpeg\n");
    // Written as given, never reduced; the clip's own unsigned values too.
    EXPECT_EQ(run({"--y4m-skip-drop", "60", "2", clip}).out, "YUV4MPEG2 W4 H2 F60:2 Ip A0:0 C420jpeg\n");
    EXPECT_EQ(run({"--y4m", script("frames = 0\nfps = 4294967295/2147483648\n")}).out,
              "YUV4MPEG2 W4 H2 F4294967295:2147483648 Ip A0:0 C420jpeg\n");
}

TEST_F(Y4m, SkipDropLeavesOutFramesFlaggedNonZero) {
    std::string clip = script(
        "frames = 7\n"
        "prop zvk_drop_frame @0 = int 0\n"
        "prop zvk_drop_frame @1 = int 1\n"
        "prop zvk_drop_frame @2 = int -1\n"
        "prop zvk_drop_frame @3 = string yes\n"  // unreadable: kept
        "prop zvk_drop_frame @4 = float 1\n"     // another type: kept
        "prop zvk_drop_frame @5 = int 4294967296\n"
        "prop zvk_drop_frame @6 = error 3\n");  // failed read: kept
    run_result r = run({"--y4m-skip-drop", "24", "1", clip});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected = "YUV4MPEG2 W4 H2 F24:1 Ip A0:0 C420jpeg\n";
    for (int f : {0, 3, 4, 6}) expected += y4m_frame(f, planes_4x2_420);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "zvk_render,0,7,0.00,0.000,0.000\n" + item(progress_lines(r.err), -1).text + "\n");
    EXPECT_EQ(item(progress_lines(r.err), -1).done, 7);
    // Every frame fetched and released, dropped or not.
    EXPECT_EQ(fetched_frames(r.trace), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(trace_with(r.trace, "release_frame").size(), 7u);
}

TEST_F(Y4m, AbsentFlagOrMissingMapKeepsTheFrame) {
    run_result r =
        run({"--y4m-skip-drop", "1", "1", script("frames = 3\nprop zvk_drop_frame @1 = int 1\nnomap = 1\n")});
    std::string expected = "YUV4MPEG2 W4 H2 F1:1 Ip A0:0 C420jpeg\n";
    for (int f = 0; f < 3; f++) expected += y4m_frame(f, planes_4x2_420);
    EXPECT_EQ(r.out, expected);
}

TEST_F(Y4m, Y4mNeverReadsTheDropFlag) {
    run_result r = run({"--y4m", script("frames = 3\nprop zvk_drop_frame = int 1\n")});
    EXPECT_EQ(r.status, 0);
    std::string expected = "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n";
    for (int f = 0; f < 3; f++) expected += y4m_frame(f, planes_4x2_420);
    EXPECT_EQ(r.out, expected);
    EXPECT_TRUE(trace_with(r.trace, "props").empty());
    EXPECT_TRUE(trace_with(r.trace, "prop_get").empty());
}

TEST_F(Y4m, EveryFrameDroppedLeavesTheHeaderOnly) {
    run_result r = run({"--y4m-skip-drop", "30", "1", script("frames = 5\nprop zvk_drop_frame = int 1\n")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "YUV4MPEG2 W4 H2 F30:1 Ip A0:0 C420jpeg\n");
    std::vector<progress_line> lines = progress_lines(r.err);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(item(lines, 1).done, 5);
    EXPECT_EQ(item(lines, 1).total, 5);
    EXPECT_EQ(item(lines, 1).percent, 100.0);
}

// Long enough for the writer to try its large writes on the way; padded rows
// make each write gather many segments.
TEST_F(Y4m, LongStreamWithPaddedRowsIsExact) {
    std::string clip = script("width = 1000\nheight = 800\nframes = 45\nframe_period = 3\npad = 24\n");
    run_request request;
    request.trace_path = path("no-trace/none");  // the trace would be large and is not needed
    run_result r = run({"--y4m", clip}, request);
    EXPECT_EQ(r.status, 0);
    std::vector<plane_size> planes = yuv_planes(420, 1000, 800, 1);
    std::string frames[3] = {y4m_frame(0, planes), y4m_frame(1, planes), y4m_frame(2, planes)};
    std::string expected = "YUV4MPEG2 W1000 H800 F25:1 Ip A0:0 C420jpeg\n";
    for (int f = 0; f < 45; f++) expected += frames[f % 3];
    // The bytes a text-mode stream would change or stop at are all there.
    for (char c : {'\n', '\r', '\x1a', '\0'}) EXPECT_NE(expected.find(c, 50), std::string::npos);
    EXPECT_EQ(r.out.size(), expected.size());
    EXPECT_TRUE(r.out == expected);
}

// A consumer that stops reading must not stop the run or change its status.
TEST_F(Y4m, ConsumerThatClosesThePipeEarly) {
    std::string clip = script("width = 320\nheight = 240\nframes = 60\nframe_period = 4\n");
    run_request request;
    request.out_mode = STDOUT_CLOSE_AFTER;
    request.close_after = 39 + 6 + 320 * 240 * 3 / 2;
    run_result r = run({"--y4m", clip}, request);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.size(), request.close_after);
    std::vector<progress_line> lines = progress_lines(r.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(item(lines, -1).done, 60);
    EXPECT_EQ(fetched_frames(r.trace).size(), 60u);
}

TEST_F(Y4m, ClosedStandardOutputDoesNotStopTheRun) {
    run_request request;
    request.out_mode = STDOUT_CLOSED;
    run_result r = run({"--y4m", script("frames = 5\n")}, request);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(item(progress_lines(r.err), -1).done, 5);
}

}  // namespace

// --y4m-tags: the header from the first frame of the stream, the frames
// as without it, and what the header cannot carry said once.
TEST_F(Y4m, TagsFromTheFirstFrameOfTheStream) {
    std::string clip = script(
        "frames = 5\n"
        "prop _FieldBased @1- = int 1\n"
        "prop _SARNum = int 16\n"
        "prop _SARDen = int 11\n"
        "prop _ChromaLocation = string left\n"  // another type: absent
        "prop _ColorRange @1-2 = int 0\n"
        "prop _ColorRange @3- = int 1\n"
        "prop _SARDen @4 = int 15\n");
    run_result r = run({"--y4m-tags", "--frames", "1", "4", "--y4m", clip});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string frames;
    for (int f = 1; f <= 4; f++) frames += y4m_frame(f, planes_4x2_420);
    EXPECT_EQ(r.out, "YUV4MPEG2 W4 H2 F25:1 Ib A16:11 C420jpeg XCOLORRANGE=FULL XLENGTH=4\n" + frames);
    EXPECT_EQ(diagnostic_lines(r.err),
              "--y4m-tags: frame 1 has no _ChromaLocation; the header says C420jpeg\n"
              "--y4m-tags: _ColorRange changes at frame 3; the header keeps frame 1's\n"
              "--y4m-tags: _SARDen changes at frame 4; the header keeps frame 1's\n");
    // No length where frames may be left out; a header without a clip's
    // frames has no properties to read.
    r = run(
        {"--y4m-tags", "--y4m-skip-drop", "24", "1", script("frames = 2\nprop _ChromaLocation = int 2\n")});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "YUV4MPEG2 W4 H2 F24:1 Ip A0:0 C420paldv\n");
    EXPECT_EQ(diagnostic_lines(r.err), "");
    for (const char* type : {"YUV422P10", "YV12"}) {
        r = run({"--y4m-tags", "--y4m", script(std::string("frames = 0\npixel_type = ") + type + "\n")});
        EXPECT_EQ(r.out, std::string("YUV4MPEG2 W4 H2 F25:1 Ip A0:0 ") +
                             (type[0] == 'Y' && type[1] == 'V' ? "C420jpeg" : "C422p10") + " XLENGTH=0\n");
        EXPECT_EQ(diagnostic_lines(r.err), "") << type;
        EXPECT_TRUE(fetched_frames(r.trace).empty());
    }
    // Only the Y4M forms take it.
    EXPECT_EQ(run({"--y4m-tags", "--wav", clip}).status, 2);
}
