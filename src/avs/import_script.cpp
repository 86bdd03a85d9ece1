#include "avs/import_script.h"

#include <errno.h>
#include <string.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"
#include "checkpoint_log.h"
#include "clock.h"
#include "exit_status.h"
#include "platform.h"
#include "platform_files.h"

static AVS_Value make_value(short type) {
    AVS_Value value;
    memset(&value, 0, sizeof value);
    value.type = type;
    return value;
}

// Undoes what exists before the clip is taken, newest first.
static int unwind(int status, AVS_ScriptEnvironment* environment) {
    if (environment != nullptr) avs_library->avs_delete_script_environment(environment);
    avs_free_library(avs_library);
    return status;
}

// Each "name=value" as a string variable. The library keeps the pointers it
// is given, name and value, so both are saved through the library first.
static bool set_script_args(AVS_ScriptEnvironment* environment, const import_settings* settings) {
    const AVS_Library* avs = avs_library;
    for (int i = 0; i < settings->script_arg_count; i++) {
        const char* item = settings->script_args[i];
        int name_length = (int)(strchr(item, '=') - item);
        const char* name = avs->avs_save_string(environment, item, name_length);
        AVS_Value value = make_value('s');
        value.d.string = avs->avs_save_string(environment, item + name_length + 1, -1);
        if (name == nullptr || value.d.string == nullptr || avs->avs_set_var(environment, name, value) == 0) {
            fprintf(stderr, "failed to set the script variable %.*s\n", name_length, item);
            return false;
        }
    }
    return true;
}

// Where the library's Import reads a name in the ANSI code page unless told
// it is UTF-8, a name beyond ASCII says so; ASCII names keep the plain call
// every library knows.
static AVS_Value invoke_import(AVS_ScriptEnvironment* environment, const char* path) {
    AVS_Value name = make_value('s');
    name.d.string = path;
    bool ascii = true;
    for (const char* c = path; *c != '\0'; c++)
        if ((unsigned char)*c >= 0x80) ascii = false;
    if (IMPORT_NAMES_ANSI && !ascii) {
        AVS_Value items[2] = {name, make_value('b')};
        items[1].d.boolean = 1;
        AVS_Value arguments = make_value('a');
        arguments.array_size = 2;
        arguments.d.array = items;
        const char* names[2] = {nullptr, "utf8"};
        return avs_library->avs_invoke(environment, "Import", arguments, names);
    }
    return avs_library->avs_invoke(environment, "Import", name, nullptr);
}

int import_script(const import_settings* settings, FILE* log, imported_script* script) {
    const AVS_Library* avs = avs_library;
    int validation_blank = settings->validation_blank;

    log_checkpoint_number(log, "create: script environment v", AVS_INTERFACE_VERSION);
    AVS_ScriptEnvironment* environment = avs->avs_create_script_environment(AVS_INTERFACE_VERSION);
    if (environment == nullptr) {
        log_checkpoint(log, "failed: script environment");
        fprintf(stderr, "failed to create Avisynth environment\n");
        return unwind(STATUS_CANNOT_START, nullptr);
    }

    // Checked in every mode, so a library that cannot serve the validation
    // and source modes is refused the same way by all of them.
    if (avs->avs_get_frame_props_ro == nullptr || avs->avs_prop_get_int == nullptr ||
        avs->avs_prop_get_float == nullptr) {
        log_checkpoint(log, "failed: frame property API unavailable");
        fprintf(stderr, "loaded AviSynth does not expose the frame property C API required by zevokit\n");
        return unwind(STATUS_CANNOT_START, environment);
    }

    if (settings->enumerate_props && !frame_props_enumerable()) {
        log_checkpoint(log, "failed: frame property enumeration unavailable");
        fprintf(stderr,
                "loaded AviSynth lacks the frame property enumeration (avs_prop_num_keys, avs_prop_get_key, "
                "avs_prop_num_elements, avs_prop_get_type, avs_prop_get_data, avs_prop_get_data_size) that "
                "--props needs\n");
        return unwind(STATUS_CANNOT_START, environment);
    }

    if (settings->memory_max_mb > 0) {
        // The library bounds the cache (AviSynth+ 3.7.5 keeps at least
        // 64 MB): a value it did not take is told, not hidden.
        int kept = avs->avs_set_memory_max(environment, settings->memory_max_mb);
        if (kept > 0 && kept != settings->memory_max_mb)
            fprintf(stderr, "--memory-max %d: the library set its frame cache to %d MB instead\n",
                    settings->memory_max_mb, kept);
    }
    if (!set_script_args(environment, settings)) {
        log_checkpoint(log, "failed: script variable");
        return unwind(STATUS_CANNOT_START, environment);
    }

    if (validation_blank >= 0) {
        AVS_Value blank = make_value('b');
        blank.d.boolean = validation_blank != 0;
        // No line of its own in the log: its last line stays the environment's.
        if (avs->avs_set_var(environment, "zvk_validation_blank", blank) == 0) {
            fprintf(stderr, "failed to set validation source mode\n");
            return unwind(STATUS_CANNOT_START, environment);
        }
    }

    log_checkpoint(log, "import: script");
    // AviSynth+ 3.7.5 aborts the process when it imports a directory.
    if (is_directory(settings->script_path)) {
        log_checkpoint(log, "failed: import");
        fprintf(stderr, "Import: couldn't open \"%s\": %s\n", settings->script_path, strerror(EISDIR));
        return unwind(STATUS_IMPORT_FAILED, environment);
    }
    double import_start = monotonic_seconds();
    AVS_Value result = invoke_import(environment, settings->script_path);
    script->import_seconds = monotonic_seconds() - import_start;

    if (result.type == 'e') {
        log_checkpoint(log, "failed: import");
        fprintf(stderr, "%s\n", result.d.string != nullptr ? result.d.string : "");
        avs->avs_release_value(result);
        return unwind(STATUS_IMPORT_FAILED, environment);
    }
    if (result.type != 'c') {
        log_checkpoint(log, "failed: script did not return clip");
        fprintf(stderr, "script did not return a clip\n");
        avs->avs_release_value(result);
        return unwind(STATUS_NOT_A_CLIP, environment);
    }

    log_checkpoint(log, "take: clip");
    AVS_Clip* clip = avs->avs_take_clip(result, environment);
    avs->avs_release_value(result);
    log_checkpoint(log, "get: video info");
    const AVS_VideoInfo* video_info = avs->avs_get_video_info(clip);
    log_checkpoint_number(log, "info: frames ", video_info->num_frames);

    script->environment = environment;
    script->clip = clip;
    script->video_info = video_info;
    return STATUS_DONE;
}

clip_error_text clip_error_suffix(AVS_Clip* clip) {
    const char* message = avs_library->avs_clip_get_error(clip);
    if (message == nullptr) return {"", ""};
    return {": ", message};
}
