// The script environment, the import of the script and the clip it returns.
#ifndef ZVK_IMPORT_SCRIPT_H
#define ZVK_IMPORT_SCRIPT_H

#include <stdio.h>

#include "avs/avs_interface.h"

struct imported_script {
    AVS_ScriptEnvironment* environment;
    AVS_Clip* clip;
    const AVS_VideoInfo* video_info;
};

// Creates the environment, checks for the frame property functions, sets
// zvk_validation_blank to validation_blank (0 or 1; -1: left unset) and
// imports the script.
// Returns 0 with script filled: from then on the clip, the environment and
// the library live until the process ends. On failure it reports, releases
// the import result, the environment and the library, and returns the
// status (1, 2 or 3); the caller closes the log.
int import_script(const char* script_path, int validation_blank, FILE* log, imported_script* script);

// The tail of every message about a failed fetch from the clip, printed by
// "%s%s": ": " and the clip's error text, or two empty texts.
struct clip_error_text {
    const char* separator;
    const char* message;
};
clip_error_text clip_error_suffix(AVS_Clip* clip);

#endif
