// The YUV4MPEG2 stream: one header line, then "FRAME\n" and the Y, U and V
// planes of every frame that is not left out.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <atomic>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "exit_status.h"
#include "formats/pixel_format.h"
#include "formats/timecodes.h"
#include "formats/y4m_header.h"
#include "pipe/stream_out.h"
#include "pipe/stream_writer.h"
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

static void say_header_notes(const y4m_header_line* line, const y4m_props* props, int frame) {
    if (line->notes & Y4M_NOTE_SITING_KEPT) {
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
// --y4m-tags; null: today's fixed tags.
static void write_y4m_header(const run_job* job, const char* tag, const y4m_props* props, int64_t length) {
    const AVS_VideoInfo* vi = job->script->video_info;
    y4m_header_facts facts = {vi->width, vi->height, job->fps_num, job->fps_den, tag, props, length};
    y4m_header_line line = build_y4m_header(&facts);
    if (props != nullptr) say_header_notes(&line, props, job->first_frame);
    fwrite(line.text, 1, (size_t)line.length, stream_file());
    flush_standard_output();
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

struct y4m_state;

// A frame's timestamp line, written by the thread that writes the frame,
// just before it: the file never holds fewer lines than the frames a
// consumer got. A slot per chunk the writer may hold.
struct pending_line {
    y4m_state* y4m;
    char text[TIMECODE_LINE_SIZE];
};

// With --timecodes: the file, the start of the frame held, and the status
// of a line that could not be written (the next fetch stops the run with
// it; the writer thread sets it). With --y4m-tags: the first frame's
// properties, and those already said to change.
struct y4m_state {
    bool timed;
    timecodes_file timecodes;
    double frame_start;
    pending_line lines[STREAM_WRITER_DEPTH];
    std::atomic<int> status;
    y4m_props first_props;
    int changes_said;
};

static AVS_VideoFrame* get_frame(run_job* job, int index) {
    AVS_VideoFrame* frame = avs_library->avs_get_frame(job->script->clip, index);
    // The clip's error text belongs to the failed fetch: it is read at once.
    if (frame == nullptr) job->failure = {"failed to get frame", index, clip_error_suffix(job->script->clip)};
    return frame;
}

static int y4m_prepare(run_job* job) {
    y4m_state* y4m = (y4m_state*)job->state;
    if (job->timecodes_path == nullptr) return STATUS_DONE;
    y4m->timed = true;
    return prepare_timecodes(&y4m->timecodes, job->timecodes_path, job->script->video_info);
}

// The timestamp file is emptied only once the clip's format is known to
// fit, and before anything goes out, so that a file it cannot have leaves
// the stream empty. Frames before a range take their time too: each is
// fetched for its durations alone, before the stream starts. known_length:
// the stream holds every frame it is given (none is left out).
static int header_with(run_job* job, bool known_length) {
    y4m_state* y4m = (y4m_state*)job->state;
    const AVS_VideoInfo* vi = job->script->video_info;
    const char* tag = y4m_tag(vi);
    if (tag == nullptr) return STATUS_NO_Y4M_TAG;
    if (y4m->timed) {
        for (int index = 0; index < job->first_frame; index++) {
            if (run_interruption() != 0) return STATUS_INTERRUPTED;
            AVS_VideoFrame* frame = get_frame(job, index);
            if (frame == nullptr) return STATUS_FRAME_FAILED;
            next_frame_start(&y4m->timecodes, job->script->environment, frame);
            avs_library->avs_release_video_frame(frame);
        }
        int status = take_timecodes(&y4m->timecodes);
        if (status != STATUS_DONE) return status;
    }
    if (!job->y4m_tags) {
        write_y4m_header(job, tag, nullptr, -1);
        return STATUS_DONE;
    }
    // The tags come from the stream's first frame; the loop fetches it
    // again (the library's cache holds it).
    if (job->frame_count > 0) {
        AVS_VideoFrame* frame = get_frame(job, job->first_frame);
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

// Frames move the timeline in their order, written or left out.
static int fetch_frame(run_job* job, int64_t n, unit* u) {
    y4m_state* y4m = (y4m_state*)job->state;
    // A timestamp line that failed ends the run before the next frame.
    int status = y4m->status.load();
    if (status != STATUS_DONE) return status;
    u->frame = get_frame(job, job->first_frame + (int)n);
    if (u->frame == nullptr) return STATUS_FRAME_FAILED;
    if (y4m->timed) y4m->frame_start = next_frame_start(&y4m->timecodes, job->script->environment, u->frame);
    return STATUS_DONE;
}

static void write_pending_line(void* context) {
    pending_line* line = (pending_line*)context;
    y4m_state* y4m = line->y4m;
    if (y4m->status.load() == STATUS_DONE) y4m->status.store(write_timecode(&y4m->timecodes, line->text));
}

// Unit n's slot: the unit that used it before, at most n - 2, is out by the
// time unit n is fetched.
static void time_chunk(y4m_state* y4m, int64_t n, stream_chunk* chunk) {
    pending_line* line = &y4m->lines[n % STREAM_WRITER_DEPTH];
    line->y4m = y4m;
    format_timecode(y4m->frame_start, line->text, sizeof line->text);
    chunk->before = write_pending_line;
    chunk->context = line;
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
    if (job->y4m_tags && n > 0) note_changed_props(job, n, u->frame);
    add_chunk_part(&u->chunk, frame_marker, 0, sizeof frame_marker - 1, 1);
    for (const plane_rows& rows : planes)
        add_chunk_part(&u->chunk, rows.first, rows.pitch, (size_t)rows.row_size, rows.height);
    y4m_state* y4m = (y4m_state*)job->state;
    if (y4m->timed) time_chunk(y4m, n, &u->chunk);
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
        drop != 0) {
        u->dropped = true;
        return STATUS_DONE;
    }
    return describe_frame(job, n, u);
}

static void release_frame(run_job*, unit* u) { avs_library->avs_release_video_frame(u->frame); }

static int y4m_finish(run_job* job, int status) {
    y4m_state* y4m = (y4m_state*)job->state;
    if (status == STATUS_DONE) status = y4m->status.load();
    return close_timecodes(&y4m->timecodes, status);
}

const output_steps y4m_output = {
    "zvk_render",       // progress_label
    true,               // streams
    true,               // guards_stdout
    -1,                 // validation_blank: not set
    sizeof(y4m_state),  // state_size
    y4m_prepare,        // prepare
    y4m_header,         // header
    y4m_fetch,          // fetch
    release_frame,      // release
    y4m_finish,         // finish
};

const output_steps y4m_skip_drop_output = {
    "zvk_render",          // progress_label
    true,                  // streams
    true,                  // guards_stdout
    -1,                    // validation_blank: not set
    sizeof(y4m_state),     // state_size
    y4m_prepare,           // prepare
    y4m_skip_drop_header,  // header
    y4m_skip_drop_fetch,   // fetch
    release_frame,         // release
    y4m_finish,            // finish
};
