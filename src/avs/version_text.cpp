#include "avs/version_text.h"

#include <stdio.h>

#include "avs/avs_library.h"

bool avisynth_version_text(AVS_ScriptEnvironment* environment, char* out, size_t size) {
    const AVS_Library* avs = avs_library;
    AVS_Value none = {};
    none.type = 'a';  // no arguments
    AVS_Value result = avs->avs_invoke(environment, "VersionString", none, nullptr);
    bool text = result.type == 's' && result.d.string != nullptr;
    if (text) snprintf(out, size, "%s", result.d.string);
    avs->avs_release_value(result);
    return text;
}
