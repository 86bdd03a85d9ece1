// The YUV4MPEG2 stream: one header line, then "FRAME\n" and the Y, U and V
// planes of every frame that is not left out.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "exit_status.h"
#include "formats/frame_stream.h"
#include "formats/pixel_format.h"
#include "formats/y4m_header.h"
#include "pipe/stream_out.h"
#include "process_setup.h"
#include "run/outputs.h"
#include "run/progress.h"

// The clip's tag, or null when its pixel format has none (reported).
static const char* y4m_tag(const AVS_VideoInfo* vi) {
    const char* tag = chroma_tag(vi);
    if (tag == nullptr) {
        end_progress_line();
        fprintf(stderr, "unsupported Avisynth pixel format for Y4M output: %d\n", vi->pixel_type);
    }
    return tag;
}

// The header's properties of a frame; one that cannot be read is absent.
static void read_header_props(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame,
                              y4m_props* props) {
    for (int i = 0; i < Y4M_PROP_COUNT; i++)
        props->present[i] =
            read_int_frame_prop(environment, frame, y4m_prop_keys[i], &props->value[i]) == FRAME_PROP_PRESENT;
}

// frame: the first frame's number; -1 without frames, whose siting no
// frame could have told.
static void say_header_notes(const y4m_header_line* line, const y4m_props* props, int frame) {
    if ((line->notes & Y4M_NOTE_SITING_KEPT) && frame >= 0) {
        if (props->present[Y4M_CHROMA_LOCATION])
            fprintf(stderr,
                    "--y4m-tags: _ChromaLocation %lld of frame %d has no Y4M tag; the header says C420jpeg\n",
                    (long long)props->value[Y4M_CHROMA_LOCATION], frame);
        else
            fprintf(stderr, "--y4m-tags: frame %d has no _ChromaLocation; the header says C420jpeg\n", frame);
    }
    if (line->notes & Y4M_NOTE_NO_XLENGTH)
        fprintf(stderr, "--y4m-tags: XLENGTH left out: the header would pass %d bytes\n", Y4M_HEADER_CAP);
    if (line->notes & Y4M_NOTE_NO_XCOLORRANGE)
        fprintf(stderr, "--y4m-tags: XCOLORRANGE left out: the header would pass %d bytes\n", Y4M_HEADER_CAP);
}

// Writes and flushes the stream header. props: the first frame's, with
// --y4m-tags; null: today's fixed tags. It goes through the stream's stdio
// buffer, not the writer: it is written once, on this thread, before any
// chunk is handed over, so nothing can come before it, and it is out
// before the first frame is fetched.
static void write_y4m_header(const run_job* job, const char* tag, const y4m_props* props, int64_t length) {
    const AVS_VideoInfo* vi = job->script->video_info;
    y4m_header_facts facts = {vi->width, vi->height, job->fps_num, job->fps_den, tag, props, length};
    y4m_header_line line = build_y4m_header(&facts);
    if (props != nullptr) say_header_notes(&line, props, job->frame_count > 0 ? job->first_frame : -1);
    fwrite(line.text, 1, (size_t)line.length, stream_file());
    flush_standard_output();
}

static const char frame_marker[] = "FRAME\n";

// The stream's own state first; with --y4m-tags: the first frame's
// properties, and those already said to change.
struct y4m_state {
    frame_stream_state stream;
    y4m_props first_props;
    int changes_said;
};

// The timeline starts once the clip's format is known to fit.
// known_length: the stream holds every frame it is given (none is left
// out).
static int header_with(run_job* job, bool known_length) {
    y4m_state* y4m = (y4m_state*)job->state;
    const AVS_VideoInfo* vi = job->script->video_info;
    const char* tag = y4m_tag(vi);
    if (tag == nullptr) return STATUS_NO_Y4M_TAG;
    int status = stream_start_timeline(job);
    if (status != STATUS_DONE) return status;
    if (!job->y4m_tags) {
        write_y4m_header(job, tag, nullptr, -1);
        return STATUS_DONE;
    }
    // The tags come from the stream's first frame; the loop fetches it
    // again (the library's cache holds it).
    if (job->frame_count > 0) {
        AVS_VideoFrame* frame = stream_get_frame(job, job->first_frame);
        if (frame == nullptr) return STATUS_FRAME_FAILED;
        read_header_props(job->script->environment, frame, &y4m->first_props);
        avs_library->avs_release_video_frame(frame);
    }
    write_y4m_header(job, tag, &y4m->first_props, known_length ? job->units : -1);
    return STATUS_DONE;
}

static int y4m_header(run_job* job) { return header_with(job, true); }
static int y4m_skip_drop_header(run_job* job) { return header_with(job, false); }

// The stream has one header: a property that moves later is said, once.
static void note_changed_props(run_job* job, int64_t n, const AVS_VideoFrame* frame) {
    y4m_state* y4m = (y4m_state*)job->state;
    y4m_props props;
    read_header_props(job->script->environment, frame, &props);
    int changed = y4m_props_changed(&y4m->first_props, &props) & ~y4m->changes_said;
    for (int i = 0; i < Y4M_PROP_COUNT; i++)
        if (changed & 1 << i)
            fprintf(stderr, "--y4m-tags: %s changes at frame %lld; the header keeps frame %d's\n",
                    y4m_prop_keys[i], (long long)(job->first_frame + n), job->first_frame);
    y4m->changes_said |= changed;
}

// The frame stays held while its chunk ("FRAME\n" and its planes, rows
// without the padding between them) is written.
static int describe_frame(run_job* job, int64_t n, unit* u) {
    static const int ids[3] = {AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V};
    plane_rows planes[3];
    if (!stream_frame_planes(job, n, u, ids, 3, planes)) return STATUS_FRAME_FAILED;
    if (job->y4m_tags && n > 0) note_changed_props(job, n, u->frame);
    add_chunk_part(&u->chunk, frame_marker, 0, sizeof frame_marker - 1, 1);
    for (const plane_rows& rows : planes)
        add_chunk_part(&u->chunk, rows.first, rows.pitch, (size_t)rows.row_size, rows.height);
    stream_time_chunk(job, n, &u->chunk);
    return STATUS_DONE;
}

static int y4m_fetch(run_job* job, int64_t n, unit* u) {
    int status = stream_fetch_frame(job, n, u);
    return status != STATUS_DONE ? status : describe_frame(job, n, u);
}

// A frame whose zvk_drop_frame is present and non-zero is fetched, counted
// and released, but none of its bytes go out.
static int y4m_skip_drop_fetch(run_job* job, int64_t n, unit* u) {
    int status = stream_fetch_frame(job, n, u);
    if (status != STATUS_DONE) return status;
    int64_t drop = 0;
    // An unreadable flag keeps the frame: losing a frame is worse.
    if (read_int_frame_prop(job->script->environment, u->frame, "zvk_drop_frame", &drop) ==
            FRAME_PROP_PRESENT &&
        drop != 0) {
        u->dropped = true;
        return STATUS_DONE;
    }
    return describe_frame(job, n, u);
}

const output_steps y4m_output = {
    "zvk_render",          // progress_label
    true,                  // streams
    true,                  // guards_stdout
    -1,                    // validation_blank: not set
    sizeof(y4m_state),     // state_size
    stream_prepare,        // prepare
    y4m_header,            // header
    y4m_fetch,             // fetch
    stream_release_frame,  // release
    stream_finish,         // finish
};

const output_steps y4m_skip_drop_output = {
    "zvk_render",          // progress_label
    true,                  // streams
    true,                  // guards_stdout
    -1,                    // validation_blank: not set
    sizeof(y4m_state),     // state_size
    stream_prepare,        // prepare
    y4m_skip_drop_header,  // header
    y4m_skip_drop_fetch,   // fetch
    stream_release_frame,  // release
    stream_finish,         // finish
};
