#include "avs/frame_props.h"

#include "avs/avs_library.h"

int frame_prop_result(int error) {
    if (error == AVS_GETPROPERROR_SUCCESS) return FRAME_PROP_PRESENT;
    if (error == AVS_GETPROPERROR_UNSET || error == AVS_GETPROPERROR_INDEX) return FRAME_PROP_ABSENT;
    return FRAME_PROP_FAILED;
}

int read_int_frame_prop(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame, const char* key,
                        int64_t* value) {
    // The map is asked for anew on every read: it belongs to the frame.
    const AVS_Map* map = avs_library->avs_get_frame_props_ro(environment, frame);
    if (map == nullptr) return FRAME_PROP_ABSENT;
    int error = 0;
    int64_t read = avs_library->avs_prop_get_int(environment, map, key, 0, &error);
    int result = frame_prop_result(error);
    if (result == FRAME_PROP_PRESENT) *value = read;
    return result;
}

int read_float_frame_prop(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame, const char* key,
                          double* value) {
    *value = 0.0;
    const AVS_Map* map = avs_library->avs_get_frame_props_ro(environment, frame);
    if (map == nullptr) return FRAME_PROP_ABSENT;
    int error = 0;
    double read = avs_library->avs_prop_get_float(environment, map, key, 0, &error);
    int result = frame_prop_result(error);
    if (result == FRAME_PROP_PRESENT) *value = read;
    return result;
}

bool frame_props_enumerable(void) {
    const AVS_Library* avs = avs_library;
    return avs->avs_prop_num_keys != nullptr && avs->avs_prop_get_key != nullptr &&
           avs->avs_prop_num_elements != nullptr && avs->avs_prop_get_type != nullptr &&
           avs->avs_prop_get_data != nullptr && avs->avs_prop_get_data_size != nullptr;
}
