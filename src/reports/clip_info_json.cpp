// --info: the clip's shape as one JSON object on one line, from the video
// info alone; no frame or sample is fetched. --info-frame0 adds frame 0's
// colour, range, aspect, field and siting properties, with one fetch. The
// keys are documented in the README and the manual page; "schema" names
// their shape and is raised when a key changes or goes.
#include <stdio.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "avs/version_text.h"
#include "exit_status.h"
#include "formats/c_number.h"
#include "formats/frame_stream.h"
#include "formats/pixel_format.h"
#include "formats/raw_planes.h"
#include "formats/type_names.h"
#include "pipe/stream_out.h"
#include "reports/clip_timing.h"
#include "run/outputs.h"

enum { INFO_SCHEMA = 1 };

// A JSON string, or null. The names come from fixed tables, but the quoting
// holds for any text.
static void print_json_text(FILE* out, const char* text) {
    if (text == nullptr) {
        fputs("null", out);
        return;
    }
    fputc('"', out);
    for (const unsigned char* p = (const unsigned char*)text; *p != '\0'; p++) {
        if (*p == '"' || *p == '\\')
            fprintf(out, "\\%c", *p);
        else if (*p < 0x20)
            fprintf(out, "\\u%04x", *p);
        else
            fputc(*p, out);
    }
    fputc('"', out);
}

static const char* json_bool(bool value) { return value ? "true" : "false"; }

// Seconds through the locale-independent formatter: a comma would break
// the JSON.
static void print_duration(FILE* out, clip_duration d) {
    if (!d.known) {
        fputs("null", out);
        return;
    }
    char seconds[40];
    format_c_number(seconds, sizeof seconds, 'g', 15, d.seconds);
    fprintf(out, "{\"numerator\":%lld,\"denominator\":%lld,\"seconds\":%s}", (long long)d.numerator,
            (long long)d.denominator, seconds);
}

// The first keys keep the library's numbers whether the stream is there or
// not, as callers have always read them; the keys added later are null
// where a stream the clip does not have defines none.
static void print_video(FILE* out, const AVS_VideoInfo* vi) {
    bool present = vi->width != 0;
    fprintf(out,
            "\"video\":{\"present\":%s,\"width\":%d,\"height\":%d,\"frames\":%d,\"fps_numerator\":%u,"
            "\"fps_denominator\":%u,\"pixel_type\":",
            json_bool(present), vi->width, vi->height, vi->num_frames, vi->fps_numerator,
            vi->fps_denominator);
    print_json_text(out, pixel_type_name(vi->pixel_type));
    fprintf(out, ",\"pixel_type_value\":%d,\"bits_per_component\":%d,\"y4m_chroma\":", vi->pixel_type,
            video_bit_depth(vi));
    const char* tag = chroma_tag(vi);
    print_json_text(out, tag != nullptr ? tag + 1 : nullptr);  // the header's tag without its C
    const char* pix_fmt = describe_raw_planes(vi->pixel_type, vi->width, vi->height).ffmpeg_pix_fmt;
    fputs(",\"ffmpeg_pix_fmt\":", out);
    print_json_text(out, present ? pix_fmt : nullptr);
    clip_duration duration = video_duration(vi->num_frames, vi->fps_numerator, vi->fps_denominator);
    fputs(",\"duration\":", out);
    print_duration(out, present ? duration : clip_duration{});
    fprintf(out, ",\"field_based\":%s,\"field_order\":",
            present ? json_bool(is_field_based(vi->image_type)) : "null");
    print_json_text(out, present ? field_order_name(vi->image_type) : nullptr);
    fputc('}', out);
}

static void print_audio(FILE* out, const AVS_VideoInfo* vi) {
    const AVS_Library* avs = avs_library;
    bool present = vi->audio_samples_per_second != 0;
    fprintf(out, "\"audio\":{\"present\":%s,\"sample_rate\":%d,\"channels\":%d,\"sample_type\":",
            json_bool(present), vi->audio_samples_per_second, vi->nchannels);
    print_json_text(out, sample_type_name(vi->sample_type));
    fprintf(out, ",\"sample_type_value\":%d,\"samples\":%lld,\"duration\":", vi->sample_type,
            (long long)vi->num_audio_samples);
    clip_duration duration = audio_duration(vi->num_audio_samples, vi->audio_samples_per_second);
    print_duration(out, present ? duration : clip_duration{});
    // Only where the library reports a mask (AviSynth+ 3.7.3 and later).
    if (avs->avs_is_channel_mask_known != nullptr && avs->avs_get_channel_mask != nullptr &&
        avs->avs_is_channel_mask_known(vi))
        fprintf(out, ",\"channel_mask\":%u", avs->avs_get_channel_mask(vi));
    fputc('}', out);
}

// The frame properties encoders take their flags from.
static const char* const frame0_keys[] = {"_Matrix", "_Primaries", "_Transfer",   "_ColorRange",
                                          "_SARNum", "_SARDen",    "_FieldBased", "_ChromaLocation"};
enum { FRAME0_KEYS = sizeof frame0_keys / sizeof frame0_keys[0] };

// --info-frame0: what frame 0 said, once it is fetched.
struct frame0_state {
    bool fetched;
    bool present[FRAME0_KEYS];
    int64_t value[FRAME0_KEYS];
};

// A property that is absent or of another type is null.
static void print_frame0(FILE* out, const frame0_state* frame0) {
    fputs(",\"frame0\":", out);
    if (!frame0->fetched) {
        fputs("null", out);
        return;
    }
    for (int i = 0; i < FRAME0_KEYS; i++) {
        fprintf(out, "%s\"%s\":", i == 0 ? "{" : ",", frame0_keys[i]);
        if (frame0->present[i])
            fprintf(out, "%lld", (long long)frame0->value[i]);
        else
            fputs("null", out);
    }
    fputc('}', out);
}

// Like every output, a reader that went away does not change the status;
// any other failure to write does (the write's error is kept).
static void print_clip_info(const run_job* job, const frame0_state* frame0) {
    const AVS_VideoInfo* vi = job->script->video_info;
    // Its own descriptor: the library's prints went to standard error.
    FILE* out = stream_file();
    fputc('{', out);
    print_video(out, vi);
    fputc(',', out);
    print_audio(out, vi);
    char version[256];
    bool known = avisynth_version_text(job->script->environment, version, sizeof version);
    fprintf(out,
            ",\"schema\":%d,\"runner\":{\"version\":\"" ZVK_RUNNER_VERSION "\"},\"avisynth\":{\"version\":",
            INFO_SCHEMA);
    print_json_text(out, known ? version : nullptr);
    fputc('}', out);
    if (frame0 != nullptr) print_frame0(out, frame0);
    fputs("}\n", out);
    flush_standard_output();
}

// Nothing to fetch: no units.
static int info_prepare(run_job* job) {
    job->units = 0;
    return STATUS_DONE;
}

static int info_finish(run_job* job, int status) {
    if (status != STATUS_DONE) return status;
    print_clip_info(job, nullptr);
    return STATUS_DONE;
}

// One unit, frame 0, where the clip has video frames.
static int frame0_prepare(run_job* job) {
    const AVS_VideoInfo* vi = job->script->video_info;
    job->units = vi->width != 0 && vi->num_frames > 0 ? 1 : 0;
    return STATUS_DONE;
}

static int frame0_fetch(run_job* job, int64_t, unit* u) {
    frame0_state* frame0 = (frame0_state*)job->state;
    u->frame = stream_get_frame(job, 0);
    if (u->frame == nullptr) return STATUS_FRAME_FAILED;
    for (int i = 0; i < FRAME0_KEYS; i++)
        frame0->present[i] = read_int_frame_prop(job->script->environment, u->frame, frame0_keys[i],
                                                 &frame0->value[i]) == FRAME_PROP_PRESENT;
    frame0->fetched = true;
    return STATUS_DONE;
}

static int frame0_finish(run_job* job, int status) {
    if (status != STATUS_DONE) return status;
    print_clip_info(job, (const frame0_state*)job->state);
    return STATUS_DONE;
}

const output_steps info_output = {
    nullptr,       // progress_label: none
    false,         // streams
    true,          // guards_stdout
    -1,            // validation_blank: not set
    0,             // state_size
    info_prepare,  // prepare
    nullptr,       // header: none
    nullptr,       // fetch: none
    nullptr,       // release: none
    info_finish,   // finish
};

const output_steps info_frame0_output = {
    nullptr,               // progress_label: none
    false,                 // streams
    true,                  // guards_stdout
    -1,                    // validation_blank: not set
    sizeof(frame0_state),  // state_size
    frame0_prepare,        // prepare
    nullptr,               // header: none
    frame0_fetch,          // fetch
    stream_release_frame,  // release
    frame0_finish,         // finish
};
