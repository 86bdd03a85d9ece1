#include "formats/pixel_format.h"

#include "avs/avs_library.h"

int video_bit_depth(const AVS_VideoInfo* vi) {
    if (avs_library->avs_bits_per_component == nullptr) return 8;
    int bits = avs_library->avs_bits_per_component(vi);
    return bits > 0 ? bits : 8;
}

const char* y4m_chroma_tag(int family, int depth) {
    static const char* const tags[3][5] = {
        {"C420jpeg", "C420p10", "C420p12", "C420p14", "C420p16"},
        {"C422", "C422p10", "C422p12", "C422p14", "C422p16"},
        {"C444", "C444p10", "C444p12", "C444p14", "C444p16"},
    };
    int row;
    if (family == 420)
        row = 0;
    else if (family == 422)
        row = 1;
    else if (family == 444)
        row = 2;
    else
        return nullptr;
    if (depth <= 8) return tags[row][0];
    switch (depth) {
    case 10: return tags[row][1];
    case 12: return tags[row][2];
    case 14: return tags[row][3];
    case 16: return tags[row][4];
    default: return nullptr;
    }
}

const char* chroma_tag(const AVS_VideoInfo* vi) {
    const AVS_Library* avs = avs_library;
    int depth = video_bit_depth(vi);
    // The first family that says yes decides, even when its depth has no
    // tag: a high-depth clip must never pass as 8-bit.
    if (avs->avs_is_420 != nullptr && avs->avs_is_420(vi)) return y4m_chroma_tag(420, depth);
    if (avs->avs_is_422 != nullptr && avs->avs_is_422(vi)) return y4m_chroma_tag(422, depth);
    if (avs->avs_is_444 != nullptr && avs->avs_is_444(vi)) return y4m_chroma_tag(444, depth);
    if (avs->avs_is_yv12(vi)) return "C420jpeg";
    if (avs->avs_is_yv16(vi)) return "C422";
    if (avs->avs_is_yv24(vi)) return "C444";
    return nullptr;
}
