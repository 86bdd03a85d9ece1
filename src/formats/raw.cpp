// --raw: the planes of every frame and nothing else, as FFmpeg's rawvideo
// reads them with the -pix_fmt --info names: Y, U, V (G, B, R for planar
// RGB), alpha last; packed RGB turned top-down, YUY2 as it is.
#include <stdio.h>

#include "exit_status.h"
#include "formats/frame_stream.h"
#include "formats/raw_planes.h"
#include "pipe/stream_out.h"
#include "run/outputs.h"

struct raw_state {
    frame_stream_state stream;
    raw_planes layout;
};

// A pixel type that is not one the library defines has no planes to name;
// the timeline starts once the format is known to fit.
static int raw_header(run_job* job) {
    raw_state* raw = (raw_state*)job->state;
    const AVS_VideoInfo* vi = job->script->video_info;
    raw->layout = describe_raw_planes(vi->pixel_type, vi->width, vi->height);
    if (raw->layout.count == 0) {
        fprintf(stderr, "unsupported Avisynth pixel format for raw output: %d\n", vi->pixel_type);
        return STATUS_NO_Y4M_TAG;
    }
    return stream_start_timeline(job);
}

static int raw_fetch(run_job* job, int64_t n, unit* u) {
    raw_state* raw = (raw_state*)job->state;
    int status = stream_fetch_frame(job, n, u);
    if (status != STATUS_DONE) return status;
    int ids[4];
    for (int i = 0; i < raw->layout.count; i++) ids[i] = raw->layout.planes[i].id;
    plane_rows planes[4];
    if (!stream_frame_planes(job, n, u, ids, raw->layout.count, planes)) return STATUS_FRAME_FAILED;
    for (int i = 0; i < raw->layout.count; i++) {
        const plane_rows& rows = planes[i];
        if (raw->layout.bottom_up && rows.height > 0)
            add_chunk_part(&u->chunk, rows.first + (ptrdiff_t)(rows.height - 1) * rows.pitch,
                           -(ptrdiff_t)rows.pitch, (size_t)rows.row_size, rows.height);
        else
            add_chunk_part(&u->chunk, rows.first, rows.pitch, (size_t)rows.row_size, rows.height);
    }
    stream_time_chunk(job, n, &u->chunk);
    return STATUS_DONE;
}

const output_steps raw_output = {
    "zvk_render",          // progress_label
    true,                  // streams
    true,                  // guards_stdout
    -1,                    // validation_blank: not set
    sizeof(raw_state),     // state_size
    stream_prepare,        // prepare
    raw_header,            // header
    raw_fetch,             // fetch
    stream_release_frame,  // release
    stream_finish,         // finish
};
