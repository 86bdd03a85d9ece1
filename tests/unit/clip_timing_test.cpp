// The durations and field order --info derives from the clip's numbers.
#include <gtest/gtest.h>

#include "reports/clip_timing.h"

namespace {

TEST(ClipTiming, VideoAndAudioDurationsInLowestTerms) {
    struct {
        bool video;
        int64_t count;  // frames or samples
        int64_t rate_num;
        uint32_t rate_den;  // video only
        bool known;
        int64_t numerator, denominator;
        double seconds;
    } rows[] = {
        {true, 43200, 24000, 1001, true, 9009, 5, 1801.8},
        {true, 250, 25, 1, true, 10, 1, 10.0},
        {true, 0, 30000, 1001, true, 0, 1, 0.0},
        {true, 2147483647, 1, 4294967295u, true, 9223372030412324865, 1, 9223372030412324865.0},
        {true, 7, 4294967295, 4294967295u, true, 7, 1, 7.0},
        {true, -1, 25, 1, false, 0, 0, 0.0},
        {true, 10, 0, 1, false, 0, 0, 0.0},
        {true, 10, 25, 0, false, 0, 0, 0.0},
        {false, 86486400, 48000, 0, true, 9009, 5, 1801.8},
        {false, 5000000000, 44100, 0, true, 50000000, 441, 113378.68480725624},
        {false, INT64_MAX, 1, 0, true, INT64_MAX, 1, 9223372036854775807.0},
        {false, 0, 48000, 0, true, 0, 1, 0.0},
        {false, 100, 0, 0, false, 0, 0, 0.0},
        {false, 100, -8000, 0, false, 0, 0, 0.0},
        {false, -5, 8000, 0, false, 0, 0, 0.0},
    };
    for (const auto& row : rows) {
        clip_duration d = row.video ? video_duration((int)row.count, (uint32_t)row.rate_num, row.rate_den)
                                    : audio_duration(row.count, (int)row.rate_num);
        SCOPED_TRACE(std::to_string(row.count) + "/" + std::to_string(row.rate_num));
        EXPECT_EQ(d.known, row.known);
        if (!row.known) continue;
        EXPECT_EQ(d.numerator, row.numerator);
        EXPECT_EQ(d.denominator, row.denominator);
        EXPECT_DOUBLE_EQ(d.seconds, row.seconds);
    }
}

TEST(ClipTiming, FieldOrderAndFlagOfImageType) {
    const struct {
        int image_type;
        const char* order;
        bool field_based;
    } rows[] = {{0, nullptr, false}, {1, "bff", false}, {2, "tff", false}, {3, nullptr, false},
                {4, nullptr, true},  {5, "bff", true},  {6, "tff", true},  {-1, nullptr, true}};
    for (const auto& row : rows) {
        const char* order = field_order_name(row.image_type);
        EXPECT_STREQ(order != nullptr ? order : "null", row.order != nullptr ? row.order : "null")
            << row.image_type;
        EXPECT_EQ(is_field_based(row.image_type), row.field_based) << row.image_type;
    }
}

}  // namespace
