// The pixel format classification against a record whose answers each test
// sets, optional slots included.
#include <gtest/gtest.h>

#include "avs/avs_library.h"
#include "formats/pixel_format.h"

namespace {

int bits_answer;
int family_answer;           // 420, 422, 444 or 0
const char* classic_answer;  // "yv12", "yv16", "yv24" or ""
int calls;

int AVSC_CC fake_bits(const AVS_VideoInfo*) { return bits_answer; }
int AVSC_CC fake_420(const AVS_VideoInfo*) {
    calls++;
    return family_answer == 420;
}
int AVSC_CC fake_422(const AVS_VideoInfo*) {
    calls++;
    return family_answer == 422;
}
int AVSC_CC fake_444(const AVS_VideoInfo*) {
    calls++;
    return family_answer == 444;
}
int AVSC_CC fake_yv12(const AVS_VideoInfo*) { return strcmp(classic_answer, "yv12") == 0; }
int AVSC_CC fake_yv16(const AVS_VideoInfo*) { return strcmp(classic_answer, "yv16") == 0; }
int AVSC_CC fake_yv24(const AVS_VideoInfo*) { return strcmp(classic_answer, "yv24") == 0; }

class PixelFormat : public ::testing::Test {
protected:
    void SetUp() override {
        record = AVS_Library();
        record.avs_bits_per_component = fake_bits;
        record.avs_is_420 = fake_420;
        record.avs_is_422 = fake_422;
        record.avs_is_444 = fake_444;
        record.avs_is_yv12 = fake_yv12;
        record.avs_is_yv16 = fake_yv16;
        record.avs_is_yv24 = fake_yv24;
        avs_library = &record;
        bits_answer = 8;
        family_answer = 0;
        classic_answer = "";
        calls = 0;
    }
    void TearDown() override { avs_library = nullptr; }
    const char* tag() {
        const char* t = chroma_tag(&vi);
        return t != nullptr ? t : "none";
    }
    AVS_Library record;
    AVS_VideoInfo vi = {};
};

TEST(Y4mChromaTag, EveryCellOfTheTable) {
    const char* expected[3][7] = {
        // depth <= 8, 10, 12, 14, 16, then 9 and 32 (no tag)
        {"C420jpeg", "C420p10", "C420p12", "C420p14", "C420p16", nullptr, nullptr},
        {"C422", "C422p10", "C422p12", "C422p14", "C422p16", nullptr, nullptr},
        {"C444", "C444p10", "C444p12", "C444p14", "C444p16", nullptr, nullptr},
    };
    const int families[3] = {420, 422, 444};
    const int depths[7] = {8, 10, 12, 14, 16, 9, 32};
    for (int f = 0; f < 3; f++) {
        for (int d = 0; d < 7; d++) {
            const char* tag = y4m_chroma_tag(families[f], depths[d]);
            if (expected[f][d] == nullptr) {
                EXPECT_EQ(tag, nullptr) << families[f] << " " << depths[d];
            } else {
                EXPECT_STREQ(tag, expected[f][d]) << families[f] << " " << depths[d];
            }
        }
        for (int depth : {11, 13, 15, 17, 24, 64}) EXPECT_EQ(y4m_chroma_tag(families[f], depth), nullptr);
        for (int depth : {0, 1, 7, -3, INT32_MIN})
            EXPECT_STREQ(y4m_chroma_tag(families[f], depth), expected[f][0]) << depth;
    }
    for (int family : {411, 0, 400, -420, 4200}) EXPECT_EQ(y4m_chroma_tag(family, 8), nullptr);
}

TEST_F(PixelFormat, BitDepthFallsBackTo8) {
    for (int answer : {10, 16, 32, 1}) {
        bits_answer = answer;
        EXPECT_EQ(video_bit_depth(&vi), answer);
    }
    for (int answer : {0, -1, INT32_MIN}) {
        bits_answer = answer;
        EXPECT_EQ(video_bit_depth(&vi), 8);
    }
    record.avs_bits_per_component = nullptr;
    EXPECT_EQ(video_bit_depth(&vi), 8);
}

TEST_F(PixelFormat, FirstFamilyThatSaysYesDecides) {
    family_answer = 420;
    classic_answer = "yv12";
    EXPECT_STREQ(tag(), "C420jpeg");
    bits_answer = 10;
    EXPECT_STREQ(tag(), "C420p10");
    family_answer = 422;
    bits_answer = 12;
    EXPECT_STREQ(tag(), "C422p12");
    family_answer = 444;
    bits_answer = 16;
    EXPECT_STREQ(tag(), "C444p16");
}

// A family at a depth without a tag never reaches the 8-bit fallback.
TEST_F(PixelFormat, UntaggedDepthIsNoTagEvenWhenAClassicFormatMatches) {
    family_answer = 420;
    classic_answer = "yv12";
    bits_answer = 32;
    EXPECT_STREQ(tag(), "none");
    bits_answer = 9;
    EXPECT_STREQ(tag(), "none");
}

TEST_F(PixelFormat, ClassicFormatsWhenNoFamilySaysYes) {
    bits_answer = 16;  // the fallback ignores the depth
    classic_answer = "yv12";
    EXPECT_STREQ(tag(), "C420jpeg");
    classic_answer = "yv16";
    EXPECT_STREQ(tag(), "C422");
    classic_answer = "yv24";
    EXPECT_STREQ(tag(), "C444");
    classic_answer = "";
    EXPECT_STREQ(tag(), "none");
}

TEST_F(PixelFormat, MissingFamilySlotsAreSkipped) {
    record.avs_is_420 = nullptr;
    family_answer = 422;
    bits_answer = 10;
    EXPECT_STREQ(tag(), "C422p10");
    record.avs_is_422 = nullptr;
    family_answer = 444;
    EXPECT_STREQ(tag(), "C444p10");
    record.avs_is_444 = nullptr;
    calls = 0;
    classic_answer = "yv24";
    EXPECT_STREQ(tag(), "C444");
    EXPECT_EQ(calls, 0);
}

}  // namespace
