// --info: the clip's shape as one JSON object on one line, from the video
// info alone; no frame or sample is fetched. The keys are documented in the
// README and the manual page, and stay as they are.
#include <stdio.h>

#include "avs/avs_library.h"
#include "exit_status.h"
#include "formats/pixel_format.h"
#include "formats/type_names.h"
#include "pipe/stream_out.h"
#include "run/outputs.h"

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

// Nothing to fetch: no units.
static int info_prepare(run_job* job) {
    job->units = 0;
    return STATUS_DONE;
}

// Integers only, which printf writes the same in every locale. Like every
// output, a reader that went away does not change the status; any other
// failure to write does.
static int info_finish(run_job* job, int status) {
    if (status != STATUS_DONE) return status;
    const AVS_Library* avs = avs_library;
    const AVS_VideoInfo* vi = job->script->video_info;
    // Its own descriptor: the library's prints went to standard error.
    FILE* out = stream_file();
    fprintf(out,
            "{\"video\":{\"present\":%s,\"width\":%d,\"height\":%d,\"frames\":%d,\"fps_numerator\":%u,"
            "\"fps_denominator\":%u,\"pixel_type\":",
            json_bool(vi->width != 0), vi->width, vi->height, vi->num_frames, vi->fps_numerator,
            vi->fps_denominator);
    print_json_text(out, pixel_type_name(vi->pixel_type));
    fprintf(out, ",\"pixel_type_value\":%d,\"bits_per_component\":%d,\"y4m_chroma\":", vi->pixel_type,
            video_bit_depth(vi));
    const char* tag = chroma_tag(vi);
    print_json_text(out, tag != nullptr ? tag + 1 : nullptr);  // the header's tag without its C
    fprintf(out, "},\"audio\":{\"present\":%s,\"sample_rate\":%d,\"channels\":%d,\"sample_type\":",
            json_bool(vi->audio_samples_per_second != 0), vi->audio_samples_per_second, vi->nchannels);
    print_json_text(out, sample_type_name(vi->sample_type));
    fprintf(out, ",\"sample_type_value\":%d,\"samples\":%lld", vi->sample_type,
            (long long)vi->num_audio_samples);
    // Only where the library reports a mask (AviSynth+ 3.7.3 and later).
    if (avs->avs_is_channel_mask_known != nullptr && avs->avs_get_channel_mask != nullptr &&
        avs->avs_is_channel_mask_known(vi))
        fprintf(out, ",\"channel_mask\":%u", avs->avs_get_channel_mask(vi));
    fprintf(out, "}}\n");
    // A write that fails is kept: the run ends with status 11.
    flush_standard_output();
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
