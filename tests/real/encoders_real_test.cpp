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

}  // namespace
