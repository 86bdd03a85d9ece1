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
        R"("audio":{"present":false,"sample_rate":0,"channels":0,"sample_type":null,"sample_type_value":0,)"
        R"("samples":0,"duration":null})";
    // The clip's keys of a 4x2 frame of 25 fps, frames frames.
    auto video = [](const std::string& type, int value, int bits, const std::string& chroma,
                    const std::string& pix_fmt, const std::string& more = "") {
        return R"("video":{"present":true,"width":4,"height":2,"frames":1,"fps_numerator":25,)"
               R"("fps_denominator":1,"pixel_type":)" +
               type + R"(,"pixel_type_value":)" + std::to_string(value) + R"(,"bits_per_component":)" +
               std::to_string(bits) + R"(,"y4m_chroma":)" + chroma + R"(,"ffmpeg_pix_fmt":)" + pix_fmt +
               R"(,"duration":{"numerator":1,"denominator":25,"seconds":0.04})" +
               (more.empty() ? R"(,"field_based":false,"field_order":null)" : more) + "}";
    };
    const std::string about = R"(,"schema":1,"runner":{"version":")" ZVK_RUNNER_VERSION R"("},)"
                              R"("avisynth":{"version":null}})";
    struct {
        std::string description;
        std::string variant;
        std::string json;
    } cases[] = {
        {"width = 16\nheight = 8\nframes = 23\nfps = 30000/1001\n", "complete",
         R"({"video":{"present":true,"width":16,"height":8,"frames":23,"fps_numerator":30000,)"
         R"("fps_denominator":1001,"pixel_type":"YV12","pixel_type_value":-1610612728,"bits_per_component":8,)"
         R"("y4m_chroma":"420jpeg","ffmpeg_pix_fmt":"yuv420p",)"
         R"("duration":{"numerator":23023,"denominator":30000,"seconds":0.767433333333333},)"
         R"("field_based":false,"field_order":null},)" +
             no_audio + about},
        // Field-based, top field first; bottom first; both orders: none.
        {"pixel_type = YUV422P10\nimage_type = 6\n", "complete",
         "{" +
             video(R"("YUV422P10")", -1610284280, 10, R"("422p10")", R"("yuv422p10le")",
                   R"(,"field_based":true,"field_order":"tff")") +
             "," + no_audio + about},
        {"pixel_type = YUV444P16\nimage_type = 1\n", "complete",
         "{" +
             video(R"("YUV444P16")", -1610546421, 16, R"("444p16")", R"("yuv444p16le")",
                   R"(,"field_based":false,"field_order":"bff")") +
             "," + no_audio + about},
        {"pixel_type = YV411\nimage_type = 3\n", "complete",
         "{" + video(R"("YV411")", -1610611959, 8, "null", R"("yuv411p")") + "," + no_audio + about},
        {"pixel_type = YUV420PS\n", "complete",
         "{" + video(R"("YUV420PS")", -1610481656, 32, "null", "null") + "," + no_audio + about},
        {"pixel_type = BGR32\n", "complete",
         "{" + video(R"("RGB32")", 1342177282, 8, "null", R"("bgra")") + "," + no_audio + about},
        {"pixel_type = 12345\n", "complete",
         "{" + video("null", 12345, 8, "null", "null") + "," + no_audio + about},
        // Video and audio; the library knows no channel mask.
        {"audio_rate = 44100\nsample_type = int24\nchannels = 2\naudio_samples = 40000\n", "complete",
         "{" + video(R"("YV12")", -1610612728, 8, R"("420jpeg")", R"("yuv420p")") +
             R"(,"audio":{"present":true,"sample_rate":44100,"channels":2,"sample_type":"int24",)"
             R"("sample_type_value":4,"samples":40000,)"
             R"("duration":{"numerator":400,"denominator":441,"seconds":0.907029478458050}})" +
             about},
        // Audio alone, with a channel mask: the absent video's first keys
        // as the library reports them, the later ones null.
        {"width = 0\nheight = 0\nframes = 0\npixel_type = 0\naudio_rate = 48000\nsample_type = float\n"
         "channels = 6\naudio_samples = 5000000000\nchannel_mask = 1551\n",
         "complete",
         R"({"video":{"present":false,"width":0,"height":0,"frames":0,"fps_numerator":25,"fps_denominator":1,)"
         R"("pixel_type":null,"pixel_type_value":0,"bits_per_component":8,"y4m_chroma":null,)"
         R"("ffmpeg_pix_fmt":null,"duration":null,"field_based":null,"field_order":null},)"
         R"("audio":{"present":true,"sample_rate":48000,"channels":6,"sample_type":"float","sample_type_value":16,)"
         R"("samples":5000000000,"duration":{"numerator":312500,"denominator":3,"seconds":104166.666666667},)"
         R"("channel_mask":1551})" +
             about},
        // A library without the pixel format and channel mask calls: what
        // the older calls tell, and no channel mask at all.
        {"pixel_type = YUV420P10\naudio_rate = 8000\nsample_type = 3\nchannels = 1\naudio_samples = 1\n"
         "channel_mask = 4\n",
         "no_pixel_formats",
         "{" + video(R"("YUV420P10")", -1610285048, 8, "null", R"("yuv420p10le")") +
             R"(,"audio":{"present":true,"sample_rate":8000,"channels":1,"sample_type":null,)"
             R"("sample_type_value":3,"samples":1,"duration":{"numerator":1,"denominator":8000,"seconds":0.000125}})" +
             about},
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

// --info-frame0: the same object and frame 0's properties, with one fetch;
// null where a property is absent or of another type, or there is no frame.
TEST_F(Info, Frame0PropertiesWithOneFetch) {
    run_result r = run({"--info-frame0", script("frames = 3\nprop _Matrix = int 1\nprop _Transfer = float 1\n"
                                                "prop _ColorRange @0 = int 0\nprop _ColorRange @1- = int 1\n"
                                                "prop _SARNum = int 10\nprop _SARDen = int 11\n")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    run_result info = run({"--info", path("clip.avs")});
    ASSERT_EQ(info.out.substr(info.out.size() - 2), "}\n");
    expect_json(
        r.out,
        info.out.substr(0, info.out.size() - 2) +
            R"(,"frame0":{"_Matrix":1,"_Primaries":null,"_Transfer":null,"_ColorRange":0,"_SARNum":10,)"
            R"("_SARDen":11,"_FieldBased":null,"_ChromaLocation":null}})",
        path("frame0.json"));
    EXPECT_EQ(fetched_frames(r.trace), (std::vector<int>{0}));
    r = run({"--info-frame0", script("frames = 0\n")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(R"(,"frame0":null})"), std::string::npos) << r.out;
    EXPECT_TRUE(fetched_frames(r.trace).empty());
    // A frame that cannot be fetched fails as in every other form.
    r = run({"--info-frame0", script("frames = 3\nfail_frame = 0\n")});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(run({"--frames", "0", "0", "--info-frame0", path("clip.avs")}).status, 2);
}

}  // namespace
