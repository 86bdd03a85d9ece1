// A plugin of the tests' own (failing_plugin.c) fails at a frame or an
// audio sample of real media: the runner ends with the library's text and
// keeps everything it finished before.
#include <filesystem>

#include "expected_output.h"
#include "media_fixture.h"

namespace {

class RealPluginFailures : public RealMedia {
protected:
    // The plugin, compiled once per run against the AviSynth+ headers and
    // linked to the library under test.
    std::string failing_plugin() {
        std::string shared = std::filesystem::path(dir).parent_path().string() + "/plugin";
        std::string plugin = shared + "/libfailing.so";
        if (!file_exists(plugin)) {
            std::filesystem::create_directories(shared);
            shell("${CC:-cc} -shared -fPIC -O2 -Wall -isystem " + shell_quote(avisynth_include_dir) + " -o " +
                  shell_quote(plugin) + " " + shell_quote(ZVK_FAILING_PLUGIN_SOURCE) + " -L" +
                  shell_quote(real_library_dir) + " -lavisynth");
        }
        return plugin;
    }
};

TEST_F(RealPluginFailures, StatusTextAndWhatCameBefore) {
    const size_t frame_bytes = 320 * 240 * 3 / 2;
    struct {
        std::vector<std::string> args;
        const char* filter;
        int status;
        std::string err;
        size_t frames_before;   // whole frames on standard output or CSV rows
        size_t samples_before;  // WAV samples on standard output
    } cases[] = {
        {{"--y4m", "@"}, "FailAtFrame(7)", 5, "failed to get frame 7: FailAtFrame: frame 7 is damaged\n", 7, 0},
        {{"--validate", "@", "@csv"}, "FailAtFrame(7)", 5,
         "failed to get frame 7: FailAtFrame: frame 7 is damaged\n", 7, 0},
        {{"--frames", "60", "99", "--y4m", "@"}, "FailAtFrame(75)", 5,
         "failed to get frame 75: FailAtFrame: frame 75 is damaged\n", 15, 0},
        {{"--wav", "@"}, "FailAtSample(100000)", 9,
         "failed to get audio at sample 65536: FailAtSample: the audio at sample 100000 is damaged\n", 0, 65536},
    };
    std::string plugin = failing_plugin();
    script(dubbed_source());
    std::string clean_video = render({"--y4m", "@"});
    std::string clean_audio = wav_samples(render({"--wav", "@"}));
    std::vector<std::string> clean_frames = y4m_frames(clean_video, frame_bytes);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        run_result r =
            run_avs(c.args, dubbed_source() + "LoadCPlugin(\"" + plugin + "\")\n" + c.filter + "\n");
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(diagnostic_lines(r.err), c.err);
        int first = c.args[0] == "--frames" ? std::stoi(c.args[1]) : 0;
        if (c.args[0] == "--wav") {
            EXPECT_TRUE(wav_samples(r.out) == clean_audio.substr(0, c.samples_before * 12));
        } else if (c.args[0] == "--validate") {
            EXPECT_EQ(text_lines(read_file(path("frames.csv"))).size(), c.frames_before + 1);
            std::vector<std::string> log = text_lines(read_file(path("frames.csv.runner.log")));
            EXPECT_EQ(slice(log, -2, 2), (std::vector<std::string>{"render: frame 0", "exit: 5"}));
        } else {
            std::vector<std::string> frames = y4m_frames(r.out, frame_bytes);
            EXPECT_EQ(frames.size(), c.frames_before);
            EXPECT_TRUE(frames == slice(clean_frames, first, c.frames_before));
        }
    }
}

}  // namespace
