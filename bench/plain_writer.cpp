// The baseline of the benchmark: the simplest writer of the same Y4M stream.
// It imports the script the way the runner does, then fetches each frame and
// copies its rows through a 4 KiB stdio buffer, written whenever full, on one
// thread: what a simple stdio program does.
//
//   zvk_plain_writer SCRIPT > stream.y4m
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "avs/avs_library.h"
#include "avs/import_script.h"
#include "formats/pixel_format.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: zvk_plain_writer SCRIPT\n");
        return 2;
    }
    static char buffer[4096];
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    if (avs_load_library(nullptr) == nullptr) return 1;
    import_settings settings = {argv[1], -1, 0, nullptr, 0, false};
    imported_script script;
    int status = import_script(&settings, stderr, &script);
    if (status != 0) return status;
    const AVS_VideoInfo* vi = script.video_info;
    const char* tag = chroma_tag(vi);
    if (tag == nullptr) return 4;
    printf("YUV4MPEG2 W%d H%d F%u:%u Ip A0:0 %s\n", vi->width, vi->height, vi->fps_numerator,
           vi->fps_denominator, tag);
    static const int planes[] = {AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V};
    for (int n = 0; n < vi->num_frames; n++) {
        AVS_VideoFrame* frame = avs_library->avs_get_frame(script.clip, n);
        if (frame == nullptr) return 5;
        fwrite("FRAME\n", 1, 6, stdout);
        for (int plane : planes) {
            const unsigned char* row = avs_library->avs_get_read_ptr_p(frame, plane);
            int pitch = avs_library->avs_get_pitch_p(frame, plane);
            int row_size = avs_library->avs_get_row_size_p(frame, plane);
            int height = avs_library->avs_get_height_p(frame, plane);
            for (int y = 0; y < height; y++, row += pitch) fwrite(row, 1, (size_t)row_size, stdout);
        }
        avs_library->avs_release_video_frame(frame);
    }
    fflush(stdout);
    // Like the runner: the library's teardown is not part of the stream.
    _exit(0);
}
