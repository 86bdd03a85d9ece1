/* A plugin of the tests' own that fails on request, as a source meeting a
 * damaged stream does: FailAtFrame(clip, int frame) refuses that frame,
 * FailAtSample(clip, int sample) refuses every audio request that reaches
 * that sample. Both report through the C interface's error field, so the
 * library hands the runner its own text. The real-media group compiles it
 * at test time against the headers of the AviSynth+ source. */
#include <stdio.h>
#include <stdlib.h>

#include "avisynth_c.h"

struct failure {
    int64_t at;
    char text[96];
};

static AVS_VideoFrame* AVSC_CC get_frame(AVS_FilterInfo* fi, int n) {
    struct failure* f = (struct failure*)fi->user_data;
    if (n == f->at) {
        fi->error = f->text;
        return NULL;
    }
    return avs_get_frame(fi->child, n);
}

static int AVSC_CC get_audio(AVS_FilterInfo* fi, void* buf, int64_t start, int64_t count) {
    struct failure* f = (struct failure*)fi->user_data;
    if (start <= f->at && f->at < start + count) {
        fi->error = f->text;
        return -1;
    }
    return avs_get_audio(fi->child, buf, start, count);
}

static void AVSC_CC free_filter(AVS_FilterInfo* fi) { free(fi->user_data); }

/* user_data: non-null for the audio filter. */
static AVS_Value AVSC_CC create(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data) {
    AVS_FilterInfo* fi;
    AVS_Clip* clip = avs_new_c_filter(env, &fi, avs_array_elt(args, 0), 1);
    struct failure* f = (struct failure*)malloc(sizeof *f);
    f->at = avs_as_int(avs_array_elt(args, 1));
    if (user_data != NULL) {
        snprintf(f->text, sizeof f->text, "FailAtSample: the audio at sample %lld is damaged",
                 (long long)f->at);
    } else {
        snprintf(f->text, sizeof f->text, "FailAtFrame: frame %lld is damaged", (long long)f->at);
    }
    fi->user_data = f;
    fi->get_frame = get_frame;
    fi->get_audio = get_audio;
    fi->free_filter = free_filter;
    AVS_Value v;
    avs_set_to_clip(&v, clip);
    avs_release_clip(clip);
    return v;
}

AVSC_EXPORT const char* AVSC_CC avisynth_c_plugin_init(AVS_ScriptEnvironment* env) {
    static int audio = 1;
    avs_add_function(env, "FailAtFrame", "ci", create, NULL);
    avs_add_function(env, "FailAtSample", "ci", create, &audio);
    return "failures on request";
}
