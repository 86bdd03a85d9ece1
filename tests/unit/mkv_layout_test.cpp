// The bytes of the EBML elements and Matroska headers, checked exactly:
// the size boundaries of the variable-length numbers, a master filled in
// after its children, a block's Cluster.
#include <gtest/gtest.h>

#include <string>

#include "formats/ebml.h"
#include "formats/mkv_layout.h"

namespace {

std::string hex(const unsigned char* bytes, size_t size) {
    std::string text;
    char two[3];
    for (size_t i = 0; i < size; i++) {
        snprintf(two, sizeof two, "%02X", bytes[i]);
        text += two;
    }
    return text;
}

std::string written(void (*put)(ebml_buffer*)) {
    unsigned char bytes[64];
    ebml_buffer b = {bytes, sizeof bytes, 0, false};
    put(&b);
    return b.overflow ? "overflow" : hex(bytes, b.size);
}

TEST(Ebml, ElementsByTheirBytes) {
    struct {
        void (*put)(ebml_buffer*);
        const char* bytes;
    } cases[] = {
        {[](ebml_buffer* b) { ebml_put_uint(b, 0xD7, 1); }, "D78101"},
        {[](ebml_buffer* b) { ebml_put_uint(b, 0x2AD7B1, 1000); }, "2AD7B18203E8"},
        {[](ebml_buffer* b) { ebml_put_uint(b, 0x83, 0); }, "838100"},
        // 126 fits a byte of size; 127 would read as unknown.
        {[](ebml_buffer* b) { ebml_put_size(b, 126); }, "FE"},
        {[](ebml_buffer* b) { ebml_put_size(b, 127); }, "407F"},
        {[](ebml_buffer* b) { ebml_put_size(b, 16382); }, "7FFE"},
        {[](ebml_buffer* b) { ebml_put_size(b, 16383); }, "203FFF"},
        {[](ebml_buffer* b) { ebml_put_size8(b, 5); }, "0100000000000005"},
        {[](ebml_buffer* b) { ebml_put_unknown_size(b); }, "01FFFFFFFFFFFFFF"},
        {[](ebml_buffer* b) { ebml_put_float(b, 0xB5, 48000.0); }, "B58840E7700000000000"},
        {[](ebml_buffer* b) { ebml_put_string(b, 0x86, "A_PCM"); }, "8685415F50434D"},
        {[](ebml_buffer* b) {
             size_t children = ebml_open_master(b, 0xE1);
             ebml_put_uint(b, 0x9F, 6);
             ebml_close_master(b, children);
         },
         "E101000000000000039F8106"},
        // Past the capacity nothing is to be used.
        {[](ebml_buffer* b) {
             for (int i = 0; i < 22; i++) ebml_put_uint(b, 0x9F, 6);
         },
         "overflow"},
    };
    for (const auto& c : cases) EXPECT_EQ(written(c.put), c.bytes);
}

TEST(MkvLayout, BlocksOpenAClusterWhereTheirTimeNeedsOne) {
    mkv_clusters clusters = {};
    unsigned char out[MKV_BLOCK_HEADER_MAX];
    struct {
        int64_t time;
        const char* bytes;
    } blocks[] = {
        // A Cluster at 0, then the SimpleBlock: track 1, time +0, key frame.
        {0,
         "1F43B67501FFFFFFFFFFFFFFE78100A301000000000000148100"
         "0080"},
        {32767, "A30100000000000014817FFF80"},
        {32768,
         "1F43B67501FFFFFFFFFFFFFFE7828000A301000000000000148100"
         "0080"},
    };
    for (const auto& b : blocks) {
        size_t size = mkv_block_header(&clusters, 1, b.time, 16, out);
        EXPECT_EQ(hex(out, size), b.bytes) << b.time;
    }
    EXPECT_TRUE(mkv_needs_cluster(&clusters, 32767)) << "a time before the Cluster";
}

TEST(MkvLayout, HeaderOfEitherTrackAlone) {
    unsigned char out[512];
    mkv_tracks audio = {};
    audio.has_audio = true;
    audio.sample_rate = 48000, audio.channels = 6, audio.bits = 32, audio.is_float = true;
    std::string bytes((const char*)out, mkv_header(&audio, out, sizeof out));
    EXPECT_NE(bytes.find("A_PCM/FLOAT/IEEE"), std::string::npos);
    EXPECT_EQ(bytes.find("V_UNCOMPRESSED"), std::string::npos);
    EXPECT_EQ(mkv_audio_track(&audio), 1);
    // The Segment is open-ended.
    EXPECT_NE(bytes.find("\x18\x53\x80\x67\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF"), std::string::npos);
    EXPECT_EQ(mkv_header(&audio, out, 40), 0u);
}

TEST(MkvLayout, AudioTimesAndFourccs) {
    EXPECT_EQ(mkv_sample_time(1, 48000), 21);  // 20.83 us
    EXPECT_EQ(mkv_sample_time(48000LL * 86400 * 7, 48000), 604800000000LL);
    EXPECT_EQ(mkv_samples_before(1000.0 / 24, 48000), 2000);
    EXPECT_EQ(mkv_samples_before(41.708333, 44100), 1840);  // 1839.34 starts before
    EXPECT_EQ(mkv_samples_before(1e300, 48000), INT64_MAX);
    EXPECT_GT(mkv_sample_time(INT64_MAX / 2, 48000), 0);
    EXPECT_EQ(std::string(mkv_raw_fourcc("yuv420p"), 4), "I420");
    EXPECT_EQ(std::string(mkv_raw_fourcc("yuv420p10le"), 4), std::string("Y3\x0B\x0A", 4));
    EXPECT_EQ(mkv_raw_fourcc("grayf32le"), nullptr);
    EXPECT_EQ(mkv_raw_fourcc(nullptr), nullptr);
}

}  // namespace
