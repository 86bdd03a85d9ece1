#include "reports/props_dump.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "avs/avs_library.h"
#include "exit_status.h"
#include "formats/frame_digest.h"
#include "output_claims.h"

// Element index of the key as its type gives it; false when the getter
// fails.
static bool append_element(text_buffer* text, AVS_ScriptEnvironment* environment, const AVS_Map* map,
                           const char* key, char type, int index) {
    const AVS_Library* avs = avs_library;
    int error = 0;
    switch (type) {
    case 'i': json_append_int(text, avs->avs_prop_get_int(environment, map, key, index, &error)); break;
    case 'f': json_append_float(text, avs->avs_prop_get_float(environment, map, key, index, &error)); break;
    case 's': {
        int size = avs->avs_prop_get_data_size(environment, map, key, index, &error);
        const char* data =
            error == 0 ? avs->avs_prop_get_data(environment, map, key, index, &error) : nullptr;
        if (error == 0 && (size < 0 || (data == nullptr && size > 0))) error = AVS_GETPROPERROR_ERROR;
        if (error == 0) json_append_data(text, data, (size_t)size);
        break;
    }
    // A clip or a frame is only said to be there: taking it would hold it.
    case 'c': text_append_text(text, "{\"clip\": true}"); break;
    case 'v': text_append_text(text, "{\"frame\": true}"); break;
    default: text_append_text(text, "null"); break;
    }
    return error == 0;
}

static bool append_props(text_buffer* text, AVS_ScriptEnvironment* environment, const AVS_Map* map) {
    const AVS_Library* avs = avs_library;
    text_append_text(text, "{");
    int keys = map != nullptr ? avs->avs_prop_num_keys(environment, map) : 0;
    for (int k = 0; k < keys; k++) {
        const char* key = avs->avs_prop_get_key(environment, map, k);
        if (key == nullptr) return false;
        if (k > 0) text_append_text(text, ", ");
        json_append_string(text, key, strlen(key));
        text_append_text(text, ": ");
        char type = avs->avs_prop_get_type(environment, map, key);
        int elements = avs->avs_prop_num_elements(environment, map, key);
        if (elements == 1 || type == 'u') {
            if (!append_element(text, environment, map, key, elements == 1 ? type : 'u', 0)) return false;
            continue;
        }
        text_append_text(text, "[");
        for (int i = 0; i < elements; i++) {
            if (i > 0) text_append_text(text, ", ");
            if (!append_element(text, environment, map, key, type, i)) return false;
        }
        text_append_text(text, "]");
    }
    text_append_text(text, "}");
    return true;
}

int format_frame_props(text_buffer* text, AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame,
                       const AVS_VideoInfo* vi, int frame_number, bool dropped) {
    char digest[17];
    if (!frame_digest(frame, vi, digest)) return STATUS_FRAME_FAILED;
    text_append_text(text, "{\"frame\": ");
    json_append_int(text, frame_number);
    if (dropped) text_append_text(text, ", \"dropped\": true");
    text_append_text(text, ", \"digest\": \"");
    text_append(text, digest, 16);
    text_append_text(text, "\", \"props\": ");
    if (!append_props(text, environment, avs_library->avs_get_frame_props_ro(environment, frame)))
        return STATUS_PROPERTY_FAILED;
    text_append_text(text, "}\n");
    return STATUS_DONE;
}

static output_file* dump = nullptr;
static const char* dump_path = nullptr;

int open_props_dump(const char* path) {
    dump_path = path;
    dump = take_output_file(path);
    if (dump != nullptr) return STATUS_DONE;
    fprintf(stderr, "failed to open the property dump for writing: %s: %s\n", path, strerror(errno));
    return STATUS_OUTPUT_FAILED;
}

int dump_unit_props(run_job* job, int64_t n, const unit* u) {
    if (dump == nullptr || u->frame == nullptr) return STATUS_DONE;
    int index = job->first_frame + (int)n;
    text_buffer text = {};
    int status = format_frame_props(&text, job->script->environment, u->frame, job->script->video_info, index,
                                    u->dropped);
    if (status == STATUS_DONE && (text.failed || !write_output_file(dump, text.bytes, text.size))) {
        fprintf(stderr, "failed to write the property dump: %s: %s\n", dump_path,
                strerror(text.failed ? ENOMEM : errno));
        status = STATUS_OUTPUT_FAILED;
    }
    text_free(&text);
    if (status == STATUS_FRAME_FAILED) job->failure = {"failed to read the planes of frame", index, {"", ""}};
    if (status == STATUS_PROPERTY_FAILED)
        job->failure = {"failed to read the frame properties of frame", index, {"", ""}};
    return status;
}

int close_props_dump(int status) {
    if (dump == nullptr) return status;
    bool intact = output_file_intact(dump);
    bool closed = close_output_file(dump);
    dump = nullptr;
    if (status != STATUS_DONE) return status;
    if (!closed) fprintf(stderr, "failed to write the property dump: %s\n", dump_path);
    if (closed && !intact) fprintf(stderr, "property dump is no longer at its path: %s\n", dump_path);
    return closed && intact ? STATUS_DONE : STATUS_OUTPUT_FAILED;
}
