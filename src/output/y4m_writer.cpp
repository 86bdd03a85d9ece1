#include "output/y4m_writer.h"

#include <stddef.h>
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "output/pixel_format.h"

int write_y4m_header(const AVS_VideoInfo* vi, uint32_t fps_num, uint32_t fps_den) {
    const char* tag = chroma_tag(vi);
    if (tag == nullptr) {
        fprintf(stderr, "unsupported Avisynth pixel format for Y4M output: %d\n", vi->pixel_type);
        return 4;
    }
    printf("YUV4MPEG2 W%d H%d F%u:%u Ip A0:0 %s\n", vi->width, vi->height, (unsigned)fps_num,
           (unsigned)fps_den, tag);
    fflush(stdout);
    return 0;
}

// Where a plane's rows are, as the library describes them.
struct plane_rows {
    const unsigned char* first;
    int pitch;
    int row_size;
    int height;
};

static plane_rows plane_of(const AVS_VideoFrame* frame, int plane) {
    const AVS_Library* avs = avs_library;
    plane_rows rows;
    rows.first = avs->avs_get_read_ptr_p(frame, plane);
    rows.pitch = avs->avs_get_pitch_p(frame, plane);
    rows.row_size = avs->avs_get_row_size_p(frame, plane);
    rows.height = avs->avs_get_height_p(frame, plane);
    return rows;
}

// A negative size, or rows without memory, would read where the library
// never put the frame.
static bool readable(const plane_rows* rows) {
    if (rows->row_size < 0 || rows->height < 0) return false;
    return rows->first != nullptr || rows->row_size == 0 || rows->height == 0;
}

static const char frame_marker[] = "FRAME\n";

int y4m_frame_chunk(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame, run_mode mode,
                    int index, stream_chunk* chunk) {
    chunk->count = 0;
    if (mode == RUN_Y4M_SKIP_DROP) {
        int64_t drop = 0;
        // An unreadable flag keeps the frame: losing a frame is worse.
        if (read_int_frame_prop(environment, frame, "zvk_drop_frame", &drop) == FRAME_PROP_PRESENT &&
            drop != 0)
            return 0;
    }
    plane_rows planes[3] = {plane_of(frame, AVS_PLANAR_Y), plane_of(frame, AVS_PLANAR_U),
                            plane_of(frame, AVS_PLANAR_V)};
    for (const plane_rows& rows : planes) {
        if (!readable(&rows)) {
            fprintf(stderr, "failed to read the planes of frame %d\n", index);
            return 5;
        }
    }
    add_chunk_part(chunk, frame_marker, 0, sizeof frame_marker - 1, 1);
    for (const plane_rows& rows : planes) add_chunk_part(chunk, rows.first, rows.pitch, (size_t)rows.row_size, rows.height);
    return 0;
}
