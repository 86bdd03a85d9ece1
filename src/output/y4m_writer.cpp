#include "output/y4m_writer.h"

#include <stddef.h>
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "output/pixel_format.h"
#include "output/stream_out.h"

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

plane_rows plane_of(const AVS_VideoFrame* frame, int plane) {
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

void write_plane(const plane_rows* rows) {
    // Empty rows have nothing to point at, not even a pointer.
    if (rows->row_size <= 0) return;
    for (int y = 0; y < rows->height; y++)
        stream_write(rows->first + (ptrdiff_t)y * rows->pitch, (size_t)rows->row_size);
}

int write_y4m_frame(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame,
                    run_mode mode, int index) {
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
    stream_write("FRAME\n", 6);
    for (const plane_rows& rows : planes) write_plane(&rows);
    // The planes belong to the frame, which the loop releases next.
    stream_flush();
    return 0;
}
