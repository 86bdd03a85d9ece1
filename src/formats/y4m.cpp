// The YUV4MPEG2 stream: one header line, then "FRAME\n" and the Y, U and V
// planes of every frame that is not left out.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "exit_status.h"
#include "formats/pixel_format.h"
#include "formats/timecodes.h"
#include "pipe/stream_out.h"
#include "process_setup.h"
#include "run/outputs.h"

// Writes and flushes the stream header; 0, or 4 when the clip's pixel
// format has no Y4M tag (reported, nothing written to standard output).
static int write_y4m_header(const AVS_VideoInfo* vi, uint32_t fps_num, uint32_t fps_den) {
    const char* tag = chroma_tag(vi);
    if (tag == nullptr) {
        fprintf(stderr, "unsupported Avisynth pixel format for Y4M output: %d\n", vi->pixel_type);
        return STATUS_NO_Y4M_TAG;
    }
    fprintf(stream_file(), "YUV4MPEG2 W%d H%d F%u:%u Ip A0:0 %s\n", vi->width, vi->height, (unsigned)fps_num,
            (unsigned)fps_den, tag);
    flush_standard_output();
    return STATUS_DONE;
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

// With --timecodes: the file, and the status of a line that could not be
// written (the next fetch stops the run with it).
struct y4m_state {
    timecodes_file timecodes;
    int status;
};

static AVS_VideoFrame* get_frame(run_job* job, int index) {
    AVS_VideoFrame* frame = avs_library->avs_get_frame(job->script->clip, index);
    // The clip's error text belongs to the failed fetch: it is read at once.
    if (frame == nullptr) job->failure = {"failed to get frame", index, clip_error_suffix(job->script->clip)};
    return frame;
}

// The timestamp file is opened before anything goes out, so that a path it
// cannot have leaves the stream empty.
static int y4m_prepare(run_job* job) {
    y4m_state* y4m = (y4m_state*)job->state;
    if (job->timecodes_path == nullptr) return STATUS_DONE;
    return open_timecodes(&y4m->timecodes, job->timecodes_path, job->script->video_info);
}

// Frames before a range take their time too: each is fetched for its
// durations alone, before the stream starts.
static int y4m_header(run_job* job) {
    y4m_state* y4m = (y4m_state*)job->state;
    for (int index = 0; y4m->timecodes.file != nullptr && index < job->first_frame; index++) {
        if (run_interruption() != 0) return STATUS_INTERRUPTED;
        AVS_VideoFrame* frame = get_frame(job, index);
        if (frame == nullptr) return STATUS_FRAME_FAILED;
        next_frame_start(&y4m->timecodes, job->script->environment, frame);
        avs_library->avs_release_video_frame(frame);
    }
    return write_y4m_header(job->script->video_info, job->fps_num, job->fps_den);
}

static int fetch_frame(run_job* job, int64_t n, unit* u) {
    // A timestamp line that failed ends the run before the next frame.
    int status = ((y4m_state*)job->state)->status;
    if (status != STATUS_DONE) return status;
    u->frame = get_frame(job, job->first_frame + (int)n);
    return u->frame != nullptr ? STATUS_DONE : STATUS_FRAME_FAILED;
}

// The frame stays held while its chunk ("FRAME\n" and its planes, rows
// without the padding between them) is written.
static int describe_frame(run_job* job, int64_t n, unit* u) {
    plane_rows planes[3] = {plane_of(u->frame, AVS_PLANAR_Y), plane_of(u->frame, AVS_PLANAR_U),
                            plane_of(u->frame, AVS_PLANAR_V)};
    for (const plane_rows& rows : planes) {
        if (!readable(&rows)) {
            // Nothing of the frame may be written.
            avs_library->avs_release_video_frame(u->frame);
            u->frame = nullptr;
            job->failure = {"failed to read the planes of frame", job->first_frame + n, {"", ""}};
            return STATUS_FRAME_FAILED;
        }
    }
    add_chunk_part(&u->chunk, frame_marker, 0, sizeof frame_marker - 1, 1);
    for (const plane_rows& rows : planes)
        add_chunk_part(&u->chunk, rows.first, rows.pitch, (size_t)rows.row_size, rows.height);
    return STATUS_DONE;
}

static int y4m_fetch(run_job* job, int64_t n, unit* u) {
    int status = fetch_frame(job, n, u);
    return status != STATUS_DONE ? status : describe_frame(job, n, u);
}

// A frame whose zvk_drop_frame is present and non-zero is fetched, counted
// and released, but none of its bytes go out.
static int y4m_skip_drop_fetch(run_job* job, int64_t n, unit* u) {
    int status = fetch_frame(job, n, u);
    if (status != STATUS_DONE) return status;
    int64_t drop = 0;
    // An unreadable flag keeps the frame: losing a frame is worse.
    if (read_int_frame_prop(job->script->environment, u->frame, "zvk_drop_frame", &drop) ==
            FRAME_PROP_PRESENT &&
        drop != 0)
        return STATUS_DONE;
    return describe_frame(job, n, u);
}

// Frames are released in their order, written or left out: each moves the
// timeline, and a written one, now out, gets its line.
static void release_frame(run_job* job, unit* u) {
    y4m_state* y4m = (y4m_state*)job->state;
    if (y4m->timecodes.file != nullptr) {
        double start = next_frame_start(&y4m->timecodes, job->script->environment, u->frame);
        if (u->chunk.count > 0 && y4m->status == STATUS_DONE)
            y4m->status = write_timecode(&y4m->timecodes, start);
    }
    avs_library->avs_release_video_frame(u->frame);
}

static int y4m_finish(run_job* job, int status) {
    y4m_state* y4m = (y4m_state*)job->state;
    close_timecodes(&y4m->timecodes);
    return status == STATUS_DONE ? y4m->status : status;
}

const output_steps y4m_output = {
    "zvk_render",       // progress_label
    true,               // streams
    -1,                 // validation_blank: not set
    sizeof(y4m_state),  // state_size
    y4m_prepare,        // prepare
    y4m_header,         // header
    y4m_fetch,          // fetch
    release_frame,      // release
    y4m_finish,         // finish
};

const output_steps y4m_skip_drop_output = {
    "zvk_render",         // progress_label
    true,                 // streams
    -1,                   // validation_blank: not set
    sizeof(y4m_state),    // state_size
    y4m_prepare,          // prepare
    y4m_header,           // header
    y4m_skip_drop_fetch,  // fetch
    release_frame,        // release
    y4m_finish,           // finish
};
