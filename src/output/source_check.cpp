#include "output/source_check.h"

#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"

int check_source_id(const imported_script* script, int64_t expected_id) {
    if (script->video_info->num_frames <= 0) {
        fprintf(stderr, "script has no video frames\n");
        return 13;
    }
    AVS_VideoFrame* frame = avs_library->avs_get_frame(script->clip, 0);
    if (frame == nullptr) {
        clip_error_text suffix = clip_error_suffix(script->clip);
        fprintf(stderr, "failed to get frame 0%s%s\n", suffix.separator, suffix.message);
        return 5;
    }
    int64_t id = 0;
    int result = read_int_frame_prop(script->environment, frame, "zvk_source_id", &id);
    avs_library->avs_release_video_frame(frame);

    if (result == FRAME_PROP_FAILED) {
        fprintf(stderr, "failed to read zvk_source_id at frame 0\n");
        return 12;
    }
    if (result == FRAME_PROP_ABSENT) {
        fprintf(stderr, "frame 0 is missing zvk_source_id\n");
        return 14;
    }
    if (id != expected_id) {
        fprintf(stderr, "frame 0 has zvk_source_id %lld, expected %lld\n", (long long)id,
                (long long)expected_id);
        return 15;
    }
    printf("source_id=%lld\n", (long long)id);
    fflush(stdout);
    return 0;
}
