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

// examples/parallel/split_render.sh: the parts rendered at once, joined,
// equal one whole render byte for byte.
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
    struct {
        const char* kind;
        std::string whole;  // the whole render, into the file whole
        const char* extra;
    } cases[] = {
        {"y4m", "zvk_avs_runner --y4m clip.avs > whole", ""},
        {"skip-drop", "zvk_avs_runner --y4m-skip-drop 24 1 clip.avs > whole", " 24 1"},
        {"csv", "zvk_avs_runner --validate clip.avs whole", ""},
        {"wav", "zvk_avs_runner --wav clip.avs > whole", ""},
    };
    std::string recipe = shell_quote(e2e.examples_dir + "/parallel/split_render.sh");
    for (const auto& c : cases) {
        for (int parts : {3, 8, 40}) {
            SCOPED_TRACE(std::string(c.kind) + " in " + std::to_string(parts));
            std::string where;
            std::string line = c.whole + " 2>/dev/null && " + recipe + " " + std::to_string(parts) + " " +
                               c.kind + " clip.avs joined" + c.extra;
            ASSERT_EQ(sh(line, clip, &where), 0) << read_file(where + "/err.txt");
            std::string whole = read_file(where + "/whole");
            EXPECT_GT(whole.size(), 100u);
            EXPECT_TRUE(read_file(where + "/joined") == whole) << "joined parts differ from the whole";
        }
    }
}

}  // namespace
