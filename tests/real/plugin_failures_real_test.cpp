// A plugin of the tests' own (failing_plugin.c) fails at a frame or at an
// audio sample, as a source meeting a damaged stream does: the runner ends
// with the library's text and keeps everything it finished before.
#include <algorithm>

#include "expected_output.h"
#include "real_test.h"

namespace {

class RealPluginFailures : public RealTest {
protected:
    // The plugin, compiled for the runner's platform against the AviSynth+
    // headers and linked to the library under test.
    std::string failing_plugin() {
        if (e2e.platform == "linux") {
            std::string plugin = path("libfailing.so");
            shell("${CC:-cc} -shared -fPIC -O2 -Wall -isystem " + shell_quote(avisynth_include_dir) + " -o " +
                  shell_quote(plugin) + " " + shell_quote(ZVK_FAILING_PLUGIN_SOURCE) + " -L" +
                  shell_quote(real_library_dir) + " -lavisynth");
            return plugin;
        }
        // AviSynth.dll exports its __stdcall functions undecorated on 32-bit
        // Windows: an import library from their decorated names maps them.
        const struct {
            const char* name;
            int argument_bytes;
        } imports[] = {{"avs_add_function", 20}, {"avs_get_audio", 24},   {"avs_get_frame", 8},
                       {"avs_new_c_filter", 20}, {"avs_release_clip", 4}, {"avs_set_to_clip", 8}};
        bool win32 = e2e.width == "32-bit";
        std::string def = "LIBRARY AviSynth.dll\nEXPORTS\n";
        for (const auto& i : imports)
            def += i.name + (win32 ? "@" + std::to_string(i.argument_bytes) : "") + "\n";
        write_file(path("avisynth.def"), def);
        std::string tools = win32 ? "i686-w64-mingw32-" : "x86_64-w64-mingw32-";
        shell(tools + "dlltool -k -d avisynth.def -l libavisynth.a");
        shell(tools + "gcc -shared -O2 -Wall -isystem " + shell_quote(avisynth_include_dir) +
              " -o failing.dll " + shell_quote(ZVK_FAILING_PLUGIN_SOURCE) + " libavisynth.a");
        return path("failing.dll");
    }
};

TEST_F(RealPluginFailures, StatusTextAndWhatCameBefore) {
    // The plugin cross-builds for Windows with mingw-w64, but this has not
    // yet run under Wine.
    std::string plugin = failing_plugin();
    // Frame f has luma 8 f, so that a frame out of place shows.
    const std::string source =
        "BlankClip(length=75, width=16, height=8, pixel_type=\"YV12\", fps=25, audio_rate=48000, channels=2, "
        "sample_type=\"16bit\")\nScriptClip(\"\"\"BlankClip(last, colors=[current_frame * 8, 128, "
        "128])\"\"\")\n"
        "AudioDub(last, Tone(length=3.0, frequency=440, samplerate=48000, channels=2, type=\"Sine\")"
        ".ConvertAudioTo16bit())\n";
    const size_t frame_bytes = 16 * 8 * 3 / 2, sample_bytes = 4;
    struct {
        std::vector<std::string> args;
        const char* filter;
        int status;
        std::string err;
        int first;      // the first frame rendered
        size_t before;  // whole frames, CSV rows or samples before the failure
    } cases[] = {
        {{"--y4m", "@"},
         "FailAtFrame(7)",
         5,
         "failed to get frame 7: FailAtFrame: frame 7 is damaged\n",
         0,
         7},
        {{"--frames", "10", "29", "--y4m", "@"},
         "FailAtFrame(25)",
         5,
         "failed to get frame 25: FailAtFrame: frame 25 is damaged\n",
         10,
         15},
        {{"--validate", "@", "@csv"},
         "FailAtFrame(7)",
         5,
         "failed to get frame 7: FailAtFrame: frame 7 is damaged\n",
         0,
         7},
        // The runner names the start of the request that failed: audio goes
        // in requests of 65536 samples, from the range's first (1920 a frame).
        {{"--wav", "@"},
         "FailAtSample(100000)",
         9,
         "failed to get audio at sample 65536: FailAtSample: the audio at sample 100000 is damaged\n",
         0,
         65536},
        {{"--frames", "40", "74", "--wav", "@"},
         "FailAtSample(100000)",
         9,
         "failed to get audio at sample 76800: FailAtSample: the audio at sample 100000 is damaged\n",
         40,
         0},
    };
    std::string clean_video = run_avs({"--y4m", "@"}, source).out;
    std::string clean_audio = run_avs({"--wav", "@"}, source).out;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        run_result r =
            run_avs(c.args, source + "LoadCPlugin(\"" + native_path(plugin) + "\")\n" + c.filter + "\n");
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(diagnostic_lines(r.err), c.err);
        auto has = [&](const char* mode) {
            return std::find(c.args.begin(), c.args.end(), mode) != c.args.end();
        };
        if (has("--validate")) {
            EXPECT_EQ(text_lines(read_file(path("frames.csv"))).size(), c.before + 1);
            EXPECT_EQ(item(text_lines(read_file(path("frames.csv.runner.log"))), -1), "exit: 5");
        } else if (has("--wav")) {
            EXPECT_TRUE(r.out.substr(44) ==
                        clean_audio.substr(44 + c.first * 1920 * sample_bytes, c.before * sample_bytes))
                << r.out.size();
        } else {
            size_t header = clean_video.find('\n') + 1, frame = 6 + frame_bytes;
            EXPECT_TRUE(r.out == clean_video.substr(0, header) +
                                     clean_video.substr(header + c.first * frame, c.before * frame))
                << r.out.size();
        }
    }
}

}  // namespace
