// WAV streams of the real library's audio: every sample type it gives,
// from a square wave whose samples are exact, and a sine checked by
// ffprobe and against its formula.
#include <math.h>
#include <stdint.h>
#include <string.h>

#include "real_test.h"

namespace {

// Little-endian fields; all ones past the end.
unsigned le16_at(const std::string& bytes, size_t at) {
    if (at + 2 > bytes.size()) return 0xFFFFFFFFu;
    return (unsigned char)bytes[at] | (unsigned char)bytes[at + 1] << 8;
}

uint32_t le32_at(const std::string& bytes, size_t at) {
    if (at + 4 > bytes.size()) return 0xFFFFFFFFu;
    return le16_at(bytes, at) | (uint32_t)le16_at(bytes, at + 2) << 16;
}

class RealWav : public RealTest {
protected:
    // The header's fields, and a data chunk that holds the rest of the stream.
    void expect_header(const std::string& wav, unsigned format, unsigned channels, uint32_t rate,
                       unsigned bits, uint32_t samples) {
        unsigned align = channels * bits / 8;
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_EQ(le32_at(wav, 4), 36 + samples * align);
        EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(le32_at(wav, 16), 16u);
        EXPECT_EQ(le16_at(wav, 20), format);
        EXPECT_EQ(le16_at(wav, 22), channels);
        EXPECT_EQ(le32_at(wav, 24), rate);
        EXPECT_EQ(le32_at(wav, 28), rate * align);
        EXPECT_EQ(le16_at(wav, 32), align);
        EXPECT_EQ(le16_at(wav, 34), bits);
        EXPECT_EQ(wav.substr(36, 4), "data");
        EXPECT_EQ(le32_at(wav, 40), samples * align);
        EXPECT_EQ(wav.size(), 44 + (size_t)samples * align);
    }
    static float float_at(const std::string& wav, size_t i) {
        uint32_t bits = le32_at(wav, 44 + 4 * i);
        float f;
        memcpy(&f, &bits, 4);
        return f;
    }
};

// A stereo square wave of levels 0.5 and 0.25 (Amplify on each channel):
// every float sample is exact, and every integer type holds it times 2^(bits-1).
TEST_F(RealWav, EverySampleTypeOfASquareWave) {
    const std::string square =
        "Tone(length=1, frequency=1000, samplerate=8000, channels=2, type=\"Square\").Amplify(0.5, 0.25)";
    run_result f = run_avs({"--wav", "@"}, square + ".ConvertAudioToFloat()\n");
    ASSERT_EQ(f.status, 0) << f.err;
    expect_header(f.out, 3, 2, 8000, 32, 8000);
    int positive = 0;
    for (size_t s = 0; s < 8000 && s * 8 + 52 <= f.out.size(); s++) {
        float left = float_at(f.out, 2 * s), right = float_at(f.out, 2 * s + 1);
        ASSERT_TRUE(fabsf(left) == 0.5f && right == left / 2)
            << "sample " << s << ": " << left << ", " << right;
        positive += left > 0;
    }
    EXPECT_TRUE(positive >= 3000 && positive <= 5000) << positive;

    for (int bits : {16, 24, 32}) {
        SCOPED_TRACE(bits);
        run_result r = run_avs({"--wav", "@"}, square + ".ConvertAudioTo" + std::to_string(bits) + "bit()\n");
        ASSERT_EQ(r.status, 0) << r.err;
        expect_header(r.out, 1, 2, 8000, (unsigned)bits, 8000);
        std::string expected = r.out.substr(0, 44);
        for (size_t i = 0; i < 16000; i++) {
            int64_t v = (int64_t)ldexp(float_at(f.out, i), bits - 1);
            for (int b = 0; b < bits / 8; b++) expected.push_back((char)((uint64_t)v >> (8 * b)));
        }
        EXPECT_TRUE(r.out == expected);
        // Below 4 GiB, --rf64 writes the same stream.
        EXPECT_TRUE(run_avs({"--rf64", "@"}, read_file(path("clip.avs"))).out == expected);
    }
}

// Tone's sine at level 0.5, the same in both channels; ffprobe reads the
// stream, and every sample is within float precision of the formula (C
// libraries may differ in the last bit).
TEST_F(RealWav, SineTone) {
    run_result r =
        run_avs({"--wav", "@"}, "Tone(length=2, frequency=440, samplerate=44100, channels=2, level=0.5)\n");
    ASSERT_EQ(r.status, 0) << r.err;
    expect_header(r.out, 3, 2, 44100, 32, 88200);
    write_file(path("tone.wav"), r.out);
    EXPECT_EQ(shell("ffprobe -v error -show_entries "
                    "stream=codec_name,sample_rate,channels,bits_per_sample,duration_ts "
                    "-of csv=p=0 tone.wav"),
              "pcm_f32le,44100,2,32,88200\n");
    double worst = 0;
    for (size_t s = 0; s < 88200 && s * 8 + 52 <= r.out.size(); s++) {
        double expected = 0.5 * sin(2 * M_PI * 440 * (double)s / 44100);
        worst = std::max(
            {worst, fabs(float_at(r.out, 2 * s) - expected), fabs(float_at(r.out, 2 * s + 1) - expected)});
    }
    EXPECT_LT(worst, 1e-6);
}

}  // namespace

namespace {

// The mask a script sets comes out in the extensible header (its 32 bits at
// byte 40); a mask the script leaves unknown, the usual layout.
TEST_F(RealWav, ExtensibleStreamCarriesTheScriptsChannelMask) {
    struct {
        const char* script;
        uint32_t mask;
    } cases[] = {
        {"Tone(length=1, samplerate=8000, channels=6).SetChannelMask(\"5.1(side)\")", 0x60F},
        {"Tone(length=1, samplerate=8000, channels=8).ConvertAudioTo24bit().SetChannelMask(true, $63F)",
         0x63F},
        {"Tone(length=1, samplerate=8000, channels=3).SetChannelMask(false, 0)", 0x7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        run_result r = run_avs({"--wav-extensible", "@"}, std::string(c.script) + "\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(le16_at(r.out, 20), 0xFFFEu);
        EXPECT_EQ(le32_at(r.out, 40), c.mask);
        run_result wav = run_avs({"--wav", "@"}, read_file(path("clip.avs")));
        EXPECT_TRUE(r.out.substr(68) == wav.out.substr(44)) << "samples differ from --wav";
    }
}

}  // namespace
