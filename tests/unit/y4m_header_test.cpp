// The stream header's exact bytes for the properties of the first frame,
// and the 80-byte rule.
#include <gtest/gtest.h>

#include <stdint.h>

#include "formats/y4m_header.h"

namespace {

const int64_t no = INT64_MIN;  // the property is absent (or unreadable)

struct header_row {
    // _FieldBased, _SARNum, _SARDen, _ChromaLocation, _ColorRange
    int64_t props[Y4M_PROP_COUNT];
    const char* chroma;
    int width;
    int height;
    int64_t length;
    const char* expected;
    int notes;
};

y4m_props props_of(const int64_t (&values)[Y4M_PROP_COUNT]) {
    y4m_props props = {};
    for (int i = 0; i < Y4M_PROP_COUNT; i++) {
        props.present[i] = values[i] != no;
        props.value[i] = values[i] != no ? values[i] : 0;
    }
    return props;
}

const int siting = Y4M_NOTE_SITING_KEPT;
const int no_length = Y4M_NOTE_NO_XLENGTH;
const int no_range = Y4M_NOTE_NO_XCOLORRANGE;

const header_row rows[] = {
    // Every property absent: today's tags, and the length.
    {{no, no, no, no, no}, "C420jpeg", 4, 2, 3, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg XLENGTH=3\n", siting},
    {{no, no, no, no, no}, "C422p10", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C422p10\n", 0},
    // Field order: each value, and values Y4M has no letter for.
    {{0, no, no, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", 0},
    {{1, no, no, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ib A0:0 C420jpeg\n", 0},
    {{2, no, no, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 It A0:0 C420jpeg\n", 0},
    {{3, no, no, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", 0},
    {{-1, no, no, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", 0},
    // Aspect: both positive ints, or none.
    {{no, 16, 11, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A16:11 C420jpeg\n", 0},
    {{no, 16, no, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", 0},
    {{no, 0, 1, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", 0},
    {{no, 4, -3, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", 0},
    {{no, 2147483647, 1, 1, no},
     "C420jpeg",
     4,
     2,
     -1,
     "YUV4MPEG2 W4 H2 F25:1 Ip A2147483647:1 C420jpeg\n",
     0},
    {{no, 2147483648, 1, 1, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", 0},
    // Siting: the three Y4M names; the others keep C420jpeg and say so.
    {{no, no, no, 0, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420mpeg2\n", 0},
    {{no, no, no, 2, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420paldv\n", 0},
    {{no, no, no, 3, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", siting},
    {{no, no, no, 5, no}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", siting},
    // Other formats have one tag whatever the siting.
    {{no, no, no, 0, no}, "C420p10", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420p10\n", 0},
    {{no, no, no, 2, no}, "C444", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C444\n", 0},
    // Range: 0 full, 1 limited, anything else nothing.
    {{no, no, no, 1, 0},
     "C420jpeg",
     4,
     2,
     -1,
     "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg XCOLORRANGE=FULL\n",
     0},
    {{no, no, no, 1, 1},
     "C420jpeg",
     4,
     2,
     -1,
     "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg XCOLORRANGE=LIMITED\n",
     0},
    {{no, no, no, 1, 2}, "C420jpeg", 4, 2, -1, "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C420jpeg\n", 0},
    {{2, 1, 1, 0, 1},
     "C420jpeg",
     720,
     576,
     0,
     "YUV4MPEG2 W720 H576 F25:1 It A1:1 C420mpeg2 XCOLORRANGE=LIMITED XLENGTH=0\n",
     0},
};

TEST(Y4mHeader, ExactBytesForEachProperty) {
    for (const header_row& row : rows) {
        y4m_props props = props_of(row.props);
        bool long_rate = row.width >= 1000;
        y4m_header_facts facts = {
            row.width, row.height, long_rate ? 24000u : 25u, long_rate ? 1001u : 1u, row.chroma,
            &props,    row.length};
        y4m_header_line line = build_y4m_header(&facts);
        EXPECT_EQ(std::string(line.text, (size_t)line.length), row.expected);
        EXPECT_EQ(line.notes, row.notes) << row.expected;
        EXPECT_LE(line.length, Y4M_HEADER_CAP) << row.expected;
    }
}

struct cap_row {
    int64_t length;
    int64_t sar;  // both terms
    int width;
    int height;
    const char* expected;
    int notes;
};

// 1080p 10-bit, top field first, limited: the line of 84 bytes loses
// XLENGTH; a longer one loses XCOLORRANGE too; one of exactly 80 keeps both.
// A line still too long after both (sizes no clip has) is written whole.
const cap_row cap_rows[] = {
    {43200, 1, 1920, 1080, "YUV4MPEG2 W1920 H1080 F24000:1001 It A1:1 C420p10 XCOLORRANGE=LIMITED\n",
     no_length},
    {43, 1, 1920, 1080, "YUV4MPEG2 W1920 H1080 F24000:1001 It A1:1 C420p10 XCOLORRANGE=LIMITED\n", no_length},
    {4, 1, 1920, 1080, "YUV4MPEG2 W1920 H1080 F24000:1001 It A1:1 C420p10 XCOLORRANGE=LIMITED XLENGTH=4\n",
     0},
    {1, 2147483647, 1920, 1080, "YUV4MPEG2 W1920 H1080 F24000:1001 It A2147483647:2147483647 C420p10\n",
     no_length | no_range},
    {1, 2147483647, 1000000000, 1000000000,
     "YUV4MPEG2 W1000000000 H1000000000 F24000:1001 It A2147483647:2147483647 C420p10\n",
     no_length | no_range},
};

TEST(Y4mHeader, EightyBytesWithTheLineFeed) {
    for (const cap_row& row : cap_rows) {
        y4m_props props = props_of({2, row.sar, row.sar, 0, 1});
        y4m_header_facts facts = {row.width, row.height, 24000, 1001, "C420p10", &props, row.length};
        y4m_header_line line = build_y4m_header(&facts);
        EXPECT_EQ(std::string(line.text, (size_t)line.length), row.expected);
        EXPECT_EQ(line.notes, row.notes) << row.expected;
    }
}

// Without the tags the header is today's whatever the properties say.
TEST(Y4mHeader, WithoutTagsTheFixedLine) {
    y4m_header_facts facts = {4, 2, 30000, 1001, "C444p16", nullptr, 1000};
    y4m_header_line line = build_y4m_header(&facts);
    EXPECT_STREQ(line.text, "YUV4MPEG2 W4 H2 F30000:1001 Ip A0:0 C444p16\n");
    EXPECT_EQ(line.notes, 0);
}

TEST(Y4mHeader, PropertiesThatChange) {
    y4m_props first = props_of({2, 1, 1, no, 1});
    EXPECT_EQ(y4m_props_changed(&first, &first), 0);
    y4m_props later = props_of({1, 1, 1, 0, no});
    EXPECT_EQ(y4m_props_changed(&first, &later),
              1 << Y4M_FIELD_BASED | 1 << Y4M_CHROMA_LOCATION | 1 << Y4M_COLOR_RANGE);
    // An absent property's leftover value is no change.
    later = first;
    later.value[Y4M_CHROMA_LOCATION] = 7;
    EXPECT_EQ(y4m_props_changed(&first, &later), 0);
}

}  // namespace
