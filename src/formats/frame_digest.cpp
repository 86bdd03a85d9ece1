#include "formats/frame_digest.h"

#include <stdint.h>

#include "avs/avs_library.h"
#include "formats/raw_planes.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

bool frame_digest(const AVS_VideoFrame* frame, const AVS_VideoInfo* vi, char text[17]) {
    const AVS_Library* avs = avs_library;
    raw_planes layout = describe_raw_planes(vi->pixel_type, vi->width, vi->height);
    // A pixel type the library does not define: its one plane as stored.
    int count = layout.count > 0 ? layout.count : 1;
    int planes[4] = {0, 0, 0, 0};
    for (int i = 0; i < layout.count; i++) planes[i] = layout.planes[i].id;
    XXH64_state_t state;
    XXH64_reset(&state, 0);
    for (int i = 0; i < count; i++) {
        const unsigned char* row = avs->avs_get_read_ptr_p(frame, planes[i]);
        int pitch = avs->avs_get_pitch_p(frame, planes[i]);
        int row_size = avs->avs_get_row_size_p(frame, planes[i]);
        int height = avs->avs_get_height_p(frame, planes[i]);
        if (row_size < 0 || height < 0 || (row == nullptr && row_size > 0 && height > 0)) return false;
        for (int y = 0; y < height && row_size > 0; y++)
            XXH64_update(&state, row + (ptrdiff_t)y * pitch, (size_t)row_size);
    }
    uint64_t digest = XXH64_digest(&state);
    static const char hex[] = "0123456789abcdef";
    for (int i = 0; i < 16; i++) text[i] = hex[(digest >> (60 - 4 * i)) & 15];
    text[16] = '\0';
    return true;
}
