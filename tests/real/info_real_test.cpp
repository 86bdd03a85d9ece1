// --info and --arg with the real library: the shape AviSynth+ reports, read
// by a JSON parser, and script arguments read with Value().
#include "json_check.h"
#include "real_test.h"

namespace {

class RealInfo : public RealTest {};

TEST_F(RealInfo, ClipsAsJson) {
    // BlankClip without audio still names one 16-bit channel.
    const std::string silent =
        R"(,"audio":{"present":false,"sample_rate":0,"channels":1,"sample_type":"int16",)"
        R"("sample_type_value":2,"samples":0}})";
    struct {
        std::string avs;
        std::string json;
    } cases[] = {
        {"BlankClip(length=240, width=64, height=48, fps=24000, fps_denominator=1001, pixel_type=\"YV12\", "
         "audio_rate=48000, channels=2, sample_type=\"16bit\")",
         R"({"video":{"present":true,"width":64,"height":48,"frames":240,"fps_numerator":24000,)"
         R"("fps_denominator":1001,"pixel_type":"YV12","pixel_type_value":-1610612728,"bits_per_component":8,)"
         R"("y4m_chroma":"420jpeg"},"audio":{"present":true,"sample_rate":48000,"channels":2,)"
         R"("sample_type":"int16","sample_type_value":2,"samples":480480}})"},
        {"BlankClip(length=3, width=32, height=16, fps=25, pixel_type=\"YUV422P10\", audio_rate=0)",
         R"({"video":{"present":true,"width":32,"height":16,"frames":3,"fps_numerator":25,"fps_denominator":1,)"
         R"("pixel_type":"YUV422P10","pixel_type_value":-1610284280,"bits_per_component":10,)"
         R"("y4m_chroma":"422p10"})" +
             silent},
        {"BlankClip(length=3, width=32, height=16, fps=25, pixel_type=\"RGB32\", audio_rate=0)",
         R"({"video":{"present":true,"width":32,"height":16,"frames":3,"fps_numerator":25,"fps_denominator":1,)"
         R"("pixel_type":"RGB32","pixel_type_value":1342177282,"bits_per_component":8,"y4m_chroma":null})" +
             silent},
        // Audio alone, its channel mask set by the script.
        {"BlankClip(length=10, fps=25, audio_rate=44100, channels=2, sample_type=\"float\")"
         ".KillVideo().SetChannelMask(true, 3)",
         R"({"video":{"present":false,"width":0,"height":0,"frames":0,"fps_numerator":0,"fps_denominator":0,)"
         R"("pixel_type":null,"pixel_type_value":0,"bits_per_component":8,"y4m_chroma":null},)"
         R"("audio":{"present":true,"sample_rate":44100,"channels":2,"sample_type":"float","sample_type_value":16,)"
         R"("samples":17640,"channel_mask":3}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.avs);
        run_result r = run_avs({"--info", "@"}, c.avs + "\n");
        EXPECT_EQ(r.status, 0) << r.err;
        expect_json(r.out, c.json, path("info.json"));
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

}  // namespace
