// Real consumers, run the way the README shows them, and the README's
// recipe of one clip rendered in parts by GNU parallel.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "e2e_test.h"
#include "expected_output.h"

namespace {

class Consumers : public RunnerTest {
protected:
    void SetUp() override {
        RunnerTest::SetUp();
        // POSIX shell lines with Linux consumers; under Wine they would
        // start Wine hundreds of times outside the fixture's guard against
        // Wine's own failures, and the Windows streams are the Linux ones
        // byte for byte (the stream tests show it).
        if (e2e.platform == "windows") GTEST_SKIP() << "shell pipelines of Linux consumers";
        // zvk_avs_runner on PATH, as a user has it.
        std::filesystem::create_directories(path("bin"));
        write_file(path("bin/zvk_avs_runner"), "#!/bin/sh\n" + runner_command() + " \"$@\"\n");
        chmod(path("bin/zvk_avs_runner").c_str(), 0755);
    }
    // Runs a shell command line in a fresh directory holding clip.avs; its
    // status, and the directory.
    int sh(const std::string& line, const std::string& clip, std::string* where) {
        *where = path("run" + std::to_string(++runs));
        std::filesystem::create_directories(*where);
        write_file(*where + "/clip.avs", clip);
        std::string command = "cd " + shell_quote(*where) + " && PATH=" + shell_quote(path("bin")) +
                              ":\"$PATH\" sh -c " + shell_quote(line) + " </dev/null >out.txt 2>err.txt";
        return system(command.c_str());
    }
    static bool have(const std::string& program) {
        return system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
    }
    int runs = 0;
};

// The lines of the README's first code block after the heading.
std::vector<std::string> readme_block(const std::string& heading) {
    std::vector<std::string> lines = read_lines(e2e.examples_dir + "/../README.md"), block;
    size_t i = 0;
    while (i < lines.size() && lines[i] != heading) i++;
    while (i < lines.size() && lines[i].rfind("```", 0) != 0) i++;
    for (i++; i < lines.size() && lines[i].rfind("```", 0) != 0; i++) block.push_back(lines[i]);
    return block;
}

std::string frames_of(const std::string& file) {
    int status;
    return shell_output(
        "ffprobe -v error -count_frames -show_entries stream=nb_read_frames,pix_fmt -of csv=p=0 " +
            shell_quote(file),
        &status);
}

TEST_F(Consumers, ReadmePipelinesAsWritten) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "needs --examples";
    std::vector<std::string> lines = readme_block("## Pipelines");
    ASSERT_GE(lines.size(), 5u);
    const std::string video8 = "width = 64\nheight = 48\nframes = 10\n";
    const std::string video10 = video8 + "pixel_type = YUV420P10\n";
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        bool y4m = line.find("--y4m") != std::string::npos;
        std::string consumer = line.substr(line.find("| ") + 2);
        consumer = consumer.substr(0, consumer.find(' '));
        if (!have(consumer)) {
            ADD_FAILURE() << consumer << " is not installed";
            continue;
        }
        std::vector<std::string> clips;
        if (y4m) {
            clips = {video8, video10};
        } else {
            for (const char* type : {"int16", "int24", "int32"})
                clips.push_back(std::string("frames = 0\naudio_rate = 48000\nsample_type = ") + type +
                                "\nchannels = 2\naudio_samples = 96000\n");
        }
        for (const std::string& clip : clips) {
            // ffmpeg's FLAC encoder keeps 24 bits (the README says so).
            if (consumer == "ffmpeg" && line.find(".flac") != std::string::npos &&
                clip.find("int32") != std::string::npos)
                continue;
            std::string where;
            EXPECT_EQ(sh(line, clip, &where), 0) << read_file(where + "/err.txt");
            std::string output = line.substr(line.rfind(y4m ? "video." : "audio."));
            output = where + "/" + output.substr(0, output.find(' '));
            if (y4m) {
                std::string probe = frames_of(output);
                EXPECT_EQ(probe.substr(probe.find(',') + 1), "10\n") << probe;
            } else {
                // Lossless: the decoded samples end like the WAV stream.
                std::string decoder = consumer == "flac" ? "flac -d -s -c " : "ffmpeg -nostdin -v error -i ";
                std::string to_wav = consumer == "flac" ? "" : " -f wav -c:a pcm_s32le -";
                int status;
                std::string decoded =
                    shell_output(decoder + shell_quote(output) + to_wav + " | tail -c 1000", &status);
                std::string original = shell_output(
                    "cd " + shell_quote(where) + " && PATH=" + shell_quote(path("bin")) +
                        ":\"$PATH\" zvk_avs_runner --wav clip.avs | " +
                        (consumer == "flac" ? std::string("cat") : "ffmpeg -nostdin -v error -i -" + to_wav) +
                        " | tail -c 1000",
                    &status);
                EXPECT_EQ(decoded.size(), 1000u);
                EXPECT_TRUE(decoded == original) << "decoded samples differ";
            }
        }
    }
}

// The Matroska lines: ffmpeg encodes both streams, mpv plays both to the
// end (without a window or a sound card), mkvmerge remuxes without a
// warning.
TEST_F(Consumers, MatroskaPipelinesAsWritten) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "needs --examples";
    std::vector<std::string> lines = readme_block("## Video and audio in one Matroska stream");
    ASSERT_EQ(lines.size(), 3u);
    const std::string clip =
        "width = 64\nheight = 48\nframes = 25\naudio_rate = 48000\nsample_type = int16\nchannels = 2\n"
        "audio_samples = 48000\n";
    for (std::string line : lines) {
        SCOPED_TRACE(line);
        bool mpv = line.find("| mpv -") != std::string::npos;
        if (mpv && !installed("mpv", "mpv")) continue;
        if (line.find("mkvmerge") != std::string::npos && !installed("mkvmerge", "mkvtoolnix")) continue;
        if (mpv) line.replace(line.find("mpv -"), 5, "mpv --no-config --vo=null --ao=null -");
        std::string where;
        EXPECT_EQ(sh(line, clip, &where), 0) << read_file(where + "/err.txt");
        if (mpv) {
            std::string said = read_file(where + "/out.txt") + read_file(where + "/err.txt");
            EXPECT_NE(said.find("VO: [null] 64x48 yuv420p"), std::string::npos) << said;
            EXPECT_NE(said.find("AO: [null] 48000Hz stereo"), std::string::npos) << said;
            EXPECT_NE(said.find("(End of file)"), std::string::npos) << said;
            continue;
        }
        // mkvmerge's exit status 1 is a warning.
        int status;
        std::string probe = shell_output(
            "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames -of csv=p=0 " +
                shell_quote(where + "/out.mkv"),
            &status);
        EXPECT_EQ(probe.substr(0, probe.find('\n')),
                  line.find("x264") != std::string::npos ? "h264,25" : "rawvideo,25");
    }
}

// examples/parallel/split_render.sh: the parts rendered at once, joined,
// equal one whole render byte for byte, whatever the script's path holds.
TEST_F(Consumers, ParallelRecipeEqualsTheWholeRender) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "needs --examples";
    if (!have("parallel")) {
        ADD_FAILURE() << "GNU parallel is not installed";
        return;
    }
    const std::string clip =
        "width = 16\nheight = 8\nframes = 23\nfps = 30000/1001\nframe_period = 23\n"
        "prop zvk_source_id = int frame\nprop zvk_drop_frame @5-6 = int 1\n"
        "audio_rate = 44100\nsample_type = int24\nchannels = 2\naudio_samples = 40000\n";
    const std::string surround =
        "width = 16\nheight = 8\nframes = 23\naudio_rate = 48000\nsample_type = float\nchannels = 6\n"
        "audio_samples = 50000\n";
    const std::string audio_alone =
        "frames = 0\naudio_rate = 48000\nsample_type = int16\nchannels = 2\n"
        "audio_samples = 70000\n";
    struct {
        const char* kind;
        const std::string& clip;
        std::string whole;  // the whole render of s.avs, into the file whole
        const char* extra;
    } cases[] = {
        {"y4m", clip, "zvk_avs_runner --y4m s.avs > whole", ""},
        {"skip-drop", clip, "zvk_avs_runner --y4m-skip-drop 24 1 s.avs > whole", " 24 1"},
        {"csv", clip, "zvk_avs_runner --validate s.avs whole", ""},
        {"wav", clip, "zvk_avs_runner --wav s.avs > whole", ""},
        {"rf64", surround, "zvk_avs_runner --rf64 s.avs > whole", ""},
        {"wav-extensible", surround, "zvk_avs_runner --wav-extensible s.avs > whole", ""},
        // Not split by frames: rendered whole, and said so.
        {"wav", audio_alone, "zvk_avs_runner --wav s.avs > whole", ""},
    };
    std::string recipe = shell_quote(e2e.examples_dir + "/parallel/split_render.sh");
    // Spaces, quotes and letters outside ASCII, in the script's folder and name.
    const std::string odd = "\"my clips/\xC3\xA9p 1 'n\\\" \\$x.avs\"";
    for (const auto& c : cases) {
        for (int parts : {3, 8, 40}) {
            SCOPED_TRACE(std::string(c.kind) + " in " + std::to_string(parts));
            std::string where;
            std::string line = "cp clip.avs s.avs && mkdir 'my clips' && cp clip.avs " + odd + " && " +
                               c.whole + " 2>/dev/null && " + recipe + " " + std::to_string(parts) + " " +
                               c.kind + " " + odd + " joined" + c.extra;
            ASSERT_EQ(sh(line, c.clip, &where), 0) << read_file(where + "/err.txt");
            std::string whole = read_file(where + "/whole");
            EXPECT_GT(whole.size(), 100u);
            EXPECT_TRUE(read_file(where + "/joined") == whole) << "joined parts differ from the whole render";
            std::string err = read_file(where + "/err.txt");
            EXPECT_EQ(err.find("rendering it whole") != std::string::npos, &c.clip == &audio_alone) << err;
            // The parts went beside the output, and are gone.
            int status;
            EXPECT_EQ(shell_output("ls -A " + shell_quote(where) + " | grep -c parts", &status), "0\n");
        }
    }
}

// A WAV part as the runner writes it past the RIFF limit: the same format
// chunk and samples behind an RF64 header.
std::string as_rf64(const std::string& riff) {
    auto le = [](uint64_t v, int n) {
        std::string bytes;
        for (int i = 0; i < n; i++) bytes += (char)(v >> (8 * i) & 0xFF);
        return bytes;
    };
    size_t fmt = 8 + (uint8_t)riff[16];
    size_t header = 20 + fmt;
    uint64_t data = riff.size() - header, block_align = (uint8_t)riff[32];
    return "RF64" + le(0xFFFFFFFFu, 4) + "WAVEds64" + le(28, 4) + le(data + header + 36 - 8, 8) +
           le(data, 8) + le(data / block_align, 8) + le(0, 4) + riff.substr(12, fmt) + "data" +
           le(0xFFFFFFFFu, 4) + riff.substr(header);
}

// join_parts.sh reads each WAV part's own header: RF64 and extensible parts
// join into the whole render's header; a part cut short or of another
// format is refused by its name.
TEST_F(Consumers, JoinReadsEachWavPartsHeader) {
    if (e2e.examples_dir.empty()) GTEST_SKIP() << "needs --examples";
    const std::string clip =
        "width = 16\nheight = 8\nframes = 10\naudio_rate = 48000\nsample_type = float\n"
        "channels = 6\naudio_samples = 20000\n";
    std::string where;
    ASSERT_EQ(sh("for form in wav rf64 wav-extensible; do zvk_avs_runner --$form clip.avs > whole.$form &&"
                 " zvk_avs_runner --frames 0 3 --$form clip.avs > a.$form &&"
                 " zvk_avs_runner --frames 4 9 --$form clip.avs > b.$form || exit 1; done",
                 clip, &where),
              0)
        << read_file(where + "/err.txt");
    std::string join = shell_quote(e2e.examples_dir + "/parallel/join_parts.sh");
    auto joined = [&](const std::string& kind, const std::vector<std::string>& parts, std::string* err) {
        std::string line = "cd " + shell_quote(where) + " && " + join + " " + kind + " joined";
        for (const std::string& part : parts) line += " " + part;
        int status;
        *err = shell_output(line + " 2>&1 >/dev/null", &status);
        return status;
    };
    for (const char* form : {"rf64", "wav-extensible"}) {
        SCOPED_TRACE(form);
        std::string f = form;
        write_file(where + "/a.rf64part", as_rf64(read_file(where + "/a." + f)));
        write_file(where + "/b.rf64part", as_rf64(read_file(where + "/b." + f)));
        std::string err;
        ASSERT_EQ(joined(f, {"a.rf64part", "b." + f}, &err), 0) << err;
        EXPECT_TRUE(read_file(where + "/joined") == read_file(where + "/whole." + f));
        ASSERT_EQ(joined(f, {"a." + f, "b.rf64part"}, &err), 0) << err;
        EXPECT_TRUE(read_file(where + "/joined") == read_file(where + "/whole." + f));
    }
    std::string b = read_file(where + "/b.wav");
    write_file(where + "/cut.wav", b.substr(0, b.size() - 7));
    struct {
        std::vector<std::string> parts;
        const char* says;
    } refusals[] = {
        {{"a.wav", "cut.wav"}, "cut.wav holds "},
        {{"a.wav", "b.wav-extensible"}, "b.wav-extensible has another audio format than a.wav"},
        {{"a.wav", "clip.avs"}, "clip.avs is not a WAV stream"},
    };
    for (const auto& r : refusals) {
        std::string err;
        EXPECT_EQ(joined("wav", r.parts, &err), 1 << 8) << err;
        EXPECT_NE(err.find(r.says), std::string::npos) << err;
    }
}

}  // namespace
