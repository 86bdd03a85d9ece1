// What encoders read from the runner: the tagged Y4M header through the
// real encoders.
#include <stdio.h>

#include "real_test.h"

namespace {

class RealEncoders : public RealTest {
protected:
    // Whether the tool is installed; the optional encoders' packages may be
    // left out (.ci/packages), and their checks are then skipped, named.
    bool have(const char* tool) {
        int status;
        shell_output(std::string("command -v ") + tool + " >/dev/null", &status);
        if (status != 0) fprintf(stderr, "SKIPPED: %s is not installed\n", tool);
        return status == 0;
    }
};

const char* tagged_clip =
    "ColorBars(width=320, height=240, pixel_type=\"YV12\").Trim(0, 4)\n"
    "propSet(\"_FieldBased\", 2).propSet(\"_SARNum\", 16).propSet(\"_SARDen\", 11)\n"
    "propSet(\"_ColorRange\", 0).propSet(\"_ChromaLocation\", 0)\n";

// The facts the script set reach ffprobe and x264; every encoder takes the
// header (aomenc refuses interlaced Y4M, so it reads a progressive one).
TEST_F(RealEncoders, TaggedHeaderReachesTheEncoders) {
    run_result r = run_avs({"--y4m-tags", "--y4m", "@"}, tagged_clip);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
              "YUV4MPEG2 W320 H240 F30000:1001 It A16:11 C420mpeg2 XCOLORRANGE=FULL XLENGTH=5\n");
    write_file(path("tags.y4m"), r.out);
    EXPECT_EQ(shell("ffprobe -v error -count_frames -show_entries "
                    "stream=sample_aspect_ratio,color_range,chroma_location,field_order,nb_read_frames "
                    "-of csv=p=0 tags.y4m"),
              "16:11,pc,left,tt,5\n");
    std::string log = shell("x264 --demuxer y4m -o tags.264 tags.y4m 2>&1");
    EXPECT_NE(log.find("320x240i 16:11"), std::string::npos) << log;
    EXPECT_NE(log.find("tff interlaced"), std::string::npos) << log;
    EXPECT_NE(log.find("SAR=16/11"), std::string::npos) << log;
    EXPECT_EQ(shell("ffprobe -v error -show_entries stream=color_range -of csv=p=0 tags.264"), "pc\n");
    if (have("x265")) {
        EXPECT_NE(shell("x265 --input tags.y4m -o tags.265 2>&1").find("sar 16:11"), std::string::npos);
    }
    if (have("SvtAv1EncApp")) shell("SvtAv1EncApp -i tags.y4m -b svt.ivf >/dev/null 2>&1");
    if (have("rav1e")) shell("rav1e tags.y4m -o rav1e.ivf >/dev/null 2>&1");
    if (!have("aomenc")) return;
    r = run_avs({"--y4m-tags", "--y4m", "@"}, std::string(tagged_clip) + "propSet(\"_FieldBased\", 0)\n");
    write_file(path("progressive.y4m"), r.out);
    shell("aomenc --limit=5 -o aom.webm progressive.y4m >/dev/null 2>&1");
    EXPECT_EQ(shell("ffprobe -v error -show_entries stream=color_range -of csv=p=0 aom.webm"), "pc\n");
}

// A header that would pass 80 bytes loses XLENGTH; x264, whose reader
// stops at 80, takes it.
TEST_F(RealEncoders, LongHeaderWithinEightyBytes) {
    run_result r = run_avs(
        {"--y4m-tags", "--y4m", "@"},
        "BlankClip(length=10, width=1920, height=1080, pixel_type=\"YUV420P10\", fps=24000, "
        "fps_denominator=1001).propSet(\"_FieldBased\", 1).propSet(\"_SARNum\", 1).propSet(\"_SARDen\", 1)"
        ".propSet(\"_ColorRange\", 1)\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string header = r.out.substr(0, r.out.find('\n') + 1);
    EXPECT_EQ(header, "YUV4MPEG2 W1920 H1080 F24000:1001 Ib A1:1 C420p10 XCOLORRANGE=LIMITED\n");
    EXPECT_NE(r.err.find("XLENGTH left out"), std::string::npos) << r.err;
    write_file(path("long.y4m"), r.out);
    std::string log =
        shell("x264 --demuxer y4m --preset ultrafast --output-depth 10 --frames 1 -o long.264 long.y4m 2>&1");
    EXPECT_NE(log.find("1920x1080i 1:1"), std::string::npos) << log;
    EXPECT_EQ(shell("ffprobe -v error -show_entries stream=field_order -of csv=p=0 long.264"), "bb\n");
}

// Frames that differ from one another, top from bottom and left from right.
const char* raw_source =
    "c = ColorBars(width=64, height=48, pixel_type=\"YV24\").Trim(0, -1)\n"
    "c = Interleave(c, c.FlipVertical(), c.FlipHorizontal())\n";

struct raw_family {
    const char* convert;  // from the YV24 bars
    const char* pix_fmt;  // as --info names it, "null" for none
    // The planes (Extract<letter>), in the stream's order; "" for packed.
    const char* extracts;
    // Packed: the planar format whose planes FFmpeg's reading must equal.
    const char* planar_twin;
    const char* twin_pix_fmt;
};

class RealRaw : public RealEncoders {
protected:
    std::string raw_of(const std::string& avs) {
        run_result r = run_avs({"--raw", "@"}, avs);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
};

// Every family, read back by FFmpeg with the -pix_fmt --info names: the
// frames are the library's planes, in the stream's order.
TEST_F(RealRaw, EveryFamilyReadBackByFfmpeg) {
    const raw_family families[] = {
        {"ConvertToYUV420()", "yuv420p", "YUV", nullptr, nullptr},
        {"ConvertToYUV422().ConvertBits(10)", "yuv422p10le", "YUV", nullptr, nullptr},
        {"ConvertBits(16)", "yuv444p16le", "YUV", nullptr, nullptr},
        {"ConvertToYUV420().ConvertBits(32)", "null", "YUV", nullptr, nullptr},
        {"ConvertToY()", "gray", "Y", nullptr, nullptr},
        {"ConvertToY().ConvertBits(12)", "gray12le", "Y", nullptr, nullptr},
        {"ConvertToY().ConvertBits(32)", "grayf32le", "Y", nullptr, nullptr},
        {"ConvertToPlanarRGB()", "gbrp", "GBR", nullptr, nullptr},
        {"ConvertToPlanarRGB().ConvertBits(32)", "gbrpf32le", "GBR", nullptr, nullptr},
        {"ConvertToPlanarRGBA()", "gbrap", "GBRA", nullptr, nullptr},
        {"ConvertToYUVA420()", "yuva420p", "YUVA", nullptr, nullptr},
        {"ConvertToYUVA444().ConvertBits(16)", "yuva444p16le", "YUVA", nullptr, nullptr},
        {"ConvertToRGB24()", "bgr24", "", "ConvertToRGB24().ConvertToPlanarRGB()", "gbrp"},
        {"ConvertToRGB32()", "bgra", "", "ConvertToRGB32().ConvertToPlanarRGBA()", "gbrap"},
        {"ConvertToRGB48()", "bgr48le", "", "ConvertToRGB48().ConvertToPlanarRGB()", "gbrp16le"},
        {"ConvertToRGB64()", "bgra64le", "", "ConvertToRGB64().ConvertToPlanarRGBA()", "gbrap16le"},
        {"ConvertToYUY2()", "yuyv422", "", "ConvertToYUY2().ConvertToYV16()", "yuv422p"},
    };
    for (const raw_family& f : families) {
        SCOPED_TRACE(f.convert);
        std::string avs = std::string(raw_source) + "c." + f.convert + "\n";
        write_file(path("clip.avs"), avs);
        run_result info = run_avs({"--info", "@"}, avs);
        write_file(path("info.json"), info.out);
        EXPECT_EQ(shell("jq -r .video.ffmpeg_pix_fmt info.json"), std::string(f.pix_fmt) + "\n");
        std::string raw = raw_of(avs);
        write_file(path("clip.raw"), raw);
        if (*f.extracts != '\0') {
            // The stream is frame by frame the planes the library extracts.
            std::vector<std::string> planes;
            for (const char* plane = f.extracts; *plane != '\0'; plane++)
                planes.push_back(raw_of(avs + "Extract" + *plane + "()\n"));
            std::string expected;
            for (int frame = 0; frame < 3; frame++)
                for (const std::string& plane : planes)
                    expected += plane.substr(plane.size() / 3 * frame, plane.size() / 3);
            EXPECT_TRUE(raw == expected) << raw.size() << " bytes, " << expected.size() << " expected";
        }
        if (std::string(f.pix_fmt) == "null") continue;
        // FFmpeg reads three whole frames of that format, as they are...
        std::string read = "ffmpeg -nostdin -v error -f rawvideo -pix_fmt " + std::string(f.pix_fmt) +
                           " -s 64x48 -r 25 -i clip.raw ";
        shell(read + "-f rawvideo -y same.raw");
        EXPECT_TRUE(read_file(path("same.raw")) == raw);
        EXPECT_EQ(
            shell(
                "ffprobe -v error -f rawvideo -pixel_format " + std::string(f.pix_fmt) +
                " -video_size 64x48 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 clip.raw"),
            "3\n");
        // ...and a packed format is the library's planar twin, top row first.
        if (f.planar_twin == nullptr) continue;
        std::string twin = raw_of(std::string(raw_source) + "c." + f.planar_twin + "\n");
        shell(read + "-f rawvideo -pix_fmt " + f.twin_pix_fmt + " -y twin.raw");
        EXPECT_TRUE(read_file(path("twin.raw")) == twin);
    }
}

}  // namespace
