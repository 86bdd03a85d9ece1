// --check-source: does frame 0 carry the expected zvk_source_id? It fetches
// frame 0 only and prints "source_id=<id>", or reports status 5, 12, 13, 14
// or 15.
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "exit_status.h"
#include "pipe/stream_out.h"
#include "run/outputs.h"

struct source_check {
    int result;  // of reading zvk_source_id
    int64_t id;
};

static int source_prepare(run_job* job) {
    if (job->script->video_info->num_frames <= 0) {
        fprintf(stderr, "script has no video frames\n");
        return STATUS_NO_FRAMES;
    }
    job->units = 1;
    return STATUS_DONE;
}

static int source_fetch(run_job* job, int64_t, unit* u) {
    source_check* check = (source_check*)job->state;
    u->frame = avs_library->avs_get_frame(job->script->clip, 0);
    if (u->frame == nullptr) {
        job->failure = {"failed to get frame", 0, clip_error_suffix(job->script->clip)};
        return STATUS_FRAME_FAILED;
    }
    check->result = read_int_frame_prop(job->script->environment, u->frame, "zvk_source_id", &check->id);
    return STATUS_DONE;
}

static void source_release(run_job*, unit* u) { avs_library->avs_release_video_frame(u->frame); }

static int source_finish(run_job* job, int status) {
    if (status != STATUS_DONE) return status;
    const source_check* check = (const source_check*)job->state;
    if (check->result == FRAME_PROP_FAILED) {
        fprintf(stderr, "failed to read zvk_source_id at frame 0\n");
        return STATUS_PROPERTY_FAILED;
    }
    if (check->result == FRAME_PROP_ABSENT) {
        fprintf(stderr, "frame 0 is missing zvk_source_id\n");
        return STATUS_NO_SOURCE_ID;
    }
    if (check->id != job->expected_source_id) {
        fprintf(stderr, "frame 0 has zvk_source_id %lld, expected %lld\n", (long long)check->id,
                (long long)job->expected_source_id);
        return STATUS_WRONG_SOURCE_ID;
    }
    printf("source_id=%lld\n", (long long)check->id);
    flush_standard_output();
    return STATUS_DONE;
}

const output_steps source_check_output = {
    nullptr,               // progress_label: none
    false,                 // streams
    false,                 // guards_stdout
    -1,                    // validation_blank: not set
    sizeof(source_check),  // state_size
    source_prepare,        // prepare
    nullptr,               // header: none
    source_fetch,          // fetch
    source_release,        // release
    source_finish,         // finish
};
