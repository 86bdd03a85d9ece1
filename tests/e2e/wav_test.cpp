// The WAV stream: header fields, samples exactly as the library gives them,
// the refusals in their order, the 65536-sample steps and a failed step.
#include <stdint.h>
#include <stdio.h>

#include "e2e_test.h"
#include "expected_output.h"
#include "standin_pattern.h"

namespace {

std::string le16(unsigned v) { return std::string{(char)(v & 0xFF), (char)((v >> 8) & 0xFF)}; }
std::string le32(uint32_t v) {
    return std::string{(char)(v & 0xFF), (char)((v >> 8) & 0xFF), (char)((v >> 16) & 0xFF), (char)(v >> 24)};
}

std::string wav_header(unsigned format, unsigned channels, uint32_t rate, uint32_t byte_rate, unsigned align,
                       unsigned bits, uint32_t data_size) {
    return "RIFF" + le32(data_size + 36) + "WAVE" + "fmt " + le32(16) + le16(format) + le16(channels) +
           le32(rate) + le32(byte_rate) + le16(align) + le16(bits) + "data" + le32(data_size);
}

// The stand-in's samples from first to first + count, all channels.
std::string samples(int sample_type, int channels, int64_t first, int64_t count) {
    int bytes = standin_bytes_per_sample(sample_type);
    std::string out((size_t)(count * channels * bytes), '\0');
    unsigned char* p = (unsigned char*)&out[0];
    for (int64_t s = first; s < first + count; s++)
        for (int c = 0; c < channels; c++, p += bytes) standin_sample(sample_type, s, c, p);
    return out;
}

std::string audio(const char* type, int channels, int rate, long long count, const std::string& more = "") {
    return std::string("frames = 0\naudio_rate = ") + std::to_string(rate) + "\nsample_type = " + type +
           "\nchannels = " + std::to_string(channels) + "\naudio_samples = " + std::to_string(count) + "\n" +
           more;
}

class Wav : public RunnerTest {};

TEST_F(Wav, Stereo16BitAt48000) {
    run_result r = run({"--wav", script(audio("int16", 2, 48000, 1000))});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == wav_header(1, 2, 48000, 192000, 4, 16, 4000) + samples(2, 2, 0, 1000));
    expect_clip_kept(r);
}

TEST_F(Wav, StereoFloat) {
    run_result r = run({"--wav", script(audio("float", 2, 48000, 777))});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == wav_header(3, 2, 48000, 384000, 8, 32, 777 * 8) + samples(16, 2, 0, 777));
}

TEST_F(Wav, Mono24BitWithAnOddSizeHasNoPadByte) {
    run_result r = run({"--wav", script(audio("int24", 1, 44100, 1001))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), 44u + 3003u);
    EXPECT_TRUE(r.out == wav_header(1, 1, 44100, 132300, 3, 24, 3003) + samples(4, 1, 0, 1001));
}

TEST_F(Wav, Int32ManyChannels) {
    run_result r = run({"--wav", script(audio("int32", 8, 96000, 300))});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == wav_header(1, 8, 96000, 3072000, 32, 32, 9600) + samples(8, 8, 0, 300));
}

TEST_F(Wav, RateWithoutSamplesIsTheHeaderAlone) {
    run_result r = run({"--wav", script(audio("int16", 2, 48000, 0))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, wav_header(1, 2, 48000, 192000, 4, 16, 0));
    EXPECT_EQ(r.out.substr(4, 4), le32(36));
    EXPECT_TRUE(trace_with(r.trace, "get_audio").empty());
}

TEST_F(Wav, AudioWithoutVideoFramesAndWithVideoToo) {
    run_result r = run({"--wav", script(audio("int16", 1, 8000, 10, "frames = 25\n"))});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == wav_header(1, 1, 8000, 16000, 2, 16, 20) + samples(2, 1, 0, 10));
    EXPECT_TRUE(trace_with(r.trace, "get_frame").empty());
}

TEST_F(Wav, RefusalsInTheirOrderLeaveStandardOutputEmpty) {
    struct {
        std::string description;
        int status;
        const char* message;
    } cases[] = {
        {"frames = 10\n", 6, "script has no audio\n"},
        {audio("int16", 2, 0, 1000), 6, "script has no audio\n"},
        {audio("int8", 2, 0, 1000), 6, "script has no audio\n"},  // no audio comes first
        {audio("int8", 2, 48000, 1000), 7, "unsupported Avisynth audio sample type for WAV output: 1\n"},
        {audio("3", 2, 48000, 1000), 7, "unsupported Avisynth audio sample type for WAV output: 3\n"},
        {audio("32", 2, 48000, 1000), 7, "unsupported Avisynth audio sample type for WAV output: 32\n"},
        {audio("18", 2, 48000, 1000), 7, "unsupported Avisynth audio sample type for WAV output: 18\n"},
        {audio("int8", 2, 48000, 9000000000000LL), 7,
         "unsupported Avisynth audio sample type for WAV output: 1\n"},  // before the size
        {audio("int16", 2, 48000, 1073741815), 8, "WAV output would exceed RIFF size limit\n"},
        {audio("int24", 1, 48000, 1431655754), 8, "WAV output would exceed RIFF size limit\n"},
        {audio("float", 2, 48000, 4611686018427387904LL), 8, "WAV output would exceed RIFF size limit\n"},
    };
    for (const auto& c : cases) {
        run_result r = run({"--wav", script(c.description)});
        EXPECT_EQ(r.status, c.status) << c.description;
        EXPECT_EQ(r.err, c.message) << c.description;
        EXPECT_EQ(r.out, "") << c.description;
        EXPECT_TRUE(trace_with(r.trace, "get_audio").empty());
        expect_clip_kept(r);
    }
}

// The largest streams are accepted; a fetch failing at once keeps the test
// from producing gigabytes while leaving the whole header to check.
TEST_F(Wav, SizeLimitAtItsExactBoundaries) {
    run_result stereo = run({"--wav", script(audio("int16", 2, 48000, 1073741814, "fail_audio_at = 0\n"))});
    EXPECT_EQ(stereo.status, 9);
    EXPECT_EQ(stereo.out, wav_header(1, 2, 48000, 192000, 4, 16, 4294967256u));
    EXPECT_EQ(stereo.out.substr(4, 4), le32(4294967292u));

    run_result mono = run({"--wav", script(audio("int24", 1, 48000, 1431655753, "fail_audio_at = 0\n"))});
    EXPECT_EQ(mono.status, 9);
    EXPECT_EQ(mono.out, wav_header(1, 1, 48000, 144000, 3, 24, 4294967259u));
    EXPECT_EQ(mono.out.substr(4, 4), le32(4294967295u));
}

TEST_F(Wav, FetchedIn65536SampleSteps) {
    run_result r = run({"--wav", script(audio("int16", 2, 48000, 150000))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        trace_with(r.trace, "get_audio"),
        (std::vector<std::string>{"get_audio 0 65536", "get_audio 65536 65536", "get_audio 131072 18928"}));
    EXPECT_EQ(r.out.size(), 44u + 600000u);
    EXPECT_TRUE(r.out.substr(44) == samples(2, 2, 0, 150000));
}

TEST_F(Wav, FailedStepKeepsTheEarlierSamples) {
    run_result r =
        run({"--wav", script(audio("int16", 2, 48000, 150000,
                                   "fail_audio_at = 70000\nfail_audio_error = read error in source\n"))});
    EXPECT_EQ(r.status, 9);
    EXPECT_EQ(r.err, "failed to get audio at sample 65536: read error in source\n");
    EXPECT_TRUE(r.out == wav_header(1, 2, 48000, 192000, 4, 16, 600000) + samples(2, 2, 0, 65536));

    run_result bare = run({"--wav", script(audio("float", 1, 48000, 150000, "fail_audio_at = 131072\n"))});
    EXPECT_EQ(bare.status, 9);
    EXPECT_EQ(bare.err, "failed to get audio at sample 131072\n");
    EXPECT_EQ(bare.out.size(), 44u + 131072u * 4);
}

TEST_F(Wav, ConsumerThatClosesThePipeEarly) {
    run_request request;
    request.out_mode = STDOUT_CLOSE_AFTER;
    request.close_after = 44;
    run_result r = run({"--wav", script(audio("int16", 2, 48000, 2000000))}, request);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(trace_with(r.trace, "get_audio").size(), 31u);
}

// Values the header cannot carry are refused rather than written cut.
TEST_F(Wav, ClipsTheHeaderCannotDescribe) {
    struct {
        std::string description;
        int status;
        const char* message;
    } cases[] = {
        {audio("int16", 0, 48000, 100), 6, "script has no audio\n"},
        {audio("int16", -2, 48000, 100), 6, "script has no audio\n"},
        {audio("int16", 2, 48000, -1), 6, "script has no audio\n"},
        {audio("int16", 2, 48000, -9223372036854775807LL), 6, "script has no audio\n"},
        {audio("int32", 16384, 48000, 1), 8, "WAV header cannot describe 16384 channels at 48000 Hz\n"},
        {audio("int16", 2147483647, 48000, 1), 8,
         "WAV header cannot describe 2147483647 channels at 48000 Hz\n"},
        {audio("int16", 2, -44100, 1), 8, "WAV header cannot describe 2 channels at -44100 Hz\n"},
        {audio("int16", 2, 2147483647, 1), 8, "WAV header cannot describe 2 channels at 2147483647 Hz\n"},
    };
    for (const auto& c : cases) {
        run_result r = run({"--wav", script(c.description)});
        EXPECT_EQ(r.status, c.status) << c.description;
        EXPECT_EQ(r.err, c.message) << c.description;
        EXPECT_EQ(r.out, "");
    }
    // The largest that fit: 16383 channels of 4 bytes, and a byte rate of
    // 4294967292 (1073741823 Hz x 4 bytes).
    // Its 4 GiB sample buffer is out of a 32-bit program's reach.
    run_result wide = run({"--wav", script(audio("int32", 16383, 8000, 0))});
    EXPECT_EQ(wide.status, e2e.width == "32-bit" ? 10 : 0);
    EXPECT_EQ(wide.out, wav_header(1, 16383, 8000, 8000u * 65532u, 65532, 32, 0));
    run_result fast = run({"--wav", script(audio("int16", 2, 1073741823, 0))});
    EXPECT_EQ(fast.status, 0);
    EXPECT_EQ(fast.out, wav_header(1, 2, 1073741823, 4294967292u, 4, 16, 0));
}

class FfprobeWav : public RunnerTest {};

// A real consumer reads each sample type with the right codec, rate,
// channels and duration, and decodes the stand-in's samples.
TEST_F(FfprobeWav, EverySampleTypeDecodes) {
    struct {
        const char* type;
        int value;
        const char* codec;
        const char* raw_format;
    } cases[] = {
        {"int16", 2, "pcm_s16le", "s16le"},
        {"int24", 4, "pcm_s24le", "s24le"},
        {"int32", 8, "pcm_s32le", "s32le"},
        {"float", 16, "pcm_f32le", "f32le"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec);
        run_result r = run({"--wav", script(audio(c.type, 3, 32000, 96000))});
        ASSERT_EQ(r.status, 0);
        std::string wav = path("audio.wav");
        write_file(wav, r.out);
        std::string probe_file = path("probe.txt");
        std::string command =
            "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,duration "
            "-of csv=p=0 " +
            wav + " > " + probe_file;
        EXPECT_EQ(system(command.c_str()), 0);
        EXPECT_EQ(read_file(probe_file), std::string(c.codec) + ",32000,3,3.000000\n");
        std::string raw = path("audio.raw");
        command = std::string("ffmpeg -nostdin -v error -y -i ") + wav + " -f " + c.raw_format + " -c:a " +
                  c.codec + " " + raw;
        EXPECT_EQ(system(command.c_str()), 0);
        EXPECT_TRUE(read_file(raw) == samples(c.value, 3, 0, 96000)) << "decoded samples differ";
    }
}

}  // namespace
