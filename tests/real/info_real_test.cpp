// --info and --arg with the real library: the shape AviSynth+ reports, read
// by a JSON parser, and script arguments read with Value().
#include "json_check.h"
#include "real_test.h"

namespace {

class RealInfo : public RealTest {};

TEST_F(RealInfo, ClipsAsJson) {
    // BlankClip without audio still names one 16-bit channel; it has no
    // duration.
    const std::string silent =
        R"(,"audio":{"present":false,"sample_rate":0,"channels":1,"sample_type":"int16",)"
        R"("sample_type_value":2,"samples":0,"duration":null}})";
    struct {
        std::string avs;
        std::string json;
    } cases[] = {
        {"BlankClip(length=240, width=64, height=48, fps=24000, fps_denominator=1001, pixel_type=\"YV12\", "
         "audio_rate=48000, channels=2, sample_type=\"16bit\")",
         R"({"video":{"present":true,"width":64,"height":48,"frames":240,"fps_numerator":24000,)"
         R"("fps_denominator":1001,"pixel_type":"YV12","pixel_type_value":-1610612728,"bits_per_component":8,)"
         R"("y4m_chroma":"420jpeg","ffmpeg_pix_fmt":"yuv420p",)"
         R"("duration":{"numerator":1001,"denominator":100,"seconds":10.01},"field_based":false,)"
         R"("field_order":null},"audio":{"present":true,"sample_rate":48000,"channels":2,)"
         R"("sample_type":"int16","sample_type_value":2,"samples":480480,)"
         R"("duration":{"numerator":1001,"denominator":100,"seconds":10.01}}})"},
        {"BlankClip(length=3, width=32, height=16, fps=25, pixel_type=\"YUV422P10\", audio_rate=0)",
         R"({"video":{"present":true,"width":32,"height":16,"frames":3,"fps_numerator":25,"fps_denominator":1,)"
         R"("pixel_type":"YUV422P10","pixel_type_value":-1610284280,"bits_per_component":10,)"
         R"("y4m_chroma":"422p10","ffmpeg_pix_fmt":"yuv422p10le",)"
         R"("duration":{"numerator":3,"denominator":25,"seconds":0.12},"field_based":false,"field_order":null})" +
             silent},
        {"BlankClip(length=3, width=32, height=16, fps=25, pixel_type=\"RGB32\", audio_rate=0)",
         R"({"video":{"present":true,"width":32,"height":16,"frames":3,"fps_numerator":25,"fps_denominator":1,)"
         R"("pixel_type":"RGB32","pixel_type_value":1342177282,"bits_per_component":8,"y4m_chroma":null,)"
         R"("ffmpeg_pix_fmt":"bgra","duration":{"numerator":3,"denominator":25,"seconds":0.12},)"
         R"("field_based":false,"field_order":null})" +
             silent},
        // Audio alone, its channel mask set by the script.
        {"BlankClip(length=10, fps=25, audio_rate=44100, channels=2, sample_type=\"float\")"
         ".KillVideo().SetChannelMask(true, 3)",
         R"({"video":{"present":false,"width":0,"height":0,"frames":0,"fps_numerator":0,"fps_denominator":0,)"
         R"("pixel_type":null,"pixel_type_value":0,"bits_per_component":8,"y4m_chroma":null,)"
         R"("ffmpeg_pix_fmt":null,"duration":null,"field_based":null,"field_order":null},)"
         R"("audio":{"present":true,"sample_rate":44100,"channels":2,"sample_type":"float","sample_type_value":16,)"
         R"("samples":17640,"duration":{"numerator":2,"denominator":5,"seconds":0.4},"channel_mask":3}})"},
    };
    // The library's own version text, as a script reads it.
    std::string version = run_avs({"--info", "@"}, "Assert(false, VersionString())\n").err;
    version = version.substr(0, version.find('\n'));
    ASSERT_EQ(version.rfind("AviSynth+ ", 0), 0u) << version;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.avs);
        run_result r = run_avs({"--info", "@"}, c.avs + "\n");
        EXPECT_EQ(r.status, 0) << r.err;
        expect_json(r.out,
                    c.json.substr(0, c.json.size() - 1) +
                        R"(,"schema":1,"runner":{"version":")" ZVK_RUNNER_VERSION
                        R"("},"avisynth":{"version":")" +
                        version + "\"}}",
                    path("info.json"));
    }
}

TEST_F(RealInfo, ArgumentsReadWithValue) {
    run_result r =
        run_avs({"--arg", "width=48", "--arg", "Height=32", "--arg", "note=two words", "--info", "@"},
                "Assert(note == \"two words\", note)\n"
                "BlankClip(length=1, width=Int(Value(width)), height=Int(Value(height)), audio_rate=0)\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(R"("width":48,"height":32,)"), std::string::npos) << r.out;
}

// The durations agree with ffprobe's reading of the streams, and the field
// order with the script's; --info-frame0 adds frame 0's properties.
TEST_F(RealInfo, DurationsAndFieldsAsTheStreamsHaveThem) {
    const std::string avs =
        "v = ColorBars(width=64, height=48, pixel_type=\"YV12\").Trim(0, 47).AssumeFPS(24000, 1001)\n"
        "AudioDub(v, Tone(length=2.5, samplerate=44100, channels=2)).AssumeBFF().SeparateFields()\n"
        "propSet(\"_Matrix\", 1).propSet(\"_Transfer\", 1).propSet(\"_ColorRange\", 1)\n";
    write_file(path("clip.avs"), avs);
    run_result info = run_avs({"--info-frame0", "@"}, avs);
    ASSERT_EQ(info.status, 0) << info.err;
    write_file(path("info.json"), info.out);
    run_result y4m = run_avs({"--y4m", "@"}, avs);
    write_file(path("clip.y4m"), y4m.out);
    run_result wav = run_avs({"--wav", "@"}, avs);
    write_file(path("clip.wav"), wav.out);
    auto probed = [&](const char* file) {
        return shell(std::string("ffprobe -v error -show_entries format=duration -of csv=p=0 ") + file);
    };
    // ffprobe prints six decimals.
    auto ours = [&](const char* stream) {
        return shell(std::string("jq -r '.") + stream +
                     ".duration.seconds * 1000000 | round / 1000000' info.json");
    };
    EXPECT_EQ(std::stod(ours("video")), std::stod(probed("clip.y4m")));
    EXPECT_EQ(std::stod(ours("audio")), std::stod(probed("clip.wav")));
    EXPECT_EQ(
        shell("jq -c '[.video.duration.numerator, .video.duration.denominator, .video.field_based, "
              ".video.field_order, .frame0._Matrix, .frame0._Transfer, .frame0._ColorRange]' info.json"),
        "[1001,500,true,\"bff\",1,1,1]\n");
}

}  // namespace
