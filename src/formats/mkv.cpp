// The Matroska stream of a clip's video and audio, written front to back:
// the header, then for every frame its block of raw planes followed by the
// audio block of the samples that start before the next frame, so that the
// blocks stand in the order of their times. A unit is a frame; after the
// last frame (and for a clip without video) a step of audio samples.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "exit_status.h"
#include "formats/frame_stream.h"
#include "formats/mkv_layout.h"
#include "formats/raw_planes.h"
#include "formats/timecodes.h"
#include "formats/wav.h"
#include "pipe/stream_out.h"
#include "process_setup.h"
#include "run/outputs.h"

// What one unit puts out besides the planes: the video block's header and
// the audio block after its header. Two are used in turn, so that a unit is
// fetched while the one before it is written.
struct mkv_slot {
    unsigned char video_header[MKV_BLOCK_HEADER_MAX];
    unsigned char* audio;  // a header and a step of samples
};

struct mkv_state {
    mkv_tracks tracks;
    raw_planes layout;
    uint64_t frame_bytes;
    int64_t frames;           // the units that are frames; the rest are audio steps
    frame_timeline timeline;  // from the first frame written, at 0
    audio_span audio;         // the sample frames to write
    int64_t audio_done;
    int64_t block_align;
    mkv_clusters clusters;
    mkv_slot slots[2];
};

static int describe_video(run_job* job, mkv_state* mkv) {
    const AVS_VideoInfo* vi = job->script->video_info;
    mkv->layout = describe_raw_planes(vi->pixel_type, vi->width, vi->height);
    const char* fourcc = mkv_raw_fourcc(mkv->layout.ffmpeg_pix_fmt);
    if (mkv->layout.count == 0 || fourcc == nullptr) {
        fprintf(stderr, "unsupported Avisynth pixel format for Matroska output: %d\n", vi->pixel_type);
        return STATUS_NO_Y4M_TAG;
    }
    if (vi->fps_numerator == 0 || vi->fps_denominator == 0) {
        fprintf(stderr, "--mkv needs a clip frame rate to time frames by\n");
        return STATUS_CANNOT_START;
    }
    mkv_tracks* t = &mkv->tracks;
    t->has_video = true;
    t->width = vi->width;
    t->height = vi->height;
    for (int i = 0; i < 4; i++) t->fourcc[i] = fourcc[i];
    t->frame_duration_ns = (uint64_t)((1e9 * vi->fps_denominator) / vi->fps_numerator + 0.5);
    mkv->frame_bytes = (uint64_t)raw_frame_bytes(&mkv->layout);
    start_frame_timeline(&mkv->timeline, vi->fps_numerator, vi->fps_denominator);
    return STATUS_DONE;
}

// The audio of the frames written, exactly as --wav gives it.
static int describe_audio(run_job* job, mkv_state* mkv) {
    const AVS_VideoInfo* vi = job->script->video_info;
    int status = audio_of_job(job, &mkv->audio);
    if (status != STATUS_DONE) return status;
    int bytes = pcm_bytes_per_sample(vi->sample_type);
    if (bytes == 0) {
        fprintf(stderr, "unsupported Avisynth audio sample type for Matroska output: %d\n", vi->sample_type);
        return STATUS_SAMPLE_TYPE;
    }
    mkv_tracks* t = &mkv->tracks;
    t->has_audio = true;
    t->sample_rate = vi->audio_samples_per_second;
    t->channels = vi->nchannels;
    t->bits = bytes * 8;
    t->is_float = vi->sample_type == AVS_SAMPLE_FLOAT;
    mkv->block_align = (int64_t)bytes * vi->nchannels;
    return STATUS_DONE;
}

// The steps of audio that hold this many samples; no sum that a clip's
// count near the 64-bit limit could overflow.
static int64_t audio_steps(int64_t samples) {
    return samples / WAV_CHUNK_SAMPLES + (samples % WAV_CHUNK_SAMPLES != 0 ? 1 : 0);
}

static int mkv_prepare(run_job* job) {
    mkv_state* mkv = (mkv_state*)job->state;
    const AVS_VideoInfo* vi = job->script->video_info;
    // A clip of no frames has no video to write (an audio clip keeps a size).
    bool video = vi->width > 0 && vi->num_frames > 0;
    // As WAV counts audio: a clip without a channel or a rate has none.
    bool audio = vi->audio_samples_per_second > 0 && vi->nchannels > 0 && vi->num_audio_samples >= 0;
    if (!video && !audio) {
        fprintf(stderr, "script has neither video nor audio\n");
        return STATUS_NO_AUDIO;
    }
    int status = video ? describe_video(job, mkv) : STATUS_DONE;
    if (status == STATUS_DONE && audio) status = describe_audio(job, mkv);
    if (status != STATUS_DONE) return status;
    mkv->frames = video ? job->units : 0;
    if (!video) {
        // Steps of audio are the units; progress counts frames, of which
        // there are none.
        job->units = audio_steps(mkv->audio.count);
        job->frame_count = 0;
    }
    // Before anything goes out: a run that cannot buffer a step of audio
    // writes nothing. Checked before multiplying: a size that wraps would
    // buffer less than is fetched into it.
    for (mkv_slot& slot : mkv->slots) {
        if (!audio) break;
        if ((uint64_t)mkv->block_align <= (SIZE_MAX - MKV_BLOCK_HEADER_MAX) / WAV_CHUNK_SAMPLES)
            slot.audio =
                (unsigned char*)malloc((size_t)(mkv->block_align * WAV_CHUNK_SAMPLES) + MKV_BLOCK_HEADER_MAX);
        if (slot.audio == nullptr) {
            fprintf(stderr, "failed to allocate audio buffer\n");
            return STATUS_NO_AUDIO_BUFFER;
        }
    }
    return STATUS_DONE;
}

static int mkv_header_step(run_job* job) {
    mkv_state* mkv = (mkv_state*)job->state;
    unsigned char header[512];
    size_t size = mkv_header(&mkv->tracks, header, sizeof header);
    fwrite(header, 1, size, stream_file());
    flush_standard_output();
    return STATUS_DONE;
}

// The frame's block: its header, then its planes, rows without padding,
// packed RGB top row first. False where the library's planes are not the
// layout's (nothing is added then).
static bool add_video_block(mkv_state* mkv, mkv_slot* slot, const AVS_VideoFrame* frame, double start_ms,
                            stream_chunk* chunk) {
    const raw_planes& layout = mkv->layout;
    plane_rows rows[4];
    for (int i = 0; i < layout.count; i++) {
        const raw_plane& plane = layout.planes[i];
        rows[i] = plane_of(frame, plane.id);
        // The block's size was set from the layout.
        if (!readable(&rows[i]) || rows[i].row_size != plane.row_bytes || rows[i].height != plane.height)
            return false;
    }
    // Durations of a frame property may sum past what a timestamp holds.
    double us = start_ms * 1000.0 + 0.5;
    int64_t time = us < 4e18 ? (int64_t)us : (int64_t)4e18;
    int track = mkv_video_track(&mkv->tracks);
    size_t size = mkv_block_header(&mkv->clusters, track, time, mkv->frame_bytes, slot->video_header);
    add_chunk_part(chunk, slot->video_header, 0, size, 1);
    for (int i = 0; i < layout.count; i++) {
        const raw_plane& plane = layout.planes[i];
        if (layout.bottom_up && plane.height > 0)
            add_chunk_part(chunk, rows[i].first + (ptrdiff_t)(plane.height - 1) * rows[i].pitch,
                           -(ptrdiff_t)rows[i].pitch, (size_t)plane.row_bytes, plane.height);
        else
            add_chunk_part(chunk, rows[i].first, rows[i].pitch, (size_t)plane.row_bytes, plane.height);
    }
    return true;
}

// The audio up to sample frame `end` of the stream's audio, at most a step
// of it, as one block.
static int add_audio_block(run_job* job, mkv_state* mkv, mkv_slot* slot, int64_t end, stream_chunk* chunk) {
    int64_t count = end - mkv->audio_done;
    if (count <= 0) return STATUS_DONE;
    if (count > WAV_CHUNK_SAMPLES) count = WAV_CHUNK_SAMPLES;
    int64_t time = mkv_sample_time(mkv->audio_done, mkv->tracks.sample_rate);
    uint64_t bytes = (uint64_t)(count * mkv->block_align);
    size_t size = mkv_block_header(&mkv->clusters, mkv_audio_track(&mkv->tracks), time, bytes, slot->audio);
    int64_t at = mkv->audio.start + mkv->audio_done;
    if (avs_library->avs_get_audio(job->script->clip, slot->audio + size, at, count) != 0) {
        job->failure = {"failed to get audio at sample", at, clip_error_suffix(job->script->clip)};
        return STATUS_AUDIO_FAILED;
    }
    mkv->audio_done += count;
    add_chunk_part(chunk, slot->audio, 0, size + (size_t)bytes, 1);
    return STATUS_DONE;
}

static bool dropped(run_job* job, const AVS_VideoFrame* frame) {
    int64_t drop = 0;
    // An unreadable flag keeps the frame: losing a frame is worse.
    return read_int_frame_prop(job->script->environment, frame, "zvk_drop_frame", &drop) ==
               FRAME_PROP_PRESENT &&
           drop != 0;
}

static int fetch_unit(run_job* job, int64_t n, unit* u, bool skip_drop) {
    mkv_state* mkv = (mkv_state*)job->state;
    mkv_slot* slot = &mkv->slots[n % 2];
    int64_t audio_end = mkv->audio.count;
    if (n < mkv->frames) {
        int index = job->first_frame + (int)n;
        u->frame = stream_get_frame(job, index);
        if (u->frame == nullptr) return STATUS_FRAME_FAILED;
        double start = timeline_frame_start(&mkv->timeline, job->script->environment, u->frame);
        u->dropped = skip_drop && dropped(job, u->frame);
        if (!u->dropped && !add_video_block(mkv, slot, u->frame, start, &u->chunk)) {
            avs_library->avs_release_video_frame(u->frame);
            u->frame = nullptr;
            job->failure = {"failed to read the planes of frame", index, {"", ""}};
            return STATUS_FRAME_FAILED;
        }
        // The audio that starts before the next frame, at most a step: a
        // longer frame's rest follows the frames after it.
        int64_t before_next = mkv_samples_before(timeline_end(&mkv->timeline), mkv->tracks.sample_rate);
        if (n + 1 < mkv->frames && before_next < audio_end) audio_end = before_next;
    }
    int status = mkv->tracks.has_audio ? add_audio_block(job, mkv, slot, audio_end, &u->chunk) : STATUS_DONE;
    if (status != STATUS_DONE && u->frame != nullptr) {
        avs_library->avs_release_video_frame(u->frame);
        u->frame = nullptr;
    }
    // The audio after the last frame goes out in steps of its own.
    if (status == STATUS_DONE && n + 1 == job->units && mkv->audio_done < mkv->audio.count)
        job->units += audio_steps(mkv->audio.count - mkv->audio_done);
    return status;
}

static int mkv_fetch(run_job* job, int64_t n, unit* u) { return fetch_unit(job, n, u, false); }

// A frame whose zvk_drop_frame is present and non-zero gets no block, but
// its time passes: the frames after it keep theirs.
static int mkv_skip_drop_fetch(run_job* job, int64_t n, unit* u) { return fetch_unit(job, n, u, true); }

static void mkv_release(run_job*, unit* u) {
    if (u->frame != nullptr) avs_library->avs_release_video_frame(u->frame);
}

static int mkv_finish(run_job* job, int status) {
    mkv_state* mkv = (mkv_state*)job->state;
    for (mkv_slot& slot : mkv->slots) free(slot.audio);
    return status;
}

const output_steps mkv_output = {
    "zvk_render",       // progress_label
    true,               // streams
    true,               // guards_stdout
    -1,                 // validation_blank: not set
    sizeof(mkv_state),  // state_size
    mkv_prepare,        // prepare
    mkv_header_step,    // header
    mkv_fetch,          // fetch
    mkv_release,        // release
    mkv_finish,         // finish
};

const output_steps mkv_skip_drop_output = {
    "zvk_render",         // progress_label
    true,                 // streams
    true,                 // guards_stdout
    -1,                   // validation_blank: not set
    sizeof(mkv_state),    // state_size
    mkv_prepare,          // prepare
    mkv_header_step,      // header
    mkv_skip_drop_fetch,  // fetch
    mkv_release,          // release
    mkv_finish,           // finish
};
