// --info: the clip's shape as one JSON object, read by a JSON parser (jq),
// without a frame or a sample fetched.
#include "e2e_test.h"
#include "json_check.h"

namespace {

class Info : public RunnerTest {};

// An unknown pixel type or sample type is null beside its number; the
// channel mask appears only where the library reports one.
TEST_F(Info, EveryFamilyAndStreamKindAsJson) {
    const std::string no_audio =
        R"("audio":{"present":false,"sample_rate":0,"channels":0,"sample_type":null,"sample_type_value":0,"samples":0})";
    auto video = [](const std::string& size_and_rate, const std::string& type, int value, int bits,
                    const std::string& chroma) {
        return R"("video":{"present":true,)" + size_and_rate + R"(,"pixel_type":)" + type +
               R"(,"pixel_type_value":)" + std::to_string(value) + R"(,"bits_per_component":)" +
               std::to_string(bits) + R"(,"y4m_chroma":)" + chroma + "}";
    };
    const std::string small = R"("width":4,"height":2,"frames":1,"fps_numerator":25,"fps_denominator":1)";
    struct {
        std::string description;
        std::string variant;
        std::string json;
    } cases[] = {
        {"width = 16\nheight = 8\nframes = 23\nfps = 30000/1001\n", "complete",
         "{" +
             video(R"("width":16,"height":8,"frames":23,"fps_numerator":30000,"fps_denominator":1001)",
                   R"("YV12")", -1610612728, 8, R"("420jpeg")") +
             "," + no_audio + "}"},
        {"pixel_type = YUV422P10\n", "complete",
         "{" + video(small, R"("YUV422P10")", -1610284280, 10, R"("422p10")") + "," + no_audio + "}"},
        {"pixel_type = YUV444P16\n", "complete",
         "{" + video(small, R"("YUV444P16")", -1610546421, 16, R"("444p16")") + "," + no_audio + "}"},
        {"pixel_type = YV411\n", "complete",
         "{" + video(small, R"("YV411")", -1610611959, 8, "null") + "," + no_audio + "}"},
        {"pixel_type = YUV420PS\n", "complete",
         "{" + video(small, R"("YUV420PS")", -1610481656, 32, "null") + "," + no_audio + "}"},
        {"pixel_type = BGR32\n", "complete",
         "{" + video(small, R"("RGB32")", 1342177282, 8, "null") + "," + no_audio + "}"},
        {"pixel_type = 12345\n", "complete",
         "{" + video(small, "null", 12345, 8, "null") + "," + no_audio + "}"},
        // Video and audio; the library knows no channel mask.
        {"audio_rate = 44100\nsample_type = int24\nchannels = 2\naudio_samples = 40000\n", "complete",
         "{" + video(small, R"("YV12")", -1610612728, 8, R"("420jpeg")") +
             R"(,"audio":{"present":true,"sample_rate":44100,"channels":2,"sample_type":"int24",)"
             R"("sample_type_value":4,"samples":40000}})"},
        // Audio alone, with a channel mask.
        {"width = 0\nheight = 0\nframes = 0\npixel_type = 0\naudio_rate = 48000\nsample_type = float\n"
         "channels = 6\naudio_samples = 5000000000\nchannel_mask = 1551\n",
         "complete",
         R"({"video":{"present":false,"width":0,"height":0,"frames":0,"fps_numerator":25,"fps_denominator":1,)"
         R"("pixel_type":null,"pixel_type_value":0,"bits_per_component":8,"y4m_chroma":null},)"
         R"("audio":{"present":true,"sample_rate":48000,"channels":6,"sample_type":"float","sample_type_value":16,)"
         R"("samples":5000000000,"channel_mask":1551}})"},
        // A library without the pixel format and channel mask calls: what
        // the older calls tell, and no channel mask at all.
        {"pixel_type = YUV420P10\naudio_rate = 8000\nsample_type = 3\nchannels = 1\naudio_samples = 1\n"
         "channel_mask = 4\n",
         "no_pixel_formats",
         "{" + video(small, R"("YUV420P10")", -1610285048, 8, "null") +
             R"(,"audio":{"present":true,"sample_rate":8000,"channels":1,"sample_type":null,)"
             R"("sample_type_value":3,"samples":1}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        run_request request;
        request.variant = c.variant;
        run_result r = run({"--info", script(c.description)}, request);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        expect_json(r.out, c.json, path("info.json"));
        EXPECT_TRUE(trace_with(r.trace, "get_frame").empty()) << "a frame was fetched";
        EXPECT_TRUE(trace_with(r.trace, "get_audio").empty()) << "audio was fetched";
        expect_clip_kept(r);
    }
}

// Failures give the texts and statuses of every other mode; --info takes
// exactly one script and no frame range.
TEST_F(Info, FailuresAndForms) {
    run_result error = run({"--info", script("result = error\nerror = no such source\n")});
    EXPECT_EQ(error.status, 1);
    EXPECT_EQ(error.err, "no such source\n");
    EXPECT_EQ(error.out, "");
    run_result number = run({"--info", script("result = int\n")});
    EXPECT_EQ(number.status, 3);
    EXPECT_EQ(number.err, "script did not return a clip\n");
    EXPECT_EQ(number.out, "");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--info"}, {"--info", "a.avs", "b.csv"}, {"--frames", "0", "1", "--info", "a.avs"}}) {
        run_result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.trace.empty()) << "the library was loaded";
    }
}

}  // namespace
