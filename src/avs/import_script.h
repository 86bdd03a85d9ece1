// The script environment, the import of the script and the clip it returns.
#ifndef ZVK_IMPORT_SCRIPT_H
#define ZVK_IMPORT_SCRIPT_H

#include <stdio.h>

#include "avs/avs_interface.h"

struct imported_script {
    AVS_ScriptEnvironment* environment;
    AVS_Clip* clip;
    const AVS_VideoInfo* video_info;
    double import_seconds;  // what Import took
};

// What the environment gets before the import.
struct import_settings {
    const char* script_path;
    int validation_blank;            // zvk_validation_blank: 0 or 1; -1: left unset
    int memory_max_mb;               // the frame cache's cap; 0: the library's default
    const char* const* script_args;  // "name=value" items, already checked
    int script_arg_count;
    bool enumerate_props;  // the run lists every frame property: refused without the calls
};

// Creates the environment, checks for the frame property functions, caps
// the frame cache, sets the script's string variables and
// zvk_validation_blank, and imports the script.
// Returns 0 with script filled: from then on the clip, the environment and
// the library live until the process ends. On failure it reports, releases
// the import result, the environment and the library, and returns the
// status (1, 2 or 3); the caller closes the log.
int import_script(const import_settings* settings, FILE* log, imported_script* script);

// The tail of every message about a failed fetch from the clip, printed by
// "%s%s": ": " and the clip's error text, or two empty texts.
struct clip_error_text {
    const char* separator;
    const char* message;
};
clip_error_text clip_error_suffix(AVS_Clip* clip);

#endif
