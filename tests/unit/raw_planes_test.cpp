// The raw layout of every pixel type the library defines, and of values
// that only look like one.
#include <gtest/gtest.h>

#include <string>

#include "avs/avs_interface.h"
#include "formats/raw_planes.h"

namespace {

struct layout_row {
    int pixel_type;
    const char* name;
    // Planes as "id:width*height/row_bytes" for a 16x8 clip, space-separated.
    const char* planes;
    int bits;
    bool bottom_up;
    const char* pix_fmt;  // "-": none
};

std::string planes_text(const raw_planes& r) {
    std::string text;
    for (int i = 0; i < r.count; i++) {
        const raw_plane& p = r.planes[i];
        if (i > 0) text += " ";
        text += std::to_string(p.id) + ":" + std::to_string(p.width) + "*" + std::to_string(p.height) + "/" +
                std::to_string(p.row_bytes);
    }
    return text;
}

const layout_row rows[] = {
    {-1610612728, "YV12", "1:16*8/16 2:8*4/8 4:8*4/8", 8, false, "yuv420p"},
    {-1610612720, "I420", "1:16*8/16 2:8*4/8 4:8*4/8", 8, false, "yuv420p"},
    {-1610611960, "YV16", "1:16*8/16 2:8*8/8 4:8*8/8", 8, false, "yuv422p"},
    {-1610611957, "YV24", "1:16*8/16 2:16*8/16 4:16*8/16", 8, false, "yuv444p"},
    {-1610611959, "YV411", "1:16*8/16 2:4*8/4 4:4*8/4", 8, false, "yuv411p"},
    {-1610612471, "YUV9", "1:16*8/16 2:4*2/4 4:4*2/4", 8, false, "yuv410p"},
    {-1610285048, "YUV420P10", "1:16*8/32 2:8*4/16 4:8*4/16", 10, false, "yuv420p10le"},
    {-1610218744, "YUV422P12", "1:16*8/32 2:8*8/16 4:8*8/16", 12, false, "yuv422p12le"},
    {-1610153205, "YUV444P14", "1:16*8/32 2:16*8/32 4:16*8/32", 14, false, "yuv444p14le"},
    {-1610547192, "YUV420P16", "1:16*8/32 2:8*4/16 4:8*4/16", 16, false, "yuv420p16le"},
    {-1610481656, "YUV420PS", "1:16*8/64 2:8*4/32 4:8*4/32", 32, false, "-"},
    {-536870912, "Y8", "1:16*8/16", 8, false, "gray"},
    {-536543232, "Y10", "1:16*8/32", 10, false, "gray10le"},
    {-536805376, "Y16", "1:16*8/32", 16, false, "gray16le"},
    {-536739840, "Y32", "1:16*8/64", 32, false, "grayf32le"},
    {-1879048191, "RGBP", "64:16*8/16 128:16*8/16 32:16*8/16", 8, false, "gbrp"},
    {-1878720511, "RGBP10", "64:16*8/32 128:16*8/32 32:16*8/32", 10, false, "gbrp10le"},
    {-1878917119, "RGBPS", "64:16*8/64 128:16*8/64 32:16*8/64", 32, false, "gbrpf32le"},
    {-1879048190, "RGBAP", "64:16*8/16 128:16*8/16 32:16*8/16 16:16*8/16", 8, false, "gbrap"},
    {-1878589438, "RGBAP14", "64:16*8/32 128:16*8/32 32:16*8/32 16:16*8/32", 14, false, "-"},
    {-1878917118, "RGBAPS", "64:16*8/64 128:16*8/64 32:16*8/64 16:16*8/64", 32, false, "gbrapf32le"},
    {-2013265912, "YUVA420", "1:16*8/16 2:8*4/8 4:8*4/8 16:16*8/16", 8, false, "yuva420p"},
    {-2012872696, "YUVA420P12", "1:16*8/32 2:8*4/16 4:8*4/16 16:16*8/32", 12, false, "-"},
    {-2012871928, "YUVA422P12", "1:16*8/32 2:8*8/16 4:8*8/16 16:16*8/32", 12, false, "yuva422p12le"},
    {-2013199605, "YUVA444P16", "1:16*8/32 2:16*8/32 4:16*8/32 16:16*8/32", 16, false, "yuva444p16le"},
    {-2013134069, "YUVA444PS", "1:16*8/64 2:16*8/64 4:16*8/64 16:16*8/64", 32, false, "-"},
    {1342177281, "RGB24", "0:16*8/48", 8, true, "bgr24"},
    {1342177282, "RGB32", "0:16*8/64", 8, true, "bgra"},
    {1342242817, "RGB48", "0:16*8/96", 16, true, "bgr48le"},
    {1342242818, "RGB64", "0:16*8/128", 16, true, "bgra64le"},
    {1610612740, "YUY2", "0:16*8/32", 8, false, "yuyv422"},
};

TEST(RawPlanes, EveryPixelTypeOfTheLibrary) {
    for (const layout_row& row : rows) {
        raw_planes r = describe_raw_planes(row.pixel_type, 16, 8);
        EXPECT_EQ(planes_text(r), row.planes) << row.name;
        EXPECT_EQ(r.bits, row.bits) << row.name;
        EXPECT_EQ(r.is_float, row.bits == 32) << row.name;
        EXPECT_EQ(r.bytes_per_sample, row.bits == 8 ? 1 : row.bits == 32 ? 4 : 2) << row.name;
        EXPECT_EQ(r.packed, row.planes[0] == '0') << row.name;
        EXPECT_EQ(r.bottom_up, row.bottom_up) << row.name;
        EXPECT_STREQ(r.ffmpeg_pix_fmt != nullptr ? r.ffmpeg_pix_fmt : "-", row.pix_fmt) << row.name;
    }
}

// Odd sizes round the chroma down as the library's planes do; a frame's
// bytes are the sum of its planes.
TEST(RawPlanes, SizesAndFrameBytes) {
    raw_planes yv12 = describe_raw_planes(-1610612728, 1919, 1079);
    EXPECT_EQ(planes_text(yv12), "1:1919*1079/1919 2:959*539/959 4:959*539/959");
    EXPECT_EQ(raw_frame_bytes(&yv12), 1919LL * 1079 + 2LL * 959 * 539);
    raw_planes empty = describe_raw_planes(-1610612728, 0, 0);
    EXPECT_EQ(empty.count, 3);
    EXPECT_EQ(raw_frame_bytes(&empty), 0);
    EXPECT_EQ(describe_raw_planes(1342242818, 268435455, 1).planes[0].row_bytes, 268435455 * 8);
    for (int width : {-1, 268435456, INT32_MAX})
        EXPECT_EQ(describe_raw_planes(1342177282, width, 1).count, 0);
    EXPECT_EQ(describe_raw_planes(-1610612728, 4, -2).count, 0);
}

// Values with a stray or missing bit are no format: nothing is read from
// them.
TEST(RawPlanes, ValuesThatAreNoFormat) {
    const int none[] = {
        0,
        -1,
        -1610612728 | 3 << 16,            // sample-bits code 3
        -1610612728 | 4 << 16,            // sample-bits code 4
        -1610612736 | 2 | 3 << 8,         // width code 2
        -1610612728 | 1 << 12,            // a bit outside every field
        -1879048191 | AVS_CS_RGBA_TYPE,   // RGB and RGBA at once
        -1879048192,                      // planar RGB, neither
        -536870912 | 3,                   // greyscale with subsampling
        1342177281 | 2 << 16,             // packed float RGB
        1610612740 | 5 << 16,             // YUY2 of 10 bits
        AVS_CS_INTERLEAVED | AVS_CS_YUV,  // packed YUV, not YUY2
        AVS_CS_PLANAR,                    // no colour family
        AVS_CS_PLANAR | AVS_CS_YUV | AVS_CS_BGR | 3 | 3 << 8,
    };
    for (int pixel_type : none) {
        raw_planes r = describe_raw_planes(pixel_type, 16, 8);
        EXPECT_EQ(r.count, 0) << pixel_type;
        EXPECT_EQ(r.ffmpeg_pix_fmt, nullptr) << pixel_type;
    }
}

}  // namespace
