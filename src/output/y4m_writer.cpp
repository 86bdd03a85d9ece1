#include "output/y4m_writer.h"

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

void write_plane(const AVS_VideoFrame* frame, int plane) {
    const AVS_Library* avs = avs_library;
    const unsigned char* row = avs->avs_get_read_ptr_p(frame, plane);
    int pitch = avs->avs_get_pitch_p(frame, plane);
    int row_size = avs->avs_get_row_size_p(frame, plane);
    int height = avs->avs_get_height_p(frame, plane);
    for (int y = 0; y < height; y++) {
        stream_write(row, (size_t)row_size);
        row += pitch;
    }
}

void write_y4m_frame(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame,
                     run_mode mode) {
    if (mode == RUN_Y4M_SKIP_DROP) {
        int64_t drop = 0;
        // An unreadable flag keeps the frame: losing a frame is worse.
        if (read_int_frame_prop(environment, frame, "zvk_drop_frame", &drop) == FRAME_PROP_PRESENT &&
            drop != 0)
            return;
    }
    stream_write("FRAME\n", 6);
    write_plane(frame, AVS_PLANAR_Y);
    write_plane(frame, AVS_PLANAR_U);
    write_plane(frame, AVS_PLANAR_V);
    // The planes belong to the frame, which the loop releases next.
    stream_flush();
}
