// Y4M streams of clips the real library renders: constant colours checked
// byte for byte in every subsampling at 8, 10 and 16 bits, bars decoded by
// ffmpeg, and frames the script marks as dropped.
#include <stdio.h>

#include "expected_output.h"
#include "real_test.h"

namespace {

class RealY4m : public RealTest {};

// count samples of value, one byte each at 8 bits, else two little-endian.
std::string samples(int value, int count, int bits) {
    std::string one =
        bits == 8 ? std::string(1, (char)value) : std::string{(char)(value & 0xFF), (char)(value >> 8)};
    std::string out;
    for (int i = 0; i < count; i++) out += one;
    return out;
}

TEST_F(RealY4m, ConstantColourEveryByte) {
    struct {
        const char* pixel_type;
        int family;
        int bits;
        const char* tag;
        int y, u, v;
    } cases[] = {
        {"YV12", 420, 8, "C420jpeg", 16, 128, 240},
        {"YV16", 422, 8, "C422", 35, 90, 200},
        {"YV24", 444, 8, "C444", 235, 16, 129},
        {"YUV420P10", 420, 10, "C420p10", 64, 512, 940},
        {"YUV422P10", 422, 10, "C422p10", 1019, 4, 258},
        {"YUV444P10", 444, 10, "C444p10", 700, 300, 513},
        {"YUV420P16", 420, 16, "C420p16", 0x1234, 0xABCD, 0x00FF},
        {"YUV422P16", 422, 16, "C422p16", 0xFF00, 0x0102, 0x8000},
        {"YUV444P16", 444, 16, "C444p16", 0xFFFF, 0x0001, 0x7FFE},
    };
    // Odd chroma widths, and rows far shorter than the library's pitch.
    const int width = 18, height = 6, frames = 3;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pixel_type);
        char avs[256];
        snprintf(
            avs, sizeof avs,
            "BlankClip(length=%d, width=%d, height=%d, pixel_type=\"%s\", fps=30000, fps_denominator=1001, "
            "colors=[%d, %d, %d])\n",
            frames, width, height, c.pixel_type, c.y, c.u, c.v);
        run_result r = run_avs({"--y4m", "@"}, avs);
        EXPECT_EQ(r.status, 0) << r.err;
        int chroma = (c.family == 444 ? width : width / 2) * (c.family == 420 ? height / 2 : height);
        std::string frame = "FRAME\n" + samples(c.y, width * height, c.bits) + samples(c.u, chroma, c.bits) +
                            samples(c.v, chroma, c.bits);
        std::string expected = std::string("YUV4MPEG2 W18 H6 F30000:1001 Ip A0:0 ") + c.tag + "\n";
        for (int f = 0; f < frames; f++) expected += frame;
        EXPECT_TRUE(r.out == expected) << r.out.substr(0, 60);
        EXPECT_EQ(r.out.size(), expected.size());
    }
}

TEST_F(RealY4m, BarsDecodeInFfmpeg) {
    struct {
        const char* pixel_type;
        const char* pix_fmt;
        int frame_bytes;
    } cases[] = {
        {"YV12", "yuv420p", 320 * 240 * 3 / 2},
        {"YUV422P10", "yuv422p10le", 320 * 240 * 2 * 2},
        {"YUV444P16", "yuv444p16le", 320 * 240 * 3 * 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pixel_type);
        run_result r = run_avs({"--y4m", "@"}, std::string("ColorBars(width=320, height=240, pixel_type=\"") +
                                                   c.pixel_type + "\").Trim(0, 29)\n");
        ASSERT_EQ(r.status, 0) << r.err;
        write_file(path("bars.y4m"), r.out);
        EXPECT_EQ(shell("ffprobe -v error -count_frames -show_entries "
                        "stream=width,height,pix_fmt,r_frame_rate,nb_read_frames -of csv=p=0 bars.y4m"),
                  std::string("320,240,") + c.pix_fmt + ",30000/1001,30\n");
        // ffmpeg's planes are the stream's, frame markers taken out.
        shell("ffmpeg -nostdin -v error -y -i bars.y4m -f rawvideo bars.raw");
        std::string planes;
        size_t at = r.out.find('\n') + 1;
        for (int f = 0; f < 30; f++, at += 6 + c.frame_bytes) {
            EXPECT_EQ(r.out.substr(at, 6), "FRAME\n") << "frame " << f;
            planes += r.out.substr(at + 6, c.frame_bytes);
        }
        EXPECT_EQ(at, r.out.size());
        EXPECT_TRUE(read_file(path("bars.raw")) == planes);
    }
}

// Frame f has luma 10 f; frames 1 and 4 are marked dropped (one with -1).
TEST_F(RealY4m, SkipDropLeavesOutTheMarkedFrames) {
    run_result r = run_avs(
        {"--y4m-skip-drop", "24000", "1001", "@"},
        "BlankClip(length=6, width=4, height=2, pixel_type=\"YV24\", fps=25)\n"
        "ScriptClip(\"\"\"BlankClip(last, colors=[current_frame * 10, 128, 128])"
        ".propSet(\"zvk_drop_frame\", current_frame == 1 ? 1 : current_frame == 4 ? -1 : 0)\"\"\")\n");
    EXPECT_EQ(r.status, 0) << r.err;
    auto frame = [](int f) { return "FRAME\n" + samples(f * 10, 8, 8) + samples(128, 16, 8); };
    std::string expected = "YUV4MPEG2 W4 H2 F24000:1001 Ip A0:0 C444\n";
    for (int f : {0, 2, 3, 5}) expected += frame(f);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(item(progress_lines(r.err), -1).text.substr(0, 15), "zvk_render,6,6,");
    // A range: frames 2 to 4, of which 4 is marked.
    run_result range =
        run_avs({"--frames", "2", "4", "--y4m-skip-drop", "24000", "1001", "@"}, read_file(path("clip.avs")));
    EXPECT_EQ(range.out, "YUV4MPEG2 W4 H2 F24000:1001 Ip A0:0 C444\n" + frame(2) + frame(3));
    // --y4m writes every frame, whatever the marks.
    run_result all = run_avs({"--y4m", "@"}, read_file(path("clip.avs")));
    expected = "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C444\n";
    for (int f = 0; f < 6; f++) expected += frame(f);
    EXPECT_EQ(all.out, expected);
}

}  // namespace
