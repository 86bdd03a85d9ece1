// The extensible WAV stream (--wav-extensible): its 68-byte header with the
// valid bits, the channel mask and the sub-format, the same samples and
// refusals as --wav, RF64 past the RIFF limit, and the encoders that need
// the mask to take more than two channels.
#include <stdint.h>
#include <stdlib.h>

#include "e2e_test.h"
#include "expected_output.h"
#include "standin_pattern.h"

namespace {

std::string le16(unsigned v) { return std::string{(char)(v & 0xFF), (char)((v >> 8) & 0xFF)}; }
std::string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
std::string le64(uint64_t v) { return le32((uint32_t)v) + le32((uint32_t)(v >> 32)); }

// The format chunk of an extensible stream: every sample type is stored in
// all its bits, and only float samples have the IEEE-float sub-format.
std::string extensible_fmt(unsigned channels, uint32_t rate, unsigned bits, bool is_float, uint32_t mask) {
    unsigned align = channels * bits / 8;
    return "fmt " + le32(40) + le16(0xFFFE) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) +
           le16(bits) + le16(22) + le16(bits) + le32(mask) + le32(is_float ? 3 : 1) +
           std::string("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
}

std::string audio(const char* type, int channels, long long count, const std::string& more = "") {
    return std::string("frames = 0\naudio_rate = 48000\nsample_type = ") + type +
           "\nchannels = " + std::to_string(channels) + "\naudio_samples = " + std::to_string(count) + "\n" +
           more;
}

class WavExtensible : public RunnerTest {};

// The mask is the library's where it reports one; else the usual layout of
// the channel count, none past eight.
TEST_F(WavExtensible, HeaderAndMaskOfEveryChannelCount) {
    struct {
        const char* type;
        int channels;
        std::string more;
        const char* variant;
        uint32_t mask;
    } cases[] = {
        {"int16", 1, "", "complete", 0x4},
        {"int16", 2, "", "complete", 0x3},
        {"int24", 3, "", "complete", 0x7},
        {"int32", 4, "", "complete", 0x33},
        {"float", 5, "", "complete", 0x37},
        {"int24", 6, "", "complete", 0x3F},
        {"int16", 7, "", "complete", 0x70F},
        {"float", 8, "", "complete", 0x63F},
        {"int16", 9, "", "complete", 0},
        {"int16", 3, "channel_mask = 0xB\n", "complete", 0xB},
        {"int24", 6, "channel_mask = 0x60F\n", "complete", 0x60F},
        // A library without the mask calls: the usual layout.
        {"int24", 6, "channel_mask = 0x60F\n", "no_channel_mask", 0x3F},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " " + c.type + " " + c.variant + " " + c.more);
        std::string clip = script(audio(c.type, c.channels, 300, c.more));
        run_request request;
        request.variant = c.variant;
        run_result r = run({"--wav-extensible", clip}, request);
        run_result wav = run({"--wav", clip}, request);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        ASSERT_GE(wav.out.size(), 44u);
        unsigned bits = (unsigned char)wav.out[34];
        uint32_t data = 300u * c.channels * bits / 8;
        std::string header = "RIFF" + le32(data + 60) + "WAVE" +
                             extensible_fmt(c.channels, 48000, bits, std::string(c.type) == "float", c.mask) +
                             "data" + le32(data);
        EXPECT_TRUE(r.out.substr(0, 68) == header);
        EXPECT_TRUE(r.out.substr(68) == wav.out.substr(44)) << "samples differ from --wav";
    }
}

// What --wav refuses or stops at, and the audio of a frame range, are the
// same here: only the header differs.
TEST_F(WavExtensible, FailuresAndFrameRangesAsForWav) {
    const std::string video =
        "frames = 20\nfps = 25/1\naudio_rate = 8000\nsample_type = int16\nchannels = 6\n";
    struct {
        std::vector<std::string> leading;
        std::string description;
    } cases[] = {
        {{}, "frames = 10\n"},
        {{}, audio("int8", 2, 1000)},
        {{}, audio("int16", 16384 * 2, 1)},
        {{}, audio("float", 2, 150000, "fail_audio_at = 70000\nfail_audio_error = read error\n")},
        {{"--frames", "3", "11"}, video + "audio_samples = 6400\n"},
        {{"--frames", "15", "19"}, video + "audio_samples = 5000\n"},
        {{"--frames", "0", "20"}, video + "audio_samples = 6400\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        std::string clip = script(c.description);
        std::vector<std::string> args = c.leading, wav_args = c.leading;
        args.insert(args.end(), {"--wav-extensible", clip});
        wav_args.insert(wav_args.end(), {"--wav", clip});
        run_result r = run(args), wav = run(wav_args);
        EXPECT_EQ(r.status, wav.status);
        EXPECT_EQ(r.err, wav.err);
        if (wav.out.empty()) {
            EXPECT_EQ(r.out, "");
        } else {
            EXPECT_EQ(r.out.size(), wav.out.size() + 24);
            EXPECT_TRUE(r.out.substr(68) == wav.out.substr(44)) << "samples differ from --wav";
        }
    }
}

// The largest stream RIFF can describe, and one sample frame more: RF64
// with the same format chunk. The first fetch fails, leaving the header.
TEST_F(WavExtensible, TurnsIntoRf64PastTheRiffLimit) {
    const std::string fmt = extensible_fmt(2, 48000, 16, false, 0x3);
    run_result riff = run({"--wav-extensible", script(audio("int16", 2, 1073741808, "fail_audio_at = 0\n"))});
    EXPECT_EQ(riff.status, 9);
    EXPECT_TRUE(riff.out == "RIFF" + le32(4294967292u) + "WAVE" + fmt + "data" + le32(4294967232u));

    run_result rf64 = run({"--wav-extensible", script(audio("int16", 2, 1073741809, "fail_audio_at = 0\n"))});
    EXPECT_EQ(rf64.status, 9);
    uint64_t data = 1073741809ull * 4;
    EXPECT_TRUE(rf64.out == "RF64" + le32(0xFFFFFFFFu) + "WAVE" + "ds64" + le32(28) + le64(data + 96) +
                                le64(data) + le64(1073741809ull) + le32(0) + fmt + "data" +
                                le32(0xFFFFFFFFu));
}

// Encoders and probes as users run them, on the stream through a pipe.
class WavExtensibleConsumers : public RunnerTest {
protected:
    void SetUp() override {
        RunnerTest::SetUp();
        if (e2e.platform == "windows") GTEST_SKIP() << "shell pipelines of Linux consumers";
    }
    // Skips the test, loudly, without the program.
    static bool have(const std::string& program, const std::string& package) {
        if (system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0) return true;
        printf("SKIPPED: %s is not installed (Debian package %s)\n", program.c_str(), package.c_str());
        return false;
    }
    // A shell line run in the scratch directory, its standard output and
    // error together; it must succeed.
    std::string sh(const std::string& line) {
        int status;
        std::string out = shell_output("cd " + shell_quote(dir) + " && (" + line + ") 2>&1", &status);
        EXPECT_EQ(status, 0) << line << "\n" << out;
        return out;
    }
    std::string runner(const std::string& clip) {
        return runner_command() + " --wav-extensible " + shell_quote(native_path(script(clip)));
    }
};

TEST_F(WavExtensibleConsumers, FlacTakesSixChannelsOf24BitsAndDecodesThemBack) {
    if (!have("flac", "flac")) GTEST_SKIP() << "flac is not installed";
    std::string clip = audio("int24", 6, 100000);
    std::string said = sh(runner(clip) + " 2>/dev/null | flac -o audio.flac -");
    EXPECT_EQ(said.find("WARNING"), std::string::npos) << said;
    EXPECT_EQ(said.find("ERROR"), std::string::npos) << said;
    sh("flac -d -s --force-raw-format --endian=little --sign=signed -o audio.raw audio.flac");
    std::string expected(100000u * 6 * 3, '\0');
    for (int s = 0; s < 100000; s++)
        for (int c = 0; c < 6; c++)
            standin_sample(4, s, c, (unsigned char*)&expected[(size_t)(s * 6 + c) * 3]);
    EXPECT_TRUE(read_file(path("audio.raw")) == expected) << "decoded samples differ";
}

TEST_F(WavExtensibleConsumers, FfprobeReportsTheLayoutAndSampleFormat) {
    if (!have("ffprobe", "ffmpeg")) GTEST_SKIP() << "ffprobe is not installed";
    struct {
        const char* type;
        int channels;
        const char* more;
        const char* expected;
    } cases[] = {
        {"int16", 1, "", "s16,mono,16"},
        {"float", 2, "", "flt,stereo,32"},
        {"int32", 3, "", "s32,3.0,32"},
        {"int24", 6, "", "s32,5.1,24"},
        {"int16", 6, "channel_mask = 0x60F\n", "s16,5.1(side),16"},
        {"int32", 8, "", "s32,7.1,32"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        std::string probe =
            sh(runner(audio(c.type, c.channels, 4800, c.more)) +
               " 2>/dev/null | ffprobe -v error -show_entries stream=sample_fmt,channel_layout,"
               "bits_per_sample -of csv=p=0 -i -");
        EXPECT_EQ(probe, std::string(c.expected) + "\n");
    }
}

TEST_F(WavExtensibleConsumers, OpusencEncodesWithTheLayout) {
    if (!have("opusenc", "opus-tools") || !have("ffprobe", "ffmpeg"))
        GTEST_SKIP() << "opusenc or ffprobe missing";
    for (int channels : {6, 8}) {
        SCOPED_TRACE(channels);
        std::string said =
            sh(runner(audio("float", channels, 48000)) + " 2>/dev/null | opusenc - audio.opus");
        EXPECT_EQ(said.find("WARNING"), std::string::npos) << said;
        EXPECT_EQ(sh("ffprobe -v error -show_entries stream=channels,channel_layout -of csv=p=0 audio.opus"),
                  std::to_string(channels) + (channels == 6 ? ",5.1\n" : ",7.1\n"));
    }
}

// 46 minutes of 7.1 float audio, 4.3 GB, through a pipe: ffprobe reads
// every packet to the end of the RF64 stream.
TEST_F(WavExtensibleConsumers, Rf64StreamReadPast4GiB) {
    if (!have("ffprobe", "ffmpeg")) GTEST_SKIP() << "ffprobe is not installed";
    std::string probe =
        sh(runner(audio("float", 8, 134250000)) +
           " 2>/dev/null | ffprobe -v error -show_entries stream=codec_name,channel_layout:packet=pts,"
           "duration -of csv=p=0 -i - | tail -n 2");
    // The last packet ends at the last sample; the stream line comes last.
    std::vector<std::string> lines = text_lines(probe);
    ASSERT_EQ(lines.size(), 2u) << probe;
    long long pts = 0, duration = 0;
    ASSERT_EQ(sscanf(lines[0].c_str(), "%lld,%lld", &pts, &duration), 2) << probe;
    EXPECT_EQ(pts + duration, 134250000LL);
    EXPECT_EQ(lines[1], "pcm_f32le,7.1");
}

}  // namespace
