#include "formats/frame_stream.h"

#include "avs/avs_library.h"
#include "exit_status.h"
#include "process_setup.h"

plane_rows plane_of(const AVS_VideoFrame* frame, int plane) {
    const AVS_Library* avs = avs_library;
    plane_rows rows;
    rows.first = avs->avs_get_read_ptr_p(frame, plane);
    rows.pitch = avs->avs_get_pitch_p(frame, plane);
    rows.row_size = avs->avs_get_row_size_p(frame, plane);
    rows.height = avs->avs_get_height_p(frame, plane);
    return rows;
}

bool readable(const plane_rows* rows) {
    if (rows->row_size < 0 || rows->height < 0) return false;
    return rows->first != nullptr || rows->row_size == 0 || rows->height == 0;
}

AVS_VideoFrame* stream_get_frame(run_job* job, int index) {
    AVS_VideoFrame* frame = avs_library->avs_get_frame(job->script->clip, index);
    // The clip's error text belongs to the failed fetch: it is read at once.
    if (frame == nullptr) job->failure = {"failed to get frame", index, clip_error_suffix(job->script->clip)};
    return frame;
}

bool stream_frame_planes(run_job* job, int64_t n, unit* u, const int* ids, int count, plane_rows* rows) {
    for (int i = 0; i < count; i++) {
        rows[i] = plane_of(u->frame, ids[i]);
        if (readable(&rows[i])) continue;
        avs_library->avs_release_video_frame(u->frame);
        u->frame = nullptr;
        job->failure = {"failed to read the planes of frame", job->first_frame + n, {"", ""}};
        return false;
    }
    return true;
}

int stream_prepare(run_job* job) {
    frame_stream_state* stream = (frame_stream_state*)job->state;
    if (job->timecodes_path == nullptr) return STATUS_DONE;
    stream->timed = true;
    return prepare_timecodes(&stream->timecodes, job->timecodes_path, job->script->video_info);
}

int stream_start_timeline(run_job* job) {
    frame_stream_state* stream = (frame_stream_state*)job->state;
    if (!stream->timed) return STATUS_DONE;
    for (int index = 0; index < job->first_frame; index++) {
        if (run_interruption() != 0) return STATUS_INTERRUPTED;
        AVS_VideoFrame* frame = stream_get_frame(job, index);
        if (frame == nullptr) return STATUS_FRAME_FAILED;
        next_frame_start(&stream->timecodes, job->script->environment, frame);
        avs_library->avs_release_video_frame(frame);
    }
    return take_timecodes(&stream->timecodes);
}

int stream_fetch_frame(run_job* job, int64_t n, unit* u) {
    frame_stream_state* stream = (frame_stream_state*)job->state;
    int status = stream->status.load();
    if (status != STATUS_DONE) return status;
    u->frame = stream_get_frame(job, job->first_frame + (int)n);
    if (u->frame == nullptr) return STATUS_FRAME_FAILED;
    if (stream->timed)
        stream->frame_start = next_frame_start(&stream->timecodes, job->script->environment, u->frame);
    return STATUS_DONE;
}

static void write_pending_line(void* context) {
    pending_line* line = (pending_line*)context;
    frame_stream_state* stream = line->stream;
    if (stream->status.load() == STATUS_DONE)
        stream->status.store(write_timecode(&stream->timecodes, line->text));
}

// Unit n's slot: the unit that used it before, at most n - 2, is out by the
// time unit n is fetched.
void stream_time_chunk(run_job* job, int64_t n, stream_chunk* chunk) {
    frame_stream_state* stream = (frame_stream_state*)job->state;
    if (!stream->timed) return;
    pending_line* line = &stream->lines[n % STREAM_WRITER_DEPTH];
    line->stream = stream;
    format_timecode(stream->frame_start, line->text, sizeof line->text);
    chunk->before = write_pending_line;
    chunk->context = line;
}

void stream_release_frame(run_job*, unit* u) { avs_library->avs_release_video_frame(u->frame); }

int stream_finish(run_job* job, int status) {
    frame_stream_state* stream = (frame_stream_state*)job->state;
    if (status == STATUS_DONE) status = stream->status.load();
    return close_timecodes(&stream->timecodes, status);
}
