// A real consumer: ffmpeg must decode every stream the runner writes, with
// the right size, rate and frame count, and give back the stand-in's pixels
// byte for byte.
#include "e2e_test.h"
#include "expected_output.h"

namespace {

class Ffmpeg : public RunnerTest {
protected:
    std::string shell(const std::string& command, int* status) { return shell_output(command, status); }
};

TEST_F(Ffmpeg, DecodesEveryTagItAccepts) {
    struct {
        const char* pixel;
        int family;
        int bytes;
        const char* pix_fmt;
    } cases[] = {
        {"YV12", 420, 1, "yuv420p"},
        {"YV16", 422, 1, "yuv422p"},
        {"YV24", 444, 1, "yuv444p"},
        {"YUV420P10", 420, 2, "yuv420p10le"},
        {"YUV420P12", 420, 2, "yuv420p12le"},
        {"YUV420P14", 420, 2, "yuv420p14le"},
        {"YUV420P16", 420, 2, "yuv420p16le"},
        {"YUV422P10", 422, 2, "yuv422p10le"},
        {"YUV422P16\nbits = 12", 422, 2, "yuv422p12le"},
        {"YUV422P16\nbits = 14", 422, 2, "yuv422p14le"},
        {"YUV422P16", 422, 2, "yuv422p16le"},
        {"YUV444P10", 444, 2, "yuv444p10le"},
        {"YUV444P16\nbits = 12", 444, 2, "yuv444p12le"},
        {"YUV444P16\nbits = 14", 444, 2, "yuv444p14le"},
        {"YUV444P16", 444, 2, "yuv444p16le"},
    };
    const int width = 64, height = 48, frames = 5;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pix_fmt);
        std::string clip =
            script(std::string("width = 64\nheight = 48\nframes = 5\nfps = 30000/1001\npad = 24\n"
                               "pixel_type = ") +
                   c.pixel + "\n");
        run_result r = run({"--y4m", clip});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string stream = path("clip.y4m");
        write_file(stream, r.out);

        int status;
        std::string probe = shell(
            "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
            "stream=width,height,r_frame_rate,nb_read_frames,pix_fmt -of csv=p=0 " +
                stream,
            &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(probe, std::string("64,48,") + c.pix_fmt + ",30000/1001,5\n");

        std::string raw = path("clip.raw");
        shell("ffmpeg -nostdin -v error -y -i " + stream + " -f rawvideo -c:v rawvideo " + raw, &status);
        EXPECT_EQ(status, 0);
        std::string expected;
        for (int f = 0; f < frames; f++)
            expected += plane_bytes(f, yuv_planes(c.family, width, height, c.bytes));
        EXPECT_TRUE(read_file(raw) == expected) << "raw planes differ from the stand-in's pixels";
    }
}

TEST_F(Ffmpeg, SkipDropStreamHasTheKeptFramesAtTheGivenRate) {
    std::string clip =
        script("width = 32\nheight = 16\nframes = 10\nfps = 25/1\nprop zvk_drop_frame @2-4 = int 1\n");
    run_result r = run({"--y4m-skip-drop", "24000", "1001", clip});
    ASSERT_EQ(r.status, 0);
    std::string stream = path("clip.y4m");
    write_file(stream, r.out);
    int status;
    std::string probe = shell(
        "ffprobe -v error -count_frames -show_entries stream=r_frame_rate,nb_read_frames "
        "-of csv=p=0 " +
            stream,
        &status);
    EXPECT_EQ(probe, "24000/1001,7\n");
    std::string raw = path("clip.raw");
    shell("ffmpeg -nostdin -v error -y -i " + stream + " -f rawvideo " + raw, &status);
    std::string expected;
    for (int f : {0, 1, 5, 6, 7, 8, 9}) expected += plane_bytes(f, yuv_planes(420, 32, 16, 1));
    EXPECT_TRUE(read_file(raw) == expected);
}

}  // namespace
