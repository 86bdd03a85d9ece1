// --raw: the planes of every frame and nothing else, in FFmpeg's order;
// ranges, timestamps and failures as with --y4m.
#include "e2e_test.h"
#include "expected_output.h"
#include "standin_pattern.h"

namespace {

class Raw : public RunnerTest {};

// Rows of a plane of the stand-in, bottom row first where flipped.
std::string rows_of(int slot, int plane, int row_bytes, int rows, bool flipped) {
    std::string bytes;
    for (int r = 0; r < rows; r++)
        for (int col = 0; col < row_bytes; col++)
            bytes.push_back((char)standin_pixel(slot, plane, flipped ? rows - 1 - r : r, col));
    return bytes;
}

TEST_F(Raw, PlanesOfEachFamily) {
    struct {
        const char* pixel_type;
        // Stand-in plane (0 to 3), its row bytes and rows, for a 4x2 clip.
        std::vector<std::vector<int>> planes;
        bool flipped;
    } cases[] = {
        {"YV12", {{0, 4, 2}, {1, 2, 1}, {2, 2, 1}}, false},
        {"YUV422P10", {{0, 8, 2}, {1, 4, 2}, {2, 4, 2}}, false},
        {"YUVA420", {{0, 4, 2}, {1, 2, 1}, {2, 2, 1}, {3, 4, 2}}, false},
        {"RGBP", {{0, 4, 2}, {1, 4, 2}, {2, 4, 2}}, false},
        {"Y16", {{0, 8, 2}}, false},
        {"BGR24", {{0, 12, 2}}, true},
        {"BGR32", {{0, 16, 2}}, true},
        {"YUY2", {{0, 8, 2}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pixel_type);
        run_result r =
            run({"--raw", script(std::string("frames = 3\npad = 5\npixel_type = ") + c.pixel_type + "\n")});
        EXPECT_EQ(r.status, 0) << r.err;
        std::string expected;
        for (int f = 0; f < 3; f++)
            for (const std::vector<int>& p : c.planes) expected += rows_of(f, p[0], p[1], p[2], c.flipped);
        EXPECT_TRUE(r.out == expected) << r.out.size() << " bytes, " << expected.size() << " expected";
        EXPECT_EQ(item(progress_lines(r.err), -1).done, 3);
    }
    run_result unknown = run({"--raw", script("pixel_type = 12345\n")});
    EXPECT_EQ(unknown.status, 4);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(diagnostic_lines(unknown.err), "unsupported Avisynth pixel format for raw output: 12345\n");
}

// The Y4M stream's planes without its header and markers, and the same
// timestamps, range, failure and texts.
TEST_F(Raw, AsY4mWithoutHeaderAndMarkers) {
    const std::string clip = script("frames = 6\nfail_frame = 4\nprop _DurationNum @2 = int 3\n");
    for (std::vector<std::string> args :
         {std::vector<std::string>{"--frames", "1", "5"}, std::vector<std::string>{"--frames", "0", "3"}}) {
        std::vector<std::string> y4m_args = args, raw_args = args;
        y4m_args.insert(y4m_args.end(), {"--timecodes", path("y4m.txt"), "--y4m", clip});
        raw_args.insert(raw_args.end(), {"--timecodes", path("raw.txt"), "--raw", clip});
        run_result y4m = run(y4m_args);
        run_result raw = run(raw_args);
        EXPECT_EQ(raw.status, y4m.status);
        EXPECT_EQ(diagnostic_lines(raw.err), diagnostic_lines(y4m.err));
        std::string planes = y4m.out.substr(y4m.out.find('\n') + 1);
        for (size_t at; (at = planes.find("FRAME\n")) != std::string::npos;) planes.erase(at, 6);
        EXPECT_TRUE(raw.out == planes);
        EXPECT_EQ(read_file(path("raw.txt")), read_file(path("y4m.txt")));
    }
    EXPECT_EQ(run({"--raw", clip, "extra"}).status, 2);
}

}  // namespace
