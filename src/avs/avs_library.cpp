#include "avs/avs_library.h"

#include <errno.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform.h"
#include "platform_files.h"
#include "platform_library.h"

AVS_Library* avs_library = nullptr;

static char load_problem[1024];
static avs_load_failure load_failure = AVS_LOAD_DONE;
static const char* missing_name = "";

const char* avs_load_problem(void) { return load_problem; }
avs_load_failure avs_load_failure_kind(void) { return load_failure; }
const char* avs_missing_name(void) { return missing_name; }

struct avs_slot {
    const char* name;
    size_t offset;
    int required;
};

#define AVS_REQUIRED_SLOT(name, result, parameters) {#name, offsetof(AVS_Library, name), 1},
#define AVS_OPTIONAL_SLOT(name, result, parameters) {#name, offsetof(AVS_Library, name), 0},

static const avs_slot avs_slots[] = {AVS_REQUIRED_FUNCTIONS(AVS_REQUIRED_SLOT)
                                         AVS_OPTIONAL_FUNCTIONS(AVS_OPTIONAL_SLOT)};

int avs_loaded_library_path(char* path, int size) {
    return loaded_library_path(avs_library != nullptr ? avs_library->handle : nullptr, path, size);
}

AVS_Library* avs_load_library(const char* path) {
    avs_library = nullptr;
    load_problem[0] = '\0';
    load_failure = AVS_LOAD_NOT_LOADABLE;
    missing_name = "";
    // A bare file name is the file in the current directory: the loaders
    // would search their paths for it.
    char local_path[4096];
    if (path != nullptr && strpbrk(path, "/\\") == nullptr) {
        if (snprintf(local_path, sizeof local_path, ".%c%s", library_path_separator, path) >=
            (int)sizeof local_path)
            return nullptr;
        path = local_path;
    }
    // A named file the loader refuses is told apart from one that is not there.
    if (path != nullptr) {
        FILE* file = open_path(path, "rb");
        if (file == nullptr) {
            load_failure = AVS_LOAD_NO_FILE;
            snprintf(load_problem, sizeof load_problem, "%s", strerror(errno));
            return nullptr;
        }
        fclose(file);
    }
    AVS_Library* library = (AVS_Library*)calloc(1, sizeof(AVS_Library));
    if (library == nullptr) return nullptr;
    library->handle = open_library(path, load_problem, sizeof load_problem);
    if (library->handle == nullptr) {
        free(library);
        return nullptr;
    }
    for (const avs_slot& slot : avs_slots) {
        void* symbol = find_symbol(library->handle, slot.name);
        if (symbol == nullptr && slot.required) {
            bool avisynth = find_symbol(library->handle, "avs_create_script_environment") != nullptr;
            load_failure = avisynth ? AVS_LOAD_LACKS_NAME : AVS_LOAD_NOT_AVISYNTH;
            missing_name = slot.name;
            describe_missing_name(library->handle, slot.name, load_problem, sizeof load_problem);
            close_library(library->handle);
            free(library);
            return nullptr;
        }
        memcpy((char*)library + slot.offset, &symbol, sizeof symbol);
    }
    avs_library = library;
    load_failure = AVS_LOAD_DONE;
    return library;
}

void report_load_failure(const char* named_path) {
    if (named_path == nullptr) {
        // The search: the usual advice, and where the platform can say it,
        // what the loader answered.
        fprintf(stderr, "failed to load " AVS_LIBRARY_FILE ". Install " RUNNER_WIDTH
                        " AviSynth+ and make sure " AVS_LIBRARY_FILE " can be found.\n");
        if (load_problem[0] != '\0') fprintf(stderr, "%s\n", load_problem);
        return;
    }
    // --library named a file: what is wrong with it.
    switch (load_failure) {
    case AVS_LOAD_NO_FILE: fprintf(stderr, "failed to load %s: %s\n", named_path, load_problem); break;
    case AVS_LOAD_NOT_LOADABLE:
        fprintf(stderr, "failed to load %s: it is not a library a " RUNNER_WIDTH " program can load\n",
                named_path);
        if (load_problem[0] != '\0') fprintf(stderr, "%s\n", load_problem);
        break;
    case AVS_LOAD_NOT_AVISYNTH:
        fprintf(stderr, "failed to load %s: it loaded, but it is not AviSynth+ (it has no %s)\n", named_path,
                "avs_create_script_environment");
        break;
    default:
        fprintf(stderr, "failed to load %s: it is AviSynth, but it lacks %s, which the runner requires\n",
                named_path, missing_name);
        break;
    }
}

void avs_free_library(AVS_Library* library) {
    close_library(library->handle);
    free(library);
    if (avs_library == library) avs_library = nullptr;
}
