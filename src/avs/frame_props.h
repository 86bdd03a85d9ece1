// Reads of one frame property of a held frame, with a three-way result.
#ifndef ZVK_FRAME_PROPS_H
#define ZVK_FRAME_PROPS_H

#include <stdint.h>

#include "avs/avs_interface.h"

// Read results; callers rely on the values (any result below 0 is a failure).
enum {
    FRAME_PROP_FAILED = -1,
    FRAME_PROP_ABSENT = 0,
    FRAME_PROP_PRESENT = 1,
};

// The read result for an error code of the property getters: unset key and
// bad index count as absent, every other error as failed.
int frame_prop_result(int error);

// value is written only when the property is present.
int read_int_frame_prop(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame, const char* key,
                        int64_t* value);

// value receives the property, or 0.0 when it is absent or unreadable.
int read_float_frame_prop(AVS_ScriptEnvironment* environment, const AVS_VideoFrame* frame, const char* key,
                          double* value);

// Whether the optional calls that list a frame's properties are bound:
// avs_prop_num_keys, avs_prop_get_key, avs_prop_num_elements,
// avs_prop_get_type, avs_prop_get_data and avs_prop_get_data_size.
bool frame_props_enumerable(void);

#endif
